#include "ReviewCommands.h"
#include "CliOutput.h"

#include "ServerConnect.h"
#include "dataset/ColumnTable.h"
#include "net/JsonText.h"
#include "net/NetConnection.h"

#include <QDateTime>
#include <QLocale>

#include <cstdio>

namespace prx::cli {

namespace {

int usageError(const QString &problem)
{
    return cli::usageError(problem, reviewUsage());
}

const QLocale &brazil()
{
    static const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

QVariant cell(const DataPacket &p, int row, QStringView field)
{
    const int c = p.indexOf(field);
    return c < 0 || row >= p.rowCount() ? QVariant() : p.value(row, c);
}

QString money(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("-") : brazil().toString(v.toDouble(), 'f', 2);
}

QString percent(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("-");
    const double x = v.toDouble();
    return (x > 0 ? QStringLiteral("+") : QString()) + brazil().toString(x, 'f', 2) + u'%';
}

QString date(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("sem fim") : v.toDateTime().toString(u"dd/MM/yyyy");
}

QString stateName(const QString &code)
{
    static const QHash<QString, QString> names = {
        {"1", "Pendente"}, {"2", "Liberada"}, {"3", "Confirmada"}, {"4", "Aprovada"}};
    return names.value(code, code);
}

QString yesNo(const QVariant &v)
{
    return v.toString() == u"S" ? QStringLiteral("Sim") : QStringLiteral("Não");
}

void printSummary(const DataPacket &s, const DataPacket &extremes)
{
    auto n = [&](const char *field) { return cell(s, 0, QString::fromLatin1(field)).toLongLong(); };
    printLine(stdout,
              QStringLiteral("Revisão da vigência: filial %1, tabela %2, vigência %3 a %4 "
                             "(%5)")
                  .arg(cell(s, 0, u"CDFILIAL").toString(), cell(s, 0, u"CDTABEPREC").toString(),
                       date(cell(s, 0, u"DTINIVGPREC")), date(cell(s, 0, u"DTFINVGPREC")),
                       stateName(cell(s, 0, u"IDSITVGPREC").toString())));
    if (cell(s, 0, u"DTINIVGANT").isNull()) {
        printLine(stdout, QStringLiteral("Comparada com: nenhum período aprovado vigente até o "
                                         "início; todos os produtos são novos."));
    } else {
        printLine(stdout,
                  QStringLiteral("Comparada com: vigência %1 a %2 (aprovada)")
                      .arg(date(cell(s, 0, u"DTINIVGANT")), date(cell(s, 0, u"DTFINVGANT"))));
    }
    printLine(stdout, QStringLiteral("Produtos: %1; novos %2; removidos %3; aumentos %4; "
                                     "reduções %5; sem alteração %6")
                          .arg(n("NRPRODUTOS"))
                          .arg(n("NRNOVOS"))
                          .arg(n("NRREMOVIDOS"))
                          .arg(n("NRAUMENTOS"))
                          .arg(n("NRREDUCOES"))
                          .arg(n("NRINALTERADOS")));
    printLine(
        stdout,
        QStringLiteral("Variação média do preço: %1").arg(percent(cell(s, 0, u"VRVARMEDIA"))));
    printLine(stdout, QStringLiteral("Preços diferenciados: %1 incluídos, %2 excluídos, %3 "
                                     "alterados (em %4 produtos)")
                          .arg(n("NRDIFINCL"))
                          .arg(n("NRDIFEXCL"))
                          .arg(n("NRDIFALT"))
                          .arg(n("NRPRODDIF")));
    printLine(stdout,
              QStringLiteral("Margem em risco (preço abaixo do calculado): %1").arg(n("NRMARGEM")));
    printLine(stdout, QStringLiteral("Sem alíquota na filial: %1%2")
                          .arg(n("NRSEMALIQ"))
                          .arg(n("NRSEMALIQ") > 0 ? QStringLiteral(" (bloqueiam a aprovação)")
                                                  : QString()));
    for (const auto &[code, title] :
         {std::pair{u"A", "Maiores aumentos:"}, std::pair{u"D", "Maiores reduções:"}}) {
        bool any = false;
        for (int r = 0; r < extremes.rowCount(); ++r) {
            if (cell(extremes, r, u"IDEXTREMO").toString() != QStringView(code))
                continue;
            if (!any)
                printLine(stdout, QString::fromUtf8(title));
            any = true;
            printLine(stdout, QStringLiteral("  %1. %2 %3: %4 -> %5 (%6)")
                                  .arg(cell(extremes, r, u"NRORDEM").toString(),
                                       cell(extremes, r, u"CDARVPROD").toString(),
                                       cell(extremes, r, u"NMPRODUTO").toString(),
                                       money(cell(extremes, r, u"VRANTERIOR")),
                                       money(cell(extremes, r, u"VRNOVO")),
                                       percent(cell(extremes, r, u"VRVARIACAO"))));
        }
    }
}

void printRows(const DataPacket &p)
{
    printLine(stdout, QStringLiteral("Produto\tNome\tSituação\tAnterior\tNovo\tVariação\t"
                                     "Dif. incluídos\tDif. excluídos\tDif. alterados\t"
                                     "Margem em risco\tSem alíquota"));
    for (int r = 0; r < p.rowCount(); ++r) {
        printLine(
            stdout,
            QStringList{cell(p, r, u"CDARVPROD").toString(), cell(p, r, u"NMPRODUTO").toString(),
                        cell(p, r, u"DSTIPO").toString(), money(cell(p, r, u"VRANTERIOR")),
                        money(cell(p, r, u"VRNOVO")), percent(cell(p, r, u"VRVARIACAO")),
                        cell(p, r, u"NRDIFINCL").toString(), cell(p, r, u"NRDIFEXCL").toString(),
                        cell(p, r, u"NRDIFALT").toString(), yesNo(cell(p, r, u"IDMARGEM")),
                        yesNo(cell(p, r, u"IDSEMALIQ"))}
                .join(u'\t'));
    }
}

} // namespace

QString reviewUsage()
{
    return QStringLiteral(
        "  prx-cli review [--server HOST:PORTA] [--key-file ARQUIVO] [--tls] [--ca-file ARQUIVO]\n"
        "                 [--json] FILIAL TABELA dd/mm/aaaa\n"
        "      revisão da vigência antes da aprovação: o período comparado com o período\n"
        "      aprovado vigente até o seu início; o resumo e depois um produto por linha");
}

int runReview(const QStringList &args)
{
    ServerTarget target;
    bool json = false;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        QString *value = nullptr;
        if (a == u"--server")
            value = &target.server;
        else if (a == u"--key-file")
            value = &target.keyFile;
        else if (a == u"--ca-file")
            value = &target.caFile;
        if (value) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("falta o valor de %1").arg(a));
            *value = args[++i];
        } else if (a == u"--tls") {
            target.tls = true;
        } else if (a == u"--json") {
            json = true;
        } else if (a.startsWith(u"--")) {
            return usageError(QStringLiteral("opção desconhecida: %1").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.size() != 3)
        return usageError(QStringLiteral("informe FILIAL, TABELA e a data inicial da vigência"));
    const QDate start = QDate::fromString(positional[2], u"dd/MM/yyyy");
    if (!start.isValid())
        return usageError(QStringLiteral("data inválida: %1 (use dd/mm/aaaa)").arg(positional[2]));
    NetConnection connection;
    QString error;
    if (!prepareConnection(target, &connection, &error)) {
        printLine(stderr, error);
        return 1;
    }
    const ServerResult result = connection.call(QStringLiteral("GetRevisaoVigencia"),
                                                {positional[0], positional[1], wallClock(start)});
    if (!result.ok) {
        printLine(stderr, result.message);
        return 1;
    }
    if (json) {
        printLine(stdout, JsonText::toJson(result.payload));
        return 0;
    }
    const QVariantList packets = result.payload.toList();
    const DataPacketPtr summary = packets.value(0).value<DataPacketPtr>();
    const DataPacketPtr extremes = packets.value(1).value<DataPacketPtr>();
    const DataPacketPtr rows = packets.value(2).value<DataPacketPtr>();
    if (!summary || !extremes || !rows || summary->rowCount() != 1) {
        printLine(stderr, QStringLiteral("O servidor não devolveu a revisão da vigência."));
        return 1;
    }
    printSummary(*summary, *extremes);
    printLine(stdout, QString());
    printRows(*rows);
    return 0;
}

} // namespace prx::cli

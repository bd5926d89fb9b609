#include "HistoryCommands.h"
#include "CliOutput.h"

#include "dataset/ColumnTable.h"
#include "net/NetConnection.h"
#include "ServerConnect.h"

#include <QDateTime>
#include <QLocale>

#include <cstdio>

namespace prx::cli {

namespace {

int usageError(const QString &problem)
{
    return cli::usageError(problem, historyUsage());
}

QString cellText(const DataPacket &p, int row, const QString &field)
{
    const int c = p.indexOf(field);
    if (c < 0 || p.isNull(row, c))
        return QStringLiteral("-");
    const QVariant v = p.value(row, c);
    switch (p.fields().at(c).type) {
    case FieldType::Float:
        return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(v.toDouble(), 'f', 2);
    case FieldType::DateTime:
        return field == u"DTINIVGPREC" ? v.toDateTime().toString(u"dd/MM/yyyy")
                                       : v.toDateTime().toString(u"dd/MM/yyyy HH:mm:ss");
    default:
        return v.toString().trimmed();
    }
}

} // namespace

QString historyUsage()
{
    return QStringLiteral(
        "  prx-cli history [--server HOST:PORTA] [--user NOME] [--period dd/mm/aaaa]\n"
        "                  [--key-file ARQUIVO] [--tls] [--ca-file ARQUIVO] FILIAL TABELA PRODUTO\n"
        "      mostra o histórico de preços do produto na tabela, do mais recente ao mais\n"
        "      antigo (todas as vigências, ou só a de --period)");
}

int runHistory(const QStringList &args)
{
    QString server = QStringLiteral("127.0.0.1:7451");
    QString user, period, keyFile, caFile;
    bool tls = false;
    QStringList positional;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        QString *target = nullptr;
        if (a == u"--server")
            target = &server;
        else if (a == u"--user")
            target = &user;
        else if (a == u"--period")
            target = &period;
        else if (a == u"--key-file")
            target = &keyFile;
        else if (a == u"--ca-file")
            target = &caFile;
        if (target) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("falta o valor de %1").arg(a));
            *target = args[++i];
        } else if (a == u"--tls") {
            tls = true;
        } else if (a.startsWith(u"--")) {
            return usageError(QStringLiteral("opção desconhecida: %1").arg(a));
        } else {
            positional << a;
        }
    }
    if (positional.size() != 3)
        return usageError(QStringLiteral("informe FILIAL, TABELA e PRODUTO"));
    QVariant start; // null: every period
    if (!period.isEmpty()) {
        const QDate date = QDate::fromString(period, u"dd/MM/yyyy");
        if (!date.isValid())
            return usageError(QStringLiteral("data de vigência inválida: %1").arg(period));
        start = wallClock(date, QTime(0, 0));
    }
    QString host;
    int port = 0;
    if (!splitServer(server, &host, &port))
        return usageError(QStringLiteral("servidor inválido: %1 (use HOST:PORTA)").arg(server));
    NetConnection connection;
    QString connectError;
    if (!prepareConnection({server, keyFile, caFile, user, tls}, &connection, &connectError)) {
        printLine(stderr, connectError);
        return 1;
    }
    const ServerResult result = connection.call(
        QStringLiteral("GetHistPreco"), {positional[0], positional[1], start, positional[2]});
    if (!result.ok) {
        printLine(stderr, result.message);
        return 1;
    }
    const DataPacketPtr packet = result.payload.value<DataPacketPtr>();
    if (!packet || packet->rowCount() == 0) {
        printLine(stdout, QStringLiteral("Nenhuma alteração de preço registrada."));
        return 0;
    }
    const QStringList fields = {"DTHISTPRECO", "NMUSUARIO",   "NMOPERACAO", "DSALTERACAO",
                                "DSREGISTRO",  "DTINIVGPREC", "CDPRODUTO",  "DSCHAVEDIA",
                                "DSCAMPO",     "VRANTERIOR",  "VRNOVO"};
    const QStringList titles = {"Data/hora", "Usuário",  "Operação", "Alteração",
                                "Registro",  "Vigência", "Produto",  "Preço diferenciado",
                                "Campo",     "Anterior", "Novo"};
    QList<QStringList> lines{titles};
    for (int r = 0; r < packet->rowCount(); ++r) {
        QStringList line;
        for (const QString &f : fields)
            line << cellText(*packet, r, f);
        lines << line;
    }
    QList<qsizetype> widths(fields.size(), 0);
    for (const QStringList &line : lines) {
        for (int c = 0; c < line.size(); ++c)
            widths[c] = qMax(widths[c], line[c].size());
    }
    for (const QStringList &line : lines) {
        QStringList padded;
        for (int c = 0; c < line.size(); ++c) {
            // Numbers line up on the right, texts on the left.
            padded << (c >= fields.size() - 2 ? line[c].rightJustified(widths[c])
                                              : line[c].leftJustified(widths[c]));
        }
        printLine(stdout, padded.join(QStringLiteral("  ")).trimmed());
    }
    return 0;
}

} // namespace prx::cli

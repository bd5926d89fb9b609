#include "ShelfCommands.h"
#include "CliOutput.h"

#include "ServerConnect.h"
#include "dataset/ColumnTable.h"
#include "money/Decimal.h"
#include "money/PriceInForce.h"
#include "net/JsonText.h"
#include "net/NetConnection.h"

#include <cstdio>

namespace prx::cli {

namespace {

int usageError(const QString &problem)
{
    return cli::usageError(problem, changesUsage());
}

QString moneyCell(const DataPacket &p, int row, int column)
{
    return p.isNull(row, column) ? QStringLiteral("-")
                                 : inforce::moneyText(Decimal::fromDouble(p.real(row, column)));
}

QString kindText(QStringView code)
{
    if (code == u"A")
        return QStringLiteral("aumento");
    if (code == u"B")
        return QStringLiteral("redução");
    if (code == u"I")
        return QStringLiteral("passa a vender");
    if (code == u"E")
        return QStringLiteral("deixa de vender");
    return code.toString();
}

void printChanges(const DataPacket &rows, const DataPacket &summary)
{
    auto text = [&](const char16_t *field) { return summary.string(0, summary.indexOf(field)); };
    auto moment = [&](const char16_t *field) {
        return summary.dateTime(0, summary.indexOf(field)).toString(u"dd/MM/yyyy HH:mm");
    };
    printLine(stdout,
              QStringLiteral("Filial %1, tabela %2: de %3 a %4")
                  .arg(text(u"CDFILIAL"), text(u"CDTABEPREC"), moment(u"DTDE"), moment(u"DTATE")));
    printLine(stdout, QStringLiteral("De: %1").arg(text(u"DSPERIODODE")));
    printLine(stdout, QStringLiteral("Até: %1").arg(text(u"DSPERIODOATE")));
    const int product = rows.indexOf(u"CDPRODUTO"), tree = rows.indexOf(u"CDARVPROD"),
              name = rows.indexOf(u"NMPRODUTO"), before = rows.indexOf(u"VRPRECOANT"),
              after = rows.indexOf(u"VRPRECONOVO"), kind = rows.indexOf(u"IDALTERACAO");
    for (int r = 0; r < rows.rowCount(); ++r) {
        printLine(stdout, QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6")
                              .arg(rows.string(r, tree), rows.string(r, product),
                                   rows.string(r, name), moneyCell(rows, r, before),
                                   moneyCell(rows, r, after), kindText(rows.stringView(r, kind))));
    }
    printLine(stdout, QStringLiteral("%1 produto(s) com alteração de preço, de %2 comparado(s).")
                          .arg(rows.rowCount())
                          .arg(summary.integer(0, summary.indexOf(u"NRPRODUTOS"))));
}

} // namespace

QString changesUsage()
{
    return QStringLiteral(
        "  prx-cli changes [--server HOST:PORTA] [--table TAB] [--json] FILIAL DE ATÉ\n"
        "  prx-cli changes [--server HOST:PORTA] [--table TAB] [--json] [--now MOMENTO]\n"
        "                  FILIAL --next-period\n"
        "      produtos cujo preço vigente (modalidade geral, todos os tipos de consumidor)\n"
        "      muda entre os momentos DE e ATÉ (AAAA-MM-DDTHH:MM ou dd/mm/aaaa HH:MM), com os\n"
        "      dois preços: as etiquetas a trocar; --next-period compara agora (ou --now)\n"
        "      com o início do próximo período aprovado da tabela; sem --table, a tabela\n"
        "      atribuída à filial");
}

int runChanges(const QStringList &args)
{
    ServerTarget target;
    QString table, now;
    bool json = false, next = false;
    QStringList rest;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        QString *valued = nullptr;
        QString name = a, value;
        const qsizetype eq = a.indexOf(u'=');
        if (a.startsWith(u"--") && eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
        }
        if (name == u"--server")
            valued = &target.server;
        else if (name == u"--table")
            valued = &table;
        else if (name == u"--now")
            valued = &now;
        else if (name == u"--key-file")
            valued = &target.keyFile;
        else if (name == u"--ca-file")
            valued = &target.caFile;
        else if (name == u"--user")
            valued = &target.user;
        if (valued) {
            if (eq < 0 || !a.startsWith(u"--")) {
                if (i + 1 >= args.size())
                    return usageError(QStringLiteral("falta o valor de %1").arg(name));
                value = args[++i];
            }
            *valued = value;
        } else if (a == u"--json") {
            json = true;
        } else if (a == u"--next-period") {
            next = true;
        } else if (a == u"--tls") {
            target.tls = true;
        } else if (a.startsWith(u"--")) {
            return usageError(QStringLiteral("opção desconhecida: %1").arg(a));
        } else {
            rest << a;
        }
    }
    QString method;
    QVariantList callArgs;
    if (next) {
        if (rest.size() != 1)
            return usageError(QStringLiteral("com --next-period, informe só a FILIAL"));
        const QDateTime at = now.isEmpty() ? wallClockNow() : parseMoment(now);
        if (!at.isValid())
            return usageError(QStringLiteral("momento inválido: %1").arg(now));
        method = QStringLiteral("GetAlteracoesPrecoProxVig");
        callArgs = {rest[0], table, at};
    } else {
        if (!now.isEmpty())
            return usageError(QStringLiteral("--now só vale com --next-period"));
        if (rest.size() != 3)
            return usageError(QStringLiteral("informe FILIAL, DE e ATÉ (ou FILIAL --next-period)"));
        const QDateTime from = parseMoment(rest[1]), to = parseMoment(rest[2]);
        if (!from.isValid())
            return usageError(QStringLiteral("momento inválido: %1").arg(rest[1]));
        if (!to.isValid())
            return usageError(QStringLiteral("momento inválido: %1").arg(rest[2]));
        method = QStringLiteral("GetAlteracoesPreco");
        callArgs = {rest[0], table, from, to};
    }

    NetConnection connection;
    QString error;
    if (!prepareConnection(target, &connection, &error)) {
        printLine(stderr, error);
        return 1;
    }
    const ServerResult result = connection.call(method, callArgs);
    if (!result.ok) {
        printLine(stderr, result.message);
        return 1;
    }
    if (json) {
        printLine(stdout, JsonText::toJson(result.payload));
        return 0;
    }
    const QVariantList parts = result.payload.toList();
    const DataPacketPtr rows = parts.value(0).value<DataPacketPtr>();
    const DataPacketPtr summary = parts.value(1).value<DataPacketPtr>();
    if (!rows || !summary || summary->rowCount() != 1) {
        printLine(stderr, QStringLiteral("O servidor não devolveu as alterações de preço."));
        return 1;
    }
    printChanges(*rows, *summary);
    return 0;
}

} // namespace prx::cli

#include "SheetCommands.h"

#include "ServerConnect.h"
#include "net/NetConnection.h"
#include "sheet/CsvText.h"
#include "sheet/PeriodCalls.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <cstdio>
#include <stdexcept>

namespace prx::cli {

namespace {

void printTo(std::FILE *to, const QString &text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
}

int usage(const QString &problem)
{
    printTo(stderr, QStringLiteral("prx-cli: %1").arg(problem));
    printTo(stderr, QStringLiteral("Uso:\n") + sheetUsage());
    return 2;
}

// The options both commands take; flags are the options without a value.
struct Options
{
    QHash<QString, QString> values;
    QStringList flags;
    QString error;

    QString value(const QString &name, const QString &fallback = {}) const
    {
        return values.value(name, fallback);
    }
};

Options parseOptions(const QStringList &args, const QStringList &valued, const QStringList &flags)
{
    Options o;
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i], value;
        const qsizetype eq = name.indexOf(u'=');
        if (eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (flags.contains(name) && eq < 0) {
            o.flags << name;
        } else if (valued.contains(name)) {
            if (eq < 0) {
                if (i + 1 >= args.size()) {
                    o.error = QStringLiteral("falta o valor de %1").arg(name);
                    return o;
                }
                value = args[++i];
            }
            o.values.insert(name, value);
        } else {
            o.error = QStringLiteral("argumento desconhecido: %1").arg(args[i]);
            return o;
        }
    }
    return o;
}

const QStringList kConnectionOptions = {QStringLiteral("--server"), QStringLiteral("--key-file"),
                                        QStringLiteral("--ca-file")};
const QStringList kPeriodOptions = {QStringLiteral("--branch"), QStringLiteral("--table"),
                                    QStringLiteral("--start"), QStringLiteral("--levels")};

// A connection to the server as `prx-cli call` makes it; false with the
// reason in *error.
bool connect(const Options &o, NetConnection *connection, QString *error)
{
    return prepareConnection({o.value(QStringLiteral("--server"), QStringLiteral("127.0.0.1:7451")),
                              o.value(QStringLiteral("--key-file")),
                              o.value(QStringLiteral("--ca-file")),
                              {},
                              o.flags.contains(QStringLiteral("--tls"))},
                             connection, error);
}

sheet::ServerCall callerOf(NetConnection &connection)
{
    return [&connection](const QString &method, const QVariantList &args) {
        const ServerResult result = connection.call(method, args);
        if (!result.ok)
            throw std::runtime_error(result.message.toStdString());
        return result.payload;
    };
}

// The period of the options, with its branch's segment read from the
// server; false with the reason in *error.
bool periodOf(const Options &o, const sheet::ServerCall &call, sheet::PeriodKey *period,
              QString *error)
{
    period->branch = o.value(QStringLiteral("--branch"));
    period->table = o.value(QStringLiteral("--table"));
    period->levels = o.value(QStringLiteral("--levels"), QStringLiteral("3"));
    const QString start = o.value(QStringLiteral("--start"));
    static const QRegularExpression dateRe(QStringLiteral("^\\d{2}/\\d{2}/\\d{4}$"));
    const QDate date = QDate::fromString(start, u"dd/MM/yyyy");
    if (period->branch.isEmpty() || period->table.isEmpty() || start.isEmpty()) {
        *error = QStringLiteral("informe --branch, --table e --start dd/mm/aaaa");
        return false;
    }
    if (!dateRe.match(start).hasMatch() || !date.isValid()) {
        *error =
            QStringLiteral("data inicial de vigência inválida: %1 (use dd/mm/aaaa)").arg(start);
        return false;
    }
    // Codes are stored at their full width, as the screen adjusts them.
    period->branch = period->branch.rightJustified(4, u'0');
    period->table = period->table.rightJustified(3, u'0');
    period->start = QDateTime(date, QTime(0, 0));
    const DataPacketPtr branch =
        call(QStringLiteral("GetFilial"), {period->branch, QString()}).value<DataPacketPtr>();
    const int c = branch ? branch->indexOf(u"CDSEGMER") : -1;
    if (c < 0 || branch->rowCount() == 0) {
        *error = QStringLiteral("Filial %1 não cadastrada.").arg(period->branch);
        return false;
    }
    period->segment = branch->string(0, c);
    return true;
}

} // namespace

QString sheetUsage()
{
    return QStringLiteral(
        "  prx-cli export-period [--server HOST:PORTA] --branch FILIAL --table TABELA\n"
        "          --start dd/mm/aaaa --out ARQUIVO.csv|ARQUIVO.xlsx [--day-prices] [--levels N]\n"
        "      grava os itens da vigência (e os preços diferenciados) numa planilha\n"
        "  prx-cli import-period [--server HOST:PORTA] --branch FILIAL --table TABELA\n"
        "          --start dd/mm/aaaa --file ARQUIVO.csv|ARQUIVO.xlsx [--sheet NOME]\n"
        "          [--day-prices] [--apply] [--levels N]\n"
        "      confere a planilha e mostra o que muda; grava só com --apply;\n"
        "      --day-prices importa também os preços diferenciados (a segunda planilha\n"
        "      ou o arquivo ARQUIVO-precos-diferenciados.csv) na mesma transação dos\n"
        "      itens: grava tudo ou nada; com --sheet, ou dando o próprio arquivo dos\n"
        "      preços diferenciados, importa só eles\n"
        "      (também aceitam --key-file ARQUIVO, --tls e --ca-file ARQUIVO)");
}

int runExportPeriod(const QStringList &args)
{
    const Options o = parseOptions(args, kConnectionOptions + kPeriodOptions + QStringList{"--out"},
                                   {QStringLiteral("--day-prices"), QStringLiteral("--tls")});
    if (!o.error.isEmpty())
        return usage(o.error);
    const QString out = o.value(QStringLiteral("--out"));
    if (out.isEmpty())
        return usage(QStringLiteral("informe o arquivo com --out"));
    NetConnection connection;
    QString error;
    if (!connect(o, &connection, &error))
        return usage(error);
    const sheet::ServerCall call = callerOf(connection);
    try {
        sheet::PeriodKey period;
        if (!periodOf(o, call, &period, &error))
            return usage(error);
        const QList<sheet::Sheet> sheets =
            sheet::readPeriodSheets(call, period, o.flags.contains(QStringLiteral("--day-prices")));
        if (!sheet::writeSheets(out, sheets, &error)) {
            printTo(stderr, error);
            return 1;
        }
        printTo(
            stdout,
            QStringLiteral("%1 itens gravados em %2.").arg(sheets.first().rows.size()).arg(out));
    } catch (const std::exception &e) {
        printTo(stderr, QString::fromStdString(e.what()));
        return 1;
    }
    return 0;
}

namespace {

void printLines(const DataPacket &lines)
{
    static const QHash<QString, QString> kinds = {
        {QStringLiteral("N"), QStringLiteral("novo")},
        {QStringLiteral("A"), QStringLiteral("alterado")},
        {QStringLiteral("R"), QStringLiteral("recusado")}};
    for (int r = 0; r < lines.rowCount(); ++r) {
        printTo(stdout, QStringLiteral("linha %1\t%2\t%3\t%4")
                            .arg(lines.integer(r, lines.indexOf(u"NRLINHA")))
                            .arg(lines.string(r, lines.indexOf(u"CDPRODUTO")),
                                 kinds.value(lines.string(r, lines.indexOf(u"IDSITUACAO"))),
                                 lines.string(r, lines.indexOf(u"DSDETALHE"))));
    }
}

} // namespace

int runImportPeriod(const QStringList &args)
{
    const Options o = parseOptions(
        args, kConnectionOptions + kPeriodOptions + QStringList{"--file", "--sheet"},
        {QStringLiteral("--apply"), QStringLiteral("--tls"), QStringLiteral("--day-prices")});
    if (!o.error.isEmpty())
        return usage(o.error);
    const QString path = o.value(QStringLiteral("--file"));
    if (path.isEmpty())
        return usage(QStringLiteral("informe a planilha com --file"));
    const bool dayPrices = o.flags.contains(QStringLiteral("--day-prices"));
    const QString sheetName = o.value(QStringLiteral("--sheet"));
    // A file with both sheets imports both in one call, all or nothing; a
    // named sheet or the differentiated prices' own CSV file only those.
    const bool withItems = dayPrices && sheetName.isEmpty() &&
                           !QFileInfo(path).completeBaseName().endsWith(u"-precos-diferenciados") &&
                           sheet::hasDayPriceSheet(path);
    QString text, itemsText, error;
    if (!sheet::readImportText(path, sheetName, dayPrices, &text, &error) ||
        (withItems && !sheet::readImportText(path, {}, false, &itemsText, &error))) {
        printTo(stderr, error);
        return 1;
    }
    NetConnection connection;
    if (!connect(o, &connection, &error))
        return usage(error);
    const sheet::ServerCall call = callerOf(connection);
    try {
        sheet::PeriodKey period;
        if (!periodOf(o, call, &period, &error))
            return usage(error);
        const bool apply = o.flags.contains(QStringLiteral("--apply"));
        int accepted = 0;
        auto printDayPrices = [&accepted](const sheet::DayPriceAnswer &answer) {
            printLines(*answer.lines);
            const int listed = answer.lines->rowCount();
            const int all = answer.added + answer.changed + answer.refused;
            if (listed < all)
                printTo(
                    stdout,
                    QStringLiteral("(listadas as primeiras %1 de %2 linhas)").arg(listed).arg(all));
            printTo(stdout, answer.summary());
            accepted += answer.added + answer.changed;
        };
        if (withItems) {
            const sheet::PeriodImportAnswer answer =
                sheet::sendPeriodImport(call, period, itemsText, text, apply);
            printLines(*answer.items.lines);
            printTo(stdout, QStringLiteral("Itens: ") + sheet::importSummary(answer.items));
            accepted += answer.items.count(u"N") + answer.items.count(u"A");
            printTo(stdout, QStringLiteral("Preços diferenciados:"));
            printDayPrices(answer.dayPrices);
            if (answer.refused() > 0)
                printTo(stdout, QStringLiteral("Há linhas recusadas: itens e preços "
                                               "diferenciados só são gravados juntos, sem "
                                               "recusas."));
        } else if (dayPrices) {
            printDayPrices(sheet::sendDayPriceImport(call, period, text, apply));
        } else {
            const sheet::ImportAnswer answer = sheet::sendImport(call, period, text, apply);
            printLines(*answer.lines);
            printTo(stdout, sheet::importSummary(answer));
            accepted = answer.count(u"N") + answer.count(u"A");
        }
        printTo(stdout, apply ? QStringLiteral("%1 linhas gravadas.").arg(accepted)
                              : QStringLiteral("Nada foi gravado; use --apply para gravar."));
    } catch (const std::exception &e) {
        printTo(stderr, QString::fromStdString(e.what()));
        return 1;
    }
    return 0;
}

} // namespace prx::cli

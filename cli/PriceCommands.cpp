#include "PriceCommands.h"
#include "CliOutput.h"

#include "ServerConnect.h"
#include "net/JsonText.h"
#include "net/NetConnection.h"

#include <cstdio>

namespace prx::cli {

namespace {

int fail(const QString &problem)
{
    printLine(stderr, QStringLiteral("prx-cli: %1").arg(problem));
    printLine(stderr, priceUsage());
    return 2;
}

// The options every server command takes, and what is left after them.
struct ServerOptions
{
    QString server = QStringLiteral("127.0.0.1:7451");
    QString keyFile, caFile;
    bool tls = false;
    QMap<QString, QString> named; // the command's own options
    QStringList rest;
    QString problem;
};

ServerOptions parse(const QStringList &args, const QStringList &ownOptions,
                    const QStringList &ownFlags = {})
{
    ServerOptions o;
    const QStringList valued = QStringList{"--server", "--key-file", "--ca-file"} + ownOptions;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--tls") {
            o.tls = true;
        } else if (ownFlags.contains(a)) {
            o.named.insert(a, QString());
        } else if (a.startsWith(u"--")) {
            QString name = a, value;
            const qsizetype eq = a.indexOf(u'=');
            if (eq > 0) {
                name = a.left(eq);
                value = a.mid(eq + 1);
            } else if (valued.contains(name) && i + 1 < args.size()) {
                value = args[++i];
            } else if (valued.contains(name)) {
                o.problem = QStringLiteral("falta o valor de %1").arg(name);
                return o;
            }
            if (!valued.contains(name)) {
                o.problem = QStringLiteral("opção desconhecida: %1").arg(name);
                return o;
            }
            if (name == u"--server")
                o.server = value;
            else if (name == u"--key-file")
                o.keyFile = value;
            else if (name == u"--ca-file")
                o.caFile = value;
            else
                o.named.insert(name, value);
        } else {
            o.rest << a;
        }
    }
    return o;
}

// Calls the method; on failure prints the server's message and answers
// nullopt.
std::optional<QVariant> callServer(const ServerOptions &o, const QString &method,
                                   const QVariantList &args)
{
    NetConnection connection;
    QString error;
    if (!prepareConnection({o.server, o.keyFile, o.caFile, {}, o.tls}, &connection, &error)) {
        printLine(stderr, error);
        return std::nullopt;
    }
    const ServerResult result = connection.call(method, args);
    if (!result.ok) {
        printLine(stderr, result.message);
        return std::nullopt;
    }
    return result.payload;
}

QString money(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("-")
                      : QString::number(v.toDouble(), 'f', 2).replace(u'.', u',');
}

QString ruleOf(const DataPacket &p, int r)
{
    const int day = p.indexOf(u"NRDIASEMANPR");
    if (p.isNull(r, day) || p.stringView(r, day).isEmpty())
        return {};
    const QString from = p.string(r, p.indexOf(u"HRINIPRECDIA"));
    const QString to = p.string(r, p.indexOf(u"HRFINPRECDIA"));
    return QStringLiteral("dia %1 %2:%3-%4:%5 tipo %6 (%7)")
        .arg(p.string(r, day), from.left(2), from.mid(2), to.left(2), to.mid(2),
             p.string(r, p.indexOf(u"CDTIPOCONSPD")), p.string(r, p.indexOf(u"IDCRITERIO")));
}

} // namespace

QString priceUsage()
{
    return QStringLiteral(
        "  prx-cli price [--server HOST:PORTA] [--table TAB] [--consumer TIPO] [--modality G|D|C]\n"
        "                [--json] FILIAL PRODUTO|T MOMENTO\n"
        "      preço vigente do produto (T: todos os produtos do período) no MOMENTO\n"
        "      (AAAA-MM-DDTHH:MM ou dd/mm/aaaa HH:MM), com a regra que decidiu; sem --table,\n"
        "      a tabela atribuída à filial; modalidade G geral (padrão), D delivery, C comanda\n"
        "  prx-cli holiday [--server HOST:PORTA] list FILIAL|T [ANO]\n"
        "  prx-cli holiday [--server HOST:PORTA] add FILIAL|T DATA NOME\n"
        "  prx-cli holiday [--server HOST:PORTA] remove FILIAL|T DATA\n"
        "      feriados da filial (T: nacionais, valem para todas); DATA aaaa-mm-dd ou dd/mm/aaaa");
}

int runPrice(const QStringList &args)
{
    const ServerOptions o = parse(args, {"--table", "--consumer", "--modality"}, {"--json"});
    if (!o.problem.isEmpty())
        return fail(o.problem);
    if (o.rest.size() != 3)
        return fail(QStringLiteral("informe FILIAL, PRODUTO (ou T) e MOMENTO"));
    const QDateTime at = parseMoment(o.rest[2]);
    if (!at.isValid())
        return fail(QStringLiteral("momento inválido: %1").arg(o.rest[2]));
    const QString table = o.named.value("--table");
    const QString consumer = o.named.value("--consumer", QStringLiteral("T"));
    const QString modality = o.named.value("--modality", QStringLiteral("G"));
    const bool all = o.rest[1].compare(u"T", Qt::CaseInsensitive) == 0;
    const std::optional<QVariant> answer =
        all ? callServer(o, QStringLiteral("GetPrecoVigenteLote"),
                         {o.rest[0], table, at, consumer, modality, QStringLiteral("T")})
            : callServer(o, QStringLiteral("GetPrecoVigente"),
                         {o.rest[0], table, o.rest[1], at, consumer, modality});
    if (!answer)
        return 1;
    if (o.named.contains("--json")) {
        printLine(stdout, JsonText::toJson(*answer));
        return 0;
    }
    const DataPacketPtr p = answer->value<DataPacketPtr>();
    if (!p)
        return 1;
    const int cPrice = p->indexOf(u"VRPRECO"), cSituation = p->indexOf(u"IDSITUACAO");
    const int cProduct = p->indexOf(u"CDPRODUTO"), cWhy = p->indexOf(u"DSEXPLICACAO");
    for (int r = 0; r < p->rowCount(); ++r) {
        if (p->stringView(r, cProduct).isEmpty()) {
            printLine(stdout, p->string(r, cWhy)); // nothing sells: why
        } else if (all) {
            printLine(stdout, QStringLiteral("%1\t%2\t%3\t%4")
                                  .arg(p->string(r, cProduct), money(p->value(r, cPrice)),
                                       p->string(r, cSituation), ruleOf(*p, r)));
        } else {
            const QVariant price = p->value(r, cPrice);
            printLine(stdout, QStringLiteral("Produto %1: %2 (%3)")
                                  .arg(p->string(r, cProduct),
                                       price.isNull() ? QStringLiteral("não vende")
                                                      : QStringLiteral("R$ ") + money(price),
                                       p->string(r, cSituation)));
            printLine(stdout, p->string(r, cWhy));
        }
    }
    return 0;
}

int runHoliday(const QStringList &args)
{
    const ServerOptions o = parse(args, {});
    if (!o.problem.isEmpty())
        return fail(o.problem);
    const QString action = o.rest.value(0);
    if (action == u"list" && (o.rest.size() == 2 || o.rest.size() == 3)) {
        bool ok = true;
        const int year = o.rest.size() == 3 ? o.rest[2].toInt(&ok) : 0;
        if (!ok || year < 0)
            return fail(QStringLiteral("ano inválido: %1").arg(o.rest[2]));
        const std::optional<QVariant> answer =
            callServer(o, QStringLiteral("GetFeriado"), {o.rest[1], year});
        if (!answer)
            return 1;
        const DataPacketPtr p = answer->value<DataPacketPtr>();
        for (int r = 0; p && r < p->rowCount(); ++r) {
            printLine(stdout, QStringLiteral("%1\t%2\t%3")
                                  .arg(p->dateTime(r, 1).date().toString(u"dd/MM/yyyy"),
                                       p->string(r, 0), p->string(r, 2)));
        }
        return 0;
    }
    const bool add = action == u"add" && o.rest.size() == 4;
    const bool remove = action == u"remove" && o.rest.size() == 3;
    if (!add && !remove)
        return fail(QStringLiteral("use holiday list|add|remove com os argumentos indicados"));
    const QDateTime day = parseMoment(o.rest[2]);
    if (!day.isValid())
        return fail(QStringLiteral("data inválida: %1").arg(o.rest[2]));
    const std::optional<QVariant> answer =
        add ? callServer(o, QStringLiteral("SetFeriado"), {o.rest[1], day, o.rest[3]})
            : callServer(o, QStringLiteral("DelFeriado"), {o.rest[1], day});
    if (!answer)
        return 1;
    printLine(stdout,
              add ? QStringLiteral("Feriado incluído.") : QStringLiteral("Feriado excluído."));
    return 0;
}

} // namespace prx::cli

// Differentiated prices at scale: a period of the 100,000-product database
// given 1,000,000 differentiated prices.
//  - getVdModalidade, the clash check of a post, in process: per call, and
//    the plan of its query (it must search the primary key);
//  - posting one differentiated price with the million loaded in a client
//    dataset (read in process: the million passes the largest message the
//    wire takes), the item's rows filtered as the screen does: the client's
//    own work, and end to end with the clash check and the save through a
//    real prx-server on loopback;
//  - SetItemPrecoAtuPrec raising every price item of the period to its
//    calculated price (with the differentiated prices computed again),
//    against the same work written by hand in SQL and run by the sqlite3
//    tool on a copy of the same file.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000); the file itself is never changed.
#include "BenchDemo.h"
#include "BenchFigures.h"
#include "DayPriceFixture.h"

#include "core/MethodRegistry.h"
#include "dataset/ClientDataSet.h"
#include "dataset/FilterExpression.h"
#include "methods/MethodSupport.h"
#include "money/DayPrice.h"
#include "net/NetConnection.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

constexpr int kDayPrices = 1000000;

QVariant scalar(Storage &db, const QString &sql)
{
    QSqlQuery q(db.database());
    if (!q.exec(sql) || !q.next())
        fail(sql.left(80));
    return q.value(0);
}

// The period of table 001 of branch 0001 in force today, as stored.
QString periodStart(Storage &db)
{
    return scalar(db, QStringLiteral("SELECT DTINIVGPREC FROM TABEVEND WHERE CDFILIAL = '0001' "
                                     "AND CDTABEPREC = '001' AND DTINIVGPREC <= datetime('now', "
                                     "'localtime') AND DTFINVGPREC >= date('now') "))
        .toString();
}

QString periodWhere(const QString &prefix, const QString &start)
{
    return QStringLiteral("%1CDFILIAL = '0001' AND %1CDTABEPREC = '001' AND %1DTINIVGPREC = '%2'")
        .arg(prefix, start);
}

// Every price item of the period gets differentiated prices (ten days, two
// hour ranges) until there are a million, and a calculated price above its
// consumer price.
void prepare(Storage &db, const QString &start)
{
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("DELETE FROM ITEMPRECODIA WHERE ") + periodWhere(QString(), start));
    exec(db, dayPriceFixtureSql(periodWhere(QStringLiteral("I."), start), kDayPrices));
    exec(db, QStringLiteral("UPDATE ITEMPRECO SET VRCUSTITEM = VRPRECITEM + 0.005 WHERE ") +
                 periodWhere(QString(), start) + QStringLiteral(" AND VRPRECITEM IS NOT NULL"));
    exec(db, QStringLiteral("COMMIT"));
}

// What SetItemPrecoAtuPrec does, as one would write it by hand.
QString handWrittenRaise(const QString &start)
{
    const QString cut = QStringLiteral("(CAST((%1) * 100 AS INTEGER) / 100.0)");
    auto applied = [&](const QString &base, const QString &amount) {
        const QString change = cut.arg(base + QStringLiteral(" * ") + amount + " / 100.0");
        return QStringLiteral(
                   "CASE WHEN D.IDPERVALORPR = 'P' THEN CASE WHEN D.IDDESCACREPR = 'D' THEN "
                   "%1 - %2 ELSE %1 + %2 END ELSE CASE WHEN D.IDDESCACREPR = 'D' THEN %1 - %3 "
                   "ELSE %1 + %3 END END")
            .arg(base, change, amount);
    };
    const QString raised = QStringLiteral("(ceil(I.VRCUSTITEM * 100) / 100.0)");
    const QString cl = QStringLiteral("coalesce(I.VRPRECITEMCL, 0)");
    const QString items = periodWhere(QStringLiteral("I."), start) +
                          QStringLiteral(" AND I.VRCUSTITEM IS NOT NULL AND I.VRPRECITEM IS NOT "
                                         "NULL AND I.VRCUSTITEM > I.VRPRECITEM");
    QString own = items;
    own.replace(QStringLiteral("I."), QString());
    return QStringLiteral(
               "BEGIN; UPDATE ITEMPRECODIA AS D SET "
               "PRECO = CASE WHEN D.IDTPMODGERAL = 'S' THEN %1 END, "
               "PRECODLV = CASE WHEN D.IDTPMODDLV = 'S' AND I.VRPRECITEMDLV IS NOT NULL THEN %2 "
               "END, PRECOCMD = CASE WHEN D.IDTPMODCMD = 'S' AND I.VRPRECITEMCMD IS NOT NULL "
               "THEN %3 END, DTULTALT = datetime('now', 'localtime') FROM ITEMPRECO AS I WHERE "
               "I.CDFILIAL = D.CDFILIAL AND I.CDTABEPREC = D.CDTABEPREC AND "
               "I.DTINIVGPREC = D.DTINIVGPREC AND I.CDPRODUTO = D.CDPRODUTO AND "
               "I.CDPRPAITABPR = D.CDPRPAITABPR AND %4; "
               "UPDATE ITEMPRECO SET VRPRECITEM = ceil(VRCUSTITEM * 100) / 100.0, "
               "DTULTALT = datetime('now', 'localtime') WHERE %5; COMMIT;")
        .arg(applied(raised + " + " + cl, QStringLiteral("D.VRPRECODIA")),
             applied(QStringLiteral("I.VRPRECITEMDLV + ") + cl, QStringLiteral("D.VRPRECODIADLV")),
             applied(QStringLiteral("I.VRPRECITEMCMD + ") + cl, QStringLiteral("D.VRPRECODIACMD")),
             items, own);
}

QVariant call(NetConnection &net, const QString &method, const QVariantList &args)
{
    const ServerResult r = net.call(method, args);
    if (!r.ok)
        fail(method + QStringLiteral(": ") + r.message);
    return r.payload;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString bin = qEnvironmentVariable("PRX_BIN_DIR");
    const QString source = qEnvironmentVariable("PRX_BENCH_DB");
    if (bin.isEmpty() || source.isEmpty() || !QFile::exists(source)) {
        std::fprintf(stderr, "defina PRX_BIN_DIR e PRX_BENCH_DB (veja scripts/run-bench.sh)\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("base.sqlite"));
    if (!QFile::copy(source, base))
        fail(QStringLiteral("não foi possível copiar a base"));
    QString error;
    std::unique_ptr<Storage> db = Storage::open(base, &error);
    if (!db)
        fail(error);
    const QString start = periodStart(*db);
    const QDateTime startTime = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    prepare(*db, start);
    const int dayRows = scalar(*db, QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA WHERE ") +
                                        periodWhere(QString(), start))
                            .toInt();
    const int raisedItems = scalar(*db, QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO WHERE ") +
                                            periodWhere(QString(), start) +
                                            QStringLiteral(" AND VRCUSTITEM > VRPRECITEM"))
                                .toInt();

    // --- the clash check, in process
    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    QSqlQuery keys(db->database());
    keys.exec(QStringLiteral("SELECT CDPRODUTO, CDPRPAITABPR, NRDIASEMANPR, HRINIPRECDIA, "
                             "HRFINPRECDIA FROM ITEMPRECODIA WHERE ") +
              periodWhere(QString(), start) + QStringLiteral(" ORDER BY random() LIMIT 1000"));
    std::vector<double> clash;
    int found = 0;
    while (keys.next()) {
        const QVariantList args{"0001", "001",         startTime,     keys.value(0), keys.value(1),
                                "T",    keys.value(2), keys.value(3), keys.value(4), startTime};
        QElapsedTimer t;
        t.start();
        const Outcome out = dispatch(registry, ctx, QStringLiteral("Prx51700.rdmTabePreco"),
                                     QStringLiteral("getVdModalidade"), args);
        clash.push_back(t.nsecsElapsed() / 1e6);
        if (!out.ok)
            fail(out.message);
        found += out.payload.value<DataPacketPtr>()->rowCount();
    }
    QSqlQuery plan(db->database());
    plan.exec(QStringLiteral(
        "EXPLAIN QUERY PLAN SELECT CDPRODUTO FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
        "CDTABEPREC = '001' AND DTINIVGPREC = '1' AND CDPRODUTO = '1' AND CDPRPAITABPR = '1' AND "
        "CDTIPOCONSPD = 'T' AND NRDIASEMANPR = '1' AND HRINIPRECDIA = '1' AND "
        "HRFINPRECDIA = '1' AND DTINIVALPREC = '1'"));
    const QString planText = plan.next() ? plan.value(3).toString() : QString();
    // The item every post of the client goes to: the first of the period.
    const QString product =
        scalar(*db, QStringLiteral("SELECT MIN(CDPRODUTO) FROM ITEMPRECODIA WHERE ") +
                        periodWhere(QString(), start) +
                        QStringLiteral(" AND CDPRODUTO = CDPRPAITABPR"))
            .toString();
    const Decimal itemBase = Decimal::fromDouble(
        scalar(*db,
               QStringLiteral("SELECT VRPRECITEM + coalesce(VRPRECITEMCL, 0) FROM ITEMPRECO "
                              "WHERE ") +
                   periodWhere(QString(), start) +
                   QStringLiteral(" AND CDPRODUTO = '%1' AND CDPRPAITABPR = '%1'").arg(product))
            .toDouble());
    // The million read in process: over the wire it passes the largest
    // message a connection takes.
    const Outcome all = dispatch(registry, ctx, QStringLiteral("Prx51700.rdmTabePreco"),
                                 QStringLiteral("GetPrecoHora"), {"0001", "001", startTime});
    if (!all.ok)
        fail(all.message);
    db.reset();

    // --- one post with the million loaded, through a real server
    QProcess server;
    const int port = startServer(server, bin, base);
    if (port == 0)
        fail(QStringLiteral("prx-server não iniciou"));
    NetConnection net;
    net.setHost("127.0.0.1");
    net.setPort(port);
    net.setServerObject("Prx51700.rdmTabePreco");
    ClientDataSet prices, clashRows;
    prices.loadPacket(std::move(*all.payload.value<DataPacketPtr>()));
    const int loaded = prices.recordCount();
    prices.first();
    const QString startText = prices.fieldByName(u"DTINIVGPREC").displayText();
    prices.setFilter(QStringLiteral("CDFILIAL = %1 and CDTABEPREC = %2 and DTINIVGPREC = %3 and "
                                    "CDPRODUTO = %4 and CDPRPAITABPR = %4")
                         .arg(FilterExpression::quote(QStringLiteral("0001")),
                              FilterExpression::quote(QStringLiteral("001")),
                              FilterExpression::quote(startText),
                              FilterExpression::quote(product)));
    prices.setFiltered(true);
    std::vector<double> client, endToEnd, appendMs, postMs, deltaMs;
    for (int i = 0; i < 24; ++i) {
        QElapsedTimer total;
        total.start();
        QElapsedTimer own;
        own.start();
        prices.append();
        appendMs.push_back(own.nsecsElapsed() / 1e6);
        const QString hour = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
        const QVariantList values{"0001", "001", startTime, product,     product,
                                  "4",    "P",   "D",       hour + "00", hour + "59"};
        int n = 0;
        for (const char *name :
             {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "NRDIASEMANPR",
              "IDPERVALORPR", "IDDESCACREPR", "HRINIPRECDIA", "HRFINPRECDIA"}) {
            Field &f = prices.fieldByName(QString::fromLatin1(name));
            if (f.type() == FieldType::DateTime)
                f.setAsDateTime(values[n].toDateTime());
            else
                f.setAsString(values[n].toString());
            ++n;
        }
        prices.fieldByName(u"CDTIPOCONSPD").setAsString(QStringLiteral("T"));
        prices.fieldByName(u"DTINIVALPREC").setAsDateTime(startTime);
        prices.fieldByName(u"IDVISUACUPOM").setAsString(QStringLiteral("N"));
        prices.fieldByName(u"IDTPMODGERAL").setAsString(QStringLiteral("S"));
        prices.fieldByName(u"IDTPMODDLV").setAsString(QStringLiteral("N"));
        prices.fieldByName(u"IDTPMODCMD").setAsString(QStringLiteral("N"));
        prices.fieldByName(u"VRPRECODIA").setAsFloat(15);
        prices.fieldByName(u"PRECO").setAsFloat(
            dayprice::priceFor(itemBase, Decimal(15), {true, true}).toDouble());
        QElapsedTimer step;
        step.start();
        prices.post();
        postMs.push_back(step.nsecsElapsed() / 1e6);
        step.restart();
        const QVariant delta = QVariant::fromValue(prices.delta());
        deltaMs.push_back(step.nsecsElapsed() / 1e6);
        double ownMs = own.nsecsElapsed() / 1e6;
        clashRows.loadPacket(std::move(*call(net, "getVdModalidade",
                                             {"0001", "001", startTime, product, product, "T", "4",
                                              hour + "00", hour + "59", startTime})
                                            .value<DataPacketPtr>()));
        if (!clashRows.isEmpty())
            fail(QStringLiteral("conflito inesperado"));
        call(net, "SetPrecoHora", {delta});
        own.restart();
        prices.mergeChangeLog();
        ownMs += own.nsecsElapsed() / 1e6;
        client.push_back(ownMs);
        endToEnd.push_back(total.nsecsElapsed() / 1e6);
    }
    server.terminate();
    server.waitForFinished(5000);

    // --- the bulk update against the same work by hand, each on its own copy
    std::vector<double> ours, tool;
    int changed = 0;
    const QString sql = handWrittenRaise(start);
    for (int run = 0; run < 3; ++run) {
        const QString a = dir.filePath(QStringLiteral("a.sqlite"));
        const QString b = dir.filePath(QStringLiteral("b.sqlite"));
        QFile::remove(a);
        QFile::remove(b);
        if (!QFile::copy(base, a) || !QFile::copy(base, b))
            fail(QStringLiteral("não foi possível copiar a base"));
        {
            std::unique_ptr<Storage> copy = Storage::open(a, &error);
            Context c{*copy};
            QElapsedTimer t;
            t.start();
            const Outcome out =
                dispatch(registry, c, QStringLiteral("Prx51700.rdmTabePreco"),
                         QStringLiteral("SetItemPrecoAtuPrec"), {"0001", "001", startTime});
            ours.push_back(t.nsecsElapsed() / 1e6);
            if (!out.ok)
                fail(out.message);
            changed = out.payload.toInt();
        }
        tool.push_back(sqliteToolMs(b, sql));
    }

    std::printf("preços diferenciados na vigência: %d\n", dayRows);
    std::printf("getVdModalidade: %.3f ms mediana, %.3f ms p99 (%d chamadas, %d encontradas; "
                "meta <= 1 ms)\n",
                median(clash), percentile(clash, 0.99), int(clash.size()), found);
    std::printf("plano: %s\n", qPrintable(planText));
    std::printf("postar um preço diferenciado com %d carregados: cliente %.3f ms (meta <= 1 ms), "
                "ponta a ponta %.2f ms (meta <= 5 ms), medianas de %d\n",
                loaded, median(client), median(endToEnd), int(client.size()));
    std::printf("  do cliente: append %.3f ms, post %.3f ms, delta %.3f ms\n", median(appendMs),
                median(postMs), median(deltaMs));
    std::printf("SetItemPrecoAtuPrec: %d itens (%d esperados), %.0f ms; sqlite3 à mão: %.0f ms; "
                "razão %.2f (meta <= 1,5)\n",
                changed, raisedItems, median(ours), median(tool), median(ours) / median(tool));
    return 0;
}

// The automatic differentiated prices for every product and the seven
// weekdays (about 700,000 rows over 100,000 products), and the copy of one
// product's differentiated prices to every product, each compared with the
// same work written as SQL and run by the sqlite3 command-line tool with the
// server's settings (WAL, synchronous NORMAL, foreign keys, one transaction).
// Every run starts from a fresh copy of the same database.
//
//   bench_copy [--products N] [--runs N] [--db FILE] [--only NAME-PREFIX]
#include "BenchDemo.h"
#include "BenchFigures.h"

#include "core/MethodRegistry.h"
#include "demo/DemoGenerator.h"
#include "methods/MethodSupport.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

const QString &kSettings = kServerSqliteSettings;

struct Work
{
    QString name;
    std::function<QVariant(Context &)> ours;
    QString sql; // the same work for the tool
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        return commandOption(args, name, fallback);
    };
    const int runs = option("--runs", "3").toInt();
    QTemporaryDir dir;
    QString source = option("--db", qEnvironmentVariable("PRX_BENCH_DB"));
    DemoOptions demo;
    demo.products = option("--products", "100000").toInt();
    QString error;
    source = demoDatabase(source, dir, demo, &error);
    if (source.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The period in force of table 001 of branch 0001, as the demo wrote it.
    const QString start = demo.today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) +
                          QStringLiteral(" 00:00:00");
    const QString end =
        demo.today.addDays(29).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00");
    const QString period = QStringLiteral("I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND "
                                          "I.DTINIVGPREC = '%1' AND I.CDPRPAITABPR = I.CDPRODUTO")
                               .arg(start);
    QString baseProduct;
    {
        auto db = Storage::open(source, &error);
        QSqlQuery q = db->prepare(
            "SELECT MIN(D.CDPRODUTO) FROM ITEMPRECODIA D JOIN ITEMPRECO I ON I.CDFILIAL = "
            "D.CDFILIAL AND I.CDTABEPREC = D.CDTABEPREC AND I.DTINIVGPREC = D.DTINIVGPREC AND "
            "I.CDPRODUTO = D.CDPRODUTO AND I.CDPRPAITABPR = D.CDPRPAITABPR WHERE " +
            period + " AND D.IDTPMODDLV = 'N' AND D.IDTPMODCMD = 'N'");
        db->exec(q, "base");
        q.next();
        baseProduct = q.value(0).toString();
    }

    MethodRegistry registry;
    registerAllMethods(registry);
    const QDateTime startArg = wallClock(demo.today.addDays(-30));
    const QDateTime endArg = wallClock(demo.today.addDays(29));
    auto call = [&](Context &ctx, const QString &method, const QVariantList &callArgs) {
        const Outcome out = dispatch(registry, ctx, "Prx51700.rdmTabePreco", method, callArgs);
        if (!out.ok)
            std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(out.message));
        if (const DataPacketPtr p = out.payload.value<DataPacketPtr>())
            return QVariant(QStringLiteral("%1 falhas").arg(p->rowCount()));
        return QVariant(out.payload.toList().value(0));
    };
    const QVariant none = QVariant::fromValue(std::make_shared<DataPacket>());

    // The item's base and the 10 % discount cut to the cent, as the screen
    // computes it (prices hold cents, so the cut of a cent amount is exact).
    const QString base = QStringLiteral("(I.VRPRECITEM + COALESCE(I.VRPRECITEMCL, 0))");
    const QString discounted =
        QStringLiteral("ROUND(%1 - CAST(%1 * 10 AS INTEGER) / 100.0, 2)").arg(base);
    const QString dayKey = QStringLiteral(
        "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, "
        "HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC");
    const QString dayColumns =
        dayKey + QStringLiteral(", DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
                                "VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, "
                                "IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, DTULTALT");
    const QString segment =
        QStringLiteral("I.CDPRODUTO IN (SELECT S.CDPRODUTO FROM PRODSEGMER S JOIN FILIAL F ON "
                       "F.CDSEGMER = S.CDSEGMER WHERE F.CDFILIAL = '0001')");

    const QList<Work> work = {
        {"SetPrecDif, all, 7 weekdays",
         [&](Context &c) {
             return call(c, "SetPrecDif",
                         {false, false, false, true,    true,    true,     true,   true,
                          true,  true,  false, true,    false,   0,        1,      "0001",
                          "001", "",    "",    "00:01", "23:59", startArg, endArg, startArg,
                          10.0,  "",    none,  "T",     1});
         },
         QStringLiteral("INSERT INTO ITEMPRECODIA (%1) SELECT I.CDFILIAL, I.CDTABEPREC, "
                        "I.DTINIVGPREC, I.CDPRODUTO, I.CDPRODUTO, 'T', W.D, '0001', '2359', '%2', "
                        "'%3', 'P', 'D', 10, 0, 0, %4, NULL, NULL, 'N', 'S', 'N', 'N', "
                        "datetime('now', 'localtime') FROM ITEMPRECO I CROSS JOIN (SELECT '1' AS D "
                        "UNION ALL SELECT '2' UNION ALL SELECT '3' UNION ALL SELECT '4' UNION "
                        "ALL SELECT '5' UNION ALL SELECT '6' UNION ALL SELECT '7') W WHERE %5 AND "
                        "I.VRPRECITEM IS NOT NULL AND %6 > 0 AND %4 > 0 ON CONFLICT (%7) DO "
                        "UPDATE SET PRECO = excluded.PRECO, VRPRECODIA = excluded.VRPRECODIA, "
                        "DTFINVALPREC = excluded.DTFINVALPREC, DTULTALT = excluded.DTULTALT;")
             .arg(dayColumns, start, end, discounted, period, base, dayKey)},
        {"setCopiaPreco, all",
         [&](Context &c) {
             return call(c, "setCopiaPreco", {"0001", "001", startArg, baseProduct, "", "", "T"});
         },
         // The base's rules applied to every other product that can take them.
         QStringLiteral(
             "CREATE TEMP TABLE R AS SELECT * FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
             "CDTABEPREC = '001' AND DTINIVGPREC = '%1' AND CDPRODUTO = '%2' AND CDPRPAITABPR = "
             "'%2'; "
             "CREATE TEMP TABLE T AS SELECT I.CDPRODUTO, %3 AS B FROM ITEMPRECO I WHERE %4 AND "
             "%5 AND I.CDPRODUTO <> '%2' AND I.VRPRECITEM IS NOT NULL; "
             "CREATE TEMP TABLE P AS SELECT T.CDPRODUTO, R.NRDIASEMANPR, R.CDTIPOCONSPD, "
             "R.HRINIPRECDIA, R.HRFINPRECDIA, R.DTINIVALPREC, T.B, CASE WHEN R.IDPERVALORPR = 'V' "
             "THEN CASE WHEN R.IDDESCACREPR = 'D' THEN T.B - R.VRPRECODIA ELSE T.B + R.VRPRECODIA "
             "END ELSE CASE WHEN R.IDDESCACREPR = 'D' THEN ROUND(T.B - CAST(T.B * R.VRPRECODIA "
             "AS INTEGER) / 100.0, 2) ELSE ROUND(T.B + CAST(T.B * R.VRPRECODIA AS INTEGER) / "
             "100.0, 2) END END AS PRECO FROM T CROSS JOIN R; "
             "DELETE FROM P WHERE CDPRODUTO IN (SELECT CDPRODUTO FROM P WHERE PRECO <= 0 OR "
             "PRECO >= 2 * B); "
             "DELETE FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
             "DTINIVGPREC = '%1' AND CDPRPAITABPR = CDPRODUTO AND CDPRODUTO IN (SELECT CDPRODUTO "
             "FROM P); "
             "INSERT INTO ITEMPRECODIA (%6) SELECT '0001', '001', '%1', P.CDPRODUTO, P.CDPRODUTO, "
             "R.CDTIPOCONSPD, R.NRDIASEMANPR, R.HRINIPRECDIA, R.HRFINPRECDIA, R.DTINIVALPREC, "
             "R.DTFINVALPREC, R.IDPERVALORPR, R.IDDESCACREPR, R.VRPRECODIA, R.VRPRECODIADLV, "
             "R.VRPRECODIACMD, P.PRECO, NULL, NULL, R.IDVISUACUPOM, R.IDTPMODGERAL, R.IDTPMODDLV, "
             "R.IDTPMODCMD, datetime('now', 'localtime') FROM P JOIN R ON R.NRDIASEMANPR = "
             "P.NRDIASEMANPR AND R.CDTIPOCONSPD = P.CDTIPOCONSPD AND R.HRINIPRECDIA = "
             "P.HRINIPRECDIA AND R.HRFINPRECDIA = P.HRFINPRECDIA AND R.DTINIVALPREC = "
             "P.DTINIVALPREC;")
             .arg(start, baseProduct, base, period, segment, dayColumns)},
    };

    const QString file = dir.filePath("run.sqlite");
    std::printf("%-36s %10s %10s %8s\n", "work", "server ms", "sqlite3 ms", "ratio");
    const QString only = option("--only", QString());
    for (const Work &w : work) {
        if (!w.name.startsWith(only))
            continue;
        std::vector<double> ours, tool;
        QString result;
        for (int i = 0; i < runs; ++i) {
            freshCopy(source, file);
            {
                auto db = Storage::open(file, &error);
                Context ctx{*db};
                QElapsedTimer t;
                t.start();
                const QVariant out = w.ours(ctx);
                ours.push_back(t.nsecsElapsed() / 1e6);
                result = out.toString();
            }
            freshCopy(source, file);
            tool.push_back(
                sqliteToolMs(file, kSettings + "BEGIN IMMEDIATE; " + w.sql + " COMMIT;"));
        }
        const double a = median(ours), b = median(tool);
        std::printf("%-36s %10.1f %10.1f %8.2f   (%s; target <= 1.5)\n", qPrintable(w.name), a, b,
                    a / b, qPrintable(result));
    }
    return 0;
}

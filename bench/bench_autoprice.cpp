// The bulk price work over a 100,000-product period, each compared with the
// same work written as SQL and run by the sqlite3 command-line tool with the
// server's settings (WAL, synchronous NORMAL, foreign keys, one transaction):
// prices from costs for all products with taxes, the promotion mark for all
// products and for a list of 50,000, a name prefix added and removed over all.
// Every run starts from a fresh copy of the same database.
//
//   bench_autoprice [--products N] [--runs N] [--db FILE] [--only NAME-PREFIX]
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
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

const QString &kSettings = kServerSqliteSettings;

QString periodSql(const QString &start)
{
    return QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = '%1' AND "
                          "CDPRODUTO = CDPRPAITABPR")
        .arg(start);
}

struct Work
{
    QString name;
    QString base; // the file each run copies
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
    const int products = option("--products", "100000").toInt();
    const int runs = option("--runs", "3").toInt();
    QTemporaryDir dir;
    QString source = option("--db", qEnvironmentVariable("PRX_BENCH_DB"));
    DemoOptions demo;
    demo.products = products;
    QString error;
    source = demoDatabase(source, dir, demo, &error);
    if (source.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The period in force of table 001 of branch 0001, as the demo wrote it.
    const QString start = demo.today.addDays(-30).toString(QStringLiteral("yyyy-MM-dd")) +
                          QStringLiteral(" 00:00:00");

    // Names that take a prefix, a percentage for every product, and a copy
    // with the names prefixed for the removal.
    const QString base = dir.filePath("base.sqlite"), prefixed = dir.filePath("prefixed.sqlite");
    QStringList listed;
    {
        freshCopy(source, base);
        auto db = Storage::open(base, &error);
        db->execDirect("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 1, 40)");
        db->execDirect("INSERT INTO PERCCUSTO SELECT '0001', P.CDPRODUTO, 100 FROM PRODUTO P "
                       "WHERE NOT EXISTS (SELECT 1 FROM PERCCUSTO C WHERE C.CDFILIAL = '0001' "
                       "AND C.CDPRODUTO = P.CDPRODUTO)");
        db->execDirect("PRAGMA wal_checkpoint(TRUNCATE)");
        QSqlQuery q = db->prepare("SELECT CDPRODUTO FROM ITEMPRECO WHERE " + periodSql(start) +
                                  " ORDER BY CDPRODUTO");
        db->exec(q, "listar");
        while (q.next() && listed.size() < 50000)
            listed << q.value(0).toString();
    }
    // Only products in promotion take the prefix: a copy with every item of
    // the period marked, for adding and removing it over all of them.
    const QString promoted = dir.filePath("promoted.sqlite");
    {
        freshCopy(base, promoted);
        auto db = Storage::open(promoted, &error);
        db->execDirect("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE " + periodSql(start));
        db->execDirect("PRAGMA wal_checkpoint(TRUNCATE)");
    }
    {
        freshCopy(promoted, prefixed);
        auto db = Storage::open(prefixed, &error);
        db->execDirect("UPDATE PRODUTO SET NMPRODUTO = 'PROMO ' || NMPRODUTO");
        db->execDirect("PRAGMA wal_checkpoint(TRUNCATE)");
    }

    MethodRegistry registry;
    registerAllMethods(registry);
    const QDateTime startArg = wallClock(demo.today.addDays(-30));
    auto call = [&](Context &ctx, const QString &method, const QVariantList &callArgs) {
        const Outcome out = dispatch(registry, ctx, "Prx51700.rdmTabePreco", method, callArgs);
        if (!out.ok)
            std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(out.message));
        return out.payload;
    };
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDPRODUTO"), FieldType::String, 10}});
    QString listValues;
    for (const QString &code : listed) {
        packet->setString(packet->appendRow(), 0, code);
        listValues += (listValues.isEmpty() ? "('" : ",('") + code + "')";
    }
    const QVariant none = QVariant::fromValue(std::make_shared<DataPacket>());
    const QString own = QStringLiteral("CDPRODUTO IN (SELECT CDPRODUTO FROM ITEMPRECO WHERE %1 "
                                       "AND IDPRODPROMOC = 'S')")
                            .arg(periodSql(start));

    const QList<Work> work = {
        {"SetCalcPreco, all, with taxes", base,
         [&](Context &c) {
             return call(c, "SetCalcPreco",
                         {"0001", "001", startArg, "3", "", false, true, qint64(1)});
         },
         "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "IDPRECVARIA, IDPRODPROMOC, IDIMPPRODROT, VRCUSTITEM, VRMKUPITEM, DTULTALT) "
         "SELECT '0001', '001', '" +
             start +
             "', P.CDPRODUTO, P.CDPRODUTO, 'N', 'N', 'N', "
             "ROUND(C.VRCUSTPROD * (100 + PC.VRPERCCUSTO) / (100 - A.VRALIQPROD), 2), "
             "PC.VRPERCCUSTO, datetime('now', 'localtime') FROM PRODSEGMER S JOIN PRODUTO P ON "
             "P.CDPRODUTO = S.CDPRODUTO JOIN CUSTOPROD C ON C.CDFILIAL = '0001' AND C.CDPRODUTO = "
             "P.CDPRODUTO AND C.CDTIPOCUSTO = 1 JOIN PERCCUSTO PC ON PC.CDFILIAL = '0001' AND "
             "PC.CDPRODUTO = P.CDPRODUTO JOIN ALIQPROD A ON A.CDFILIAL = '0001' AND "
             "A.CDPRODUTO = P.CDPRODUTO WHERE S.CDSEGMER = '00001' AND LENGTH(P.CDARVPROD) = 8 "
             "ON CONFLICT (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR) DO UPDATE "
             "SET "
             "VRCUSTITEM = excluded.VRCUSTITEM, VRMKUPITEM = excluded.VRMKUPITEM, "
             "DTULTALT = excluded.DTULTALT;"},
        {"SetUpdItemPrecoAlt, all", base,
         [&](Context &c) {
             return call(c, "SetUpdItemPrecoAlt",
                         {"S", "", "", "", "T", none, false, "0001", "001", startArg});
         },
         "UPDATE ITEMPRECO SET IDPRODPROMOC = 'S', DTULTALT = datetime('now', 'localtime') "
         "WHERE " +
             periodSql(start) + " AND (IDPRODPROMOC IS NULL OR IDPRODPROMOC <> 'S');"},
        {"SetUpdItemPrecoAlt, list of " + QString::number(listed.size()), base,
         [&](Context &c) {
             return call(
                 c, "SetUpdItemPrecoAlt",
                 {"S", "", "", "", "", QVariant::fromValue(packet), true, "0001", "001", startArg});
         },
         "CREATE TEMP TABLE L (CDPRODUTO VARCHAR(10) PRIMARY KEY); INSERT INTO L VALUES " +
             listValues +
             "; UPDATE ITEMPRECO SET IDPRODPROMOC = 'S', DTULTALT = datetime('now', 'localtime') "
             "WHERE " +
             periodSql(start) +
             " AND CDPRODUTO IN (SELECT CDPRODUTO FROM L) AND (IDPRODPROMOC IS NULL OR "
             "IDPRODPROMOC <> 'S');"},
        {"SetAddPrefixo, all", promoted,
         [&](Context &c) {
             return call(c, "SetAddPrefixo", {"PROMO ", "", "", "", "T", "0001", "001", startArg});
         },
         "SELECT CDPRODUTO FROM PRODUTO WHERE " + own +
             " AND SUBSTR(NMPRODUTO, 1, 6) <> 'PROMO ' AND LENGTH(NMPRODUTO) + 6 > 50 LIMIT 1; "
             "UPDATE PRODUTO SET NMPRODUTO = 'PROMO ' || NMPRODUTO WHERE " +
             own + " AND SUBSTR(NMPRODUTO, 1, 6) <> 'PROMO ';"},
        {"SetDelPrefixo, all", prefixed,
         [&](Context &c) {
             return call(c, "SetDelPrefixo", {"PROMO ", "", "", "", "T", "0001", "001", startArg});
         },
         "UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 7) WHERE " + own +
             " AND SUBSTR(NMPRODUTO, 1, 6) = 'PROMO ' AND LENGTH(NMPRODUTO) > 6;"},
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
            freshCopy(w.base, file);
            {
                auto db = Storage::open(file, &error);
                Context ctx{*db};
                QElapsedTimer t;
                t.start();
                const QVariant out = w.ours(ctx);
                ours.push_back(t.nsecsElapsed() / 1e6);
                // Counts come alone or first in a list with what was skipped.
                result = out.typeId() == QMetaType::QVariantList ? out.toList().value(0).toString()
                                                                 : out.toString();
            }
            freshCopy(w.base, file);
            tool.push_back(
                sqliteToolMs(file, kSettings + "BEGIN IMMEDIATE; " + w.sql + " COMMIT;"));
        }
        const double a = median(ours), b = median(tool);
        std::printf("%-36s %10.1f %10.1f %8.2f   (%s rows; target <= 1.5)\n", qPrintable(w.name), a,
                    b, a / b, qPrintable(result));
    }
    return 0;
}

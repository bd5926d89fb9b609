// The price in force with 1,000,000 differentiated prices in one period:
//  - GetPrecoVigente for one product, in process: per answer, median and
//    p99 over many products (target: <= 1 ms);
//  - GetPrecoVigenteLote for the store's 10,000 items at one moment, in
//    process, against the same decision written by hand in SQL and run by
//    the sqlite3 tool on the same file (target: <= 1.5x).
// The data: a demo chain of 10,000 products and a table of branch 0001 with
// an approved period around today whose every product has 100 differentiated
// prices (ten days by ten hour windows that all end at 23:59), so that at
// noon ten of them hold and the precedence has work to do.
//
//   bench_priceinforce [--runs N] [--singles N] [--db FILE]
#include "BenchDemo.h"
#include "BenchFigures.h"
#include "ItemListBaseline.h"

#include "core/MethodRegistry.h"
#include "demo/DemoGenerator.h"
#include "methods/MethodSupport.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

constexpr int kProducts = 10000;

QString dateText(QDate d)
{
    return d.toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
}

void prepare(Storage &db, QDate today)
{
    db.createSchema();
    DemoOptions demo;
    demo.products = kProducts;
    demo.branches = 1;
    demo.today = today;
    generateDemo(db, demo);
    const QString start = dateText(today.addDays(-10)), end = dateText(today.addDays(20));
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES "
                            "('0001', 'BEN', 'Vigente')"));
    exec(db, QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                            "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', 'BEN', '%1', '%2', '4')")
                 .arg(start, end));
    exec(db, QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                            "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCL) SELECT "
                            "'0001', 'BEN', '%1', CDPRODUTO, CDPRODUTO, "
                            "10 + (CAST(CDPRODUTO AS INTEGER) % 500) / 100.0, 12, 0 FROM PRODUTO")
                 .arg(start));
    exec(db,
         QStringLiteral(
             "WITH D(d) AS (VALUES ('1'),('2'),('3'),('4'),('5'),('6'),('7'),('V'),('F'),('T')), "
             "H(f) AS (VALUES ('0800'),('0900'),('1000'),('1100'),('1200'),('1300'),('1400'),"
             "('1500'),('1600'),('1700')) "
             "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
             "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
             "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
             "VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) "
             "SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, I.CDPRODUTO, I.CDPRPAITABPR, 'T', "
             "D.d, H.f, '2359', I.DTINIVGPREC, '%1', 'P', 'D', 1 + CAST(H.f AS INTEGER) / 100, "
             "0, 0, 'N', 'S', 'N', 'N' FROM ITEMPRECO I CROSS JOIN D CROSS JOIN H "
             "WHERE I.CDFILIAL = '0001' AND I.CDTABEPREC = 'BEN'")
             .arg(end));
    exec(db, QStringLiteral("COMMIT"));
    exec(db, QStringLiteral("ANALYZE"));
}

// The batch's decision as one would write it by hand: the matching rows
// ranked by the same precedence, the first one's price computed as the
// screen does (a percentage cut to the cent before it is applied).
QString handWritten(QDate day, const QString &start)
{
    const QString weekday = QString::number(day.dayOfWeek() % 7 + 1);
    const QString minutes = QStringLiteral(
        "(CAST(substr(%1, 1, 2) AS INTEGER) * 60 + CAST(substr(%1, 3, 2) AS INTEGER))");
    const QString width = minutes.arg(QStringLiteral("D.HRFINPRECDIA")) + " - " +
                          minutes.arg(QStringLiteral("D.HRINIPRECDIA"));
    const QString change = QStringLiteral("(CAST(B.BASE * W.VRPRECODIA AS INTEGER) / 100.0)");
    return QStringLiteral(
               "WITH M AS (SELECT D.CDPRODUTO, D.NRDIASEMANPR, D.CDTIPOCONSPD, D.HRINIPRECDIA, "
               "D.HRFINPRECDIA, D.DTINIVALPREC, D.IDPERVALORPR, D.IDDESCACREPR, D.VRPRECODIA, "
               "ROW_NUMBER() OVER (PARTITION BY D.CDPRODUTO ORDER BY D.CDTIPOCONSPD = 'T', "
               "CASE D.NRDIASEMANPR WHEN 'F' THEN 0 WHEN 'V' THEN 1 WHEN 'T' THEN 3 ELSE 2 END, "
               "%1, D.DTINIVALPREC DESC, D.HRINIPRECDIA DESC) AS RN, "
               "COUNT(*) OVER (PARTITION BY D.CDPRODUTO) AS N "
               "FROM ITEMPRECODIA D WHERE D.CDFILIAL = '0001' AND D.CDTABEPREC = 'BEN' AND "
               "D.DTINIVGPREC = '%2' AND D.CDPRPAITABPR = D.CDPRODUTO AND D.IDTPMODGERAL = 'S' "
               "AND D.CDTIPOCONSPD IN ('T', 'T') AND D.NRDIASEMANPR IN ('T', '%3', 'T', 'T') AND "
               "D.HRINIPRECDIA <= '1200' AND D.HRFINPRECDIA >= '1200' AND "
               "D.DTINIVALPREC <= '%4 23:59:59' AND (D.DTFINVALPREC IS NULL OR "
               "D.DTFINVALPREC >= '%4 00:00:00')), "
               "W AS (SELECT * FROM M WHERE RN = 1), "
               "B AS (SELECT CDPRODUTO, VRPRECITEM, VRPRECITEM + coalesce(VRPRECITEMCL, 0) AS "
               "BASE, HRINIVENPROD, HRFIMVENPROD FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
               "CDTABEPREC = 'BEN' AND DTINIVGPREC = '%2' AND CDPRPAITABPR = CDPRODUTO) "
               "SELECT B.CDPRODUTO, B.VRPRECITEM, W.NRDIASEMANPR, W.CDTIPOCONSPD, "
               "W.HRINIPRECDIA, W.HRFINPRECDIA, W.DTINIVALPREC, W.N, "
               "CASE WHEN W.CDPRODUTO IS NULL THEN B.VRPRECITEM "
               "WHEN W.IDPERVALORPR = 'P' AND W.IDDESCACREPR = 'D' THEN B.BASE - %5 "
               "WHEN W.IDPERVALORPR = 'P' THEN B.BASE + %5 "
               "WHEN W.IDDESCACREPR = 'D' THEN B.BASE - W.VRPRECODIA "
               "ELSE B.BASE + W.VRPRECODIA END "
               "FROM B LEFT JOIN W ON W.CDPRODUTO = B.CDPRODUTO "
               "WHERE B.HRINIVENPROD IS NULL OR (B.HRINIVENPROD <= '1200' AND "
               "B.HRFIMVENPROD >= '1200') ORDER BY B.CDPRODUTO;")
        .arg(width, start, weekday, day.toString(Qt::ISODate), change);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        return commandOption(args, name, fallback);
    };
    const int runs = option("--runs", "7").toInt();
    const int singles = option("--singles", "2000").toInt();
    QTemporaryDir dir;
    const QString file = option("--db", dir.filePath("inforce.sqlite"));
    // A weekday that is no national holiday, so that the day's rules are the
    // weekday's and "every day".
    QDate today = QDate::currentDate();
    const bool fresh = !QFile::exists(file);
    QString error;
    auto db = Storage::open(file, &error);
    if (!db)
        fail(error);
    if (fresh) {
        QElapsedTimer t;
        t.start();
        prepare(*db, today);
        std::printf("data: %d products, %d differentiated prices: %.1f s\n", kProducts,
                    kProducts * 100, t.elapsed() / 1000.0);
    }
    QSqlQuery q(db->database());
    if (!q.exec(QStringLiteral("SELECT DTINIVGPREC FROM TABEVEND WHERE CDTABEPREC = 'BEN'")) ||
        !q.next())
        fail(QStringLiteral("período BEN ausente"));
    const QString start = q.value(0).toString();
    today = QDate::fromString(start.left(10), Qt::ISODate).addDays(10);
    const QDateTime noon = wallClock(today, QTime(12, 0));

    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    const QString object = QStringLiteral("Prx51700.rdmTabePreco");

    // One product at a time, products picked at random.
    QStringList products;
    if (!q.exec(QStringLiteral("SELECT CDPRODUTO FROM ITEMPRECO WHERE CDTABEPREC = 'BEN'")))
        fail(q.lastError().text());
    while (q.next())
        products << q.value(0).toString();
    QRandomGenerator rng(7);
    std::vector<double> each;
    for (int i = 0; i < singles; ++i) {
        const QString &product = products[int(rng.bounded(int(products.size())))];
        QElapsedTimer t;
        t.start();
        const Outcome out = dispatch(registry, ctx, object, QStringLiteral("GetPrecoVigente"),
                                     {"0001", "BEN", product, noon, "T", "G"});
        each.push_back(t.nsecsElapsed() / 1e6);
        if (!out.ok)
            fail(out.message);
    }
    std::printf("GetPrecoVigente: median %.3f ms, p90 %.3f ms, p99 %.3f ms per answer (%d "
                "answers; target <= 1 ms)\n",
                median(each), percentile(each, 0.9), percentile(each, 0.99), singles);

    std::vector<double> batch;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const Outcome out = dispatch(registry, ctx, object, QStringLiteral("GetPrecoVigenteLote"),
                                     {"0001", "BEN", noon, "T", "G", "T"});
        batch.push_back(t.nsecsElapsed() / 1e6);
        if (!out.ok)
            fail(out.message);
        rows = out.payload.value<DataPacketPtr>()->rowCount();
    }
    const double ours = median(batch);
    const double tool = sqliteToolMs(file, kServerSqliteSettings + handWritten(today, start), runs);
    std::printf("GetPrecoVigenteLote: %d answers, %.1f ms (median of %d)\n", rows, ours, runs);
    std::printf("sqlite3 tool, hand-written SQL: %.1f ms\n", tool);
    std::printf("ratio: %.2f (target <= 1.5)\n", ours / tool);
    return 0;
}

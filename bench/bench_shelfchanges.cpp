// Price changes for the shelf over 100,000 products: GetAlteracoesPreco
// between a moment of one approved period and a moment of the next, and
// GetAlteracoesPrecoProxVig from the first period to the start of the
// second, in process on SQLite (goal: <= 3 s each).
// The data: a copy of the demo database and a table of branch 0001 with two
// consecutive approved periods holding every product; a third of the prices
// change from one to the other, a tenth of the products stop or start
// selling, and every product has four differentiated prices per period (an
// evening discount, a holiday and a weekend rule, one for consumer type 01)
// so that the precedence has work to do at both moments.
//
//   bench_shelfchanges [--runs N] [--db FILE] [--work FILE]
//     --db: the demo database copied ($PRX_BENCH_DB by default); --work: the
//     copy, kept and reused when it already holds the table
#include "BenchDemo.h"
#include "BenchFigures.h"

#include "core/MethodRegistry.h"
#include "methods/MethodSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

constexpr double kGoalMs = 3000;

QString dateText(QDate d)
{
    return d.toString(Qt::ISODate) + QStringLiteral(" 00:00:00");
}

void prepare(Storage &db, QDate first, QDate second, QDate end)
{
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES "
                            "('0001', 'ETQ', 'Etiquetas')"));
    const QString period = QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, "
                                          "DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) VALUES "
                                          "('0001', 'ETQ', '%1', '%2', '4')");
    exec(db, period.arg(dateText(first), dateText(second.addDays(-1))));
    exec(db, period.arg(dateText(second), dateText(end)));
    // Products ending in 0 sell only in the second period, those ending in 1
    // only in the first; a third change price.
    const QString items =
        QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCL) SELECT '0001', "
                       "'ETQ', '%1', CDPRODUTO, CDPRODUTO, %2, 12, 0 FROM PRODUTO WHERE "
                       "CAST(CDPRODUTO AS INTEGER) % 10 <> %3");
    exec(db, items.arg(dateText(first),
                       QStringLiteral("10 + (CAST(CDPRODUTO AS INTEGER) % 500) / 100.0"),
                       QStringLiteral("0")));
    exec(db, items.arg(dateText(second),
                       QStringLiteral("10 + (CAST(CDPRODUTO AS INTEGER) % 500) / 100.0 + "
                                      "CASE WHEN CAST(CDPRODUTO AS INTEGER) % 3 = 0 THEN 1 "
                                      "ELSE 0 END"),
                       QStringLiteral("1")));
    exec(db, QStringLiteral(
                 "WITH R(d, c, f, t, a) AS (VALUES ('T', 'T', '1800', '2359', 10), "
                 "('F', 'T', '0000', '2359', 5), ('1', 'T', '0800', '2000', 3), "
                 "('T', '01', '0000', '2359', 20)) "
                 "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                 "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
                 "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
                 "VRPRECODIADLV, VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, "
                 "IDTPMODCMD) SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, I.CDPRODUTO, "
                 "I.CDPRPAITABPR, R.c, R.d, R.f, R.t, I.DTINIVGPREC, V.DTFINVGPREC, 'P', 'D', "
                 "R.a, 0, 0, 'N', 'S', 'N', 'N' FROM ITEMPRECO I JOIN TABEVEND V ON "
                 "V.CDFILIAL = I.CDFILIAL AND V.CDTABEPREC = I.CDTABEPREC AND "
                 "V.DTINIVGPREC = I.DTINIVGPREC CROSS JOIN R WHERE I.CDFILIAL = '0001' AND "
                 "I.CDTABEPREC = 'ETQ'"));
    exec(db, QStringLiteral("COMMIT"));
    exec(db, QStringLiteral("ANALYZE"));
}

struct Figure
{
    double ms = 0;
    int changed = 0;
};

Figure timeCall(MethodRegistry &registry, Context &ctx, const QString &method,
                const QVariantList &args, int runs)
{
    std::vector<double> each;
    Figure f;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const Outcome out =
            dispatch(registry, ctx, QStringLiteral("Prx51700.rdmTabePreco"), method, args);
        each.push_back(t.nsecsElapsed() / 1e6);
        if (!out.ok)
            fail(out.message);
        f.changed = out.payload.toList().value(0).value<DataPacketPtr>()->rowCount();
    }
    f.ms = median(each);
    return f;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = commandOption(args, "--runs", "5").toInt();
    QTemporaryDir dir;
    server::DemoOptions demo;
    demo.products = 100000;
    QString error;
    const QString source = demoDatabase(
        commandOption(args, "--db", qEnvironmentVariable("PRX_BENCH_DB")), dir, demo, &error);
    if (source.isEmpty())
        fail(error);
    const QString file =
        commandOption(args, "--work", dir.filePath(QStringLiteral("shelf.sqlite")));
    const bool reuse = QFile::exists(file);
    if (!reuse && !freshCopy(source, file))
        fail(QStringLiteral("não foi possível copiar %1").arg(source));
    auto db = Storage::open(file, &error);
    if (!db)
        fail(error);
    // A Tuesday, so that the weekday rule (Sunday) holds at neither moment.
    QDate first = QDate::currentDate().addDays(200);
    while (first.dayOfWeek() != Qt::Tuesday)
        first = first.addDays(1);
    const QDate second = first.addDays(35), end = second.addDays(60);
    QElapsedTimer t;
    t.start();
    if (!reuse)
        prepare(*db, first, second, end);
    QSqlQuery q(db->database());
    if (!q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM ITEMPRECO WHERE CDTABEPREC = "
                               "'ETQ'), (SELECT COUNT(*) FROM ITEMPRECODIA WHERE CDTABEPREC = "
                               "'ETQ')")) ||
        !q.next())
        fail(q.lastError().text());
    std::printf("data: 2 periods, %lld price items, %lld differentiated prices: %.1f s\n",
                q.value(0).toLongLong(), q.value(1).toLongLong(), t.elapsed() / 1000.0);

    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    // Both in the evening, when the evening discount holds: what changes is
    // the period's prices and who sells.
    const QDateTime before = wallClock(second.addDays(-6), QTime(19, 0));
    const QDateTime after = wallClock(second.addDays(1), QTime(19, 0));
    const Figure between = timeCall(registry, ctx, QStringLiteral("GetAlteracoesPreco"),
                                    {"0001", "ETQ", before, after}, runs);
    std::printf("GetAlteracoesPreco, 100,000 products at both moments: %.0f ms median of %d, "
                "%d changed (goal <= %.0f ms: %s)\n",
                between.ms, runs, between.changed, kGoalMs,
                between.ms <= kGoalMs ? "ok" : "MISSED");
    const Figure next =
        timeCall(registry, ctx, QStringLiteral("GetAlteracoesPrecoProxVig"),
                 {"0001", "ETQ", wallClock(second.addDays(-6), QTime(12, 0))}, runs);
    std::printf("GetAlteracoesPrecoProxVig, to the start of the next period: %.0f ms median of "
                "%d, %d changed (goal <= %.0f ms: %s)\n",
                next.ms, runs, next.changed, kGoalMs, next.ms <= kGoalMs ? "ok" : "MISSED");
    return between.ms <= kGoalMs && next.ms <= kGoalMs ? 0 : 1;
}

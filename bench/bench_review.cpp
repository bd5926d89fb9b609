// The review of a period before its approval over 100,000 products:
//  - GetRevisaoVigencia in process on SQLite, against the same comparison
//    written by hand in SQL and run by the sqlite3 tool on the same file
//    (targets: <= 2 s and <= 1.5x the tool);
//  - the same method on PostgreSQL when PRX_BENCH_PG_URL names a database
//    (a schema of its own is made and dropped; target <= 2 s).
// The data: the benchmark database (or a demo of --products products); the
// period after the one in force of table 001 of branch 0001 is made a copy
// of the period in force with a tenth of the prices raised, a tenth lowered,
// one in fifty products left out, the products the period in force lacks
// added, and its differentiated prices copied with one in five changed.
//
//   bench_review [--runs N] [--db FILE] [--products N]
#include "BenchDemo.h"
#include "BenchFigures.h"

#include "core/MethodRegistry.h"
#include "methods/MethodSupport.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

struct Periods
{
    QString inForce, next, nextEnd; // 'yyyy-MM-dd HH:mm:ss'
};

QString text(Storage &db, const QString &sql)
{
    QSqlQuery q(db.database());
    if (!q.exec(sql) || !q.next())
        fail(sql.left(120) + QStringLiteral(": ") + q.lastError().text());
    return q.value(0).toString().left(19).replace(u'T', u' ');
}

// The period in force of 0001/001 (the one with the most items) and the one after it.
Periods periods(Storage &db)
{
    Periods p;
    p.inForce = text(db, QStringLiteral("SELECT DTINIVGPREC FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                                        "AND CDTABEPREC = '001' GROUP BY DTINIVGPREC ORDER BY "
                                        "COUNT(*) DESC, DTINIVGPREC LIMIT 1"));
    p.next = text(db, QStringLiteral("SELECT MIN(DTINIVGPREC) FROM TABEVEND WHERE CDFILIAL = "
                                     "'0001' AND CDTABEPREC = '001' AND DTINIVGPREC > '%1'")
                          .arg(p.inForce));
    p.nextEnd = text(db, QStringLiteral("SELECT DTFINVGPREC FROM TABEVEND WHERE CDFILIAL = '0001' "
                                        "AND CDTABEPREC = '001' AND DTINIVGPREC = '%1'")
                             .arg(p.next));
    return p;
}

// The period after the one in force becomes an edited copy of it.
void prepare(Storage &db, const Periods &p)
{
    // A date-time literal where nothing around it gives it a type.
    auto at = [&db](const QString &text) {
        return db.dialect().isSqlite() ? QStringLiteral("'%1'").arg(text)
                                       : QStringLiteral("TIMESTAMP '%1'").arg(text);
    };
    const QString key = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                       "DTINIVGPREC = '%1'");
    const QString number = QStringLiteral("CAST(CDPRODUTO AS INTEGER)");
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("DELETE FROM ITEMPRECODIA WHERE ") + key.arg(p.next));
    exec(db, QStringLiteral("DELETE FROM ITEMPRECO WHERE ") + key.arg(p.next));
    exec(db, QStringLiteral(
                 "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                 "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, VRPRECITEMCL, "
                 "IDPRECVARIA, VRPRESUGITEM, VRCUSTITEM, VRMKUPITEM, IDPRODPROMOC, HRINIVENPROD, "
                 "HRFIMVENPROD, IDIMPPRODROT) SELECT CDFILIAL, CDTABEPREC, %1, CDPRODUTO, "
                 "CDPRPAITABPR, CASE WHEN %3 % 10 = 0 THEN VRPRECITEM + 1 WHEN %3 % 10 = 1 AND "
                 "VRPRECITEM > 1 THEN VRPRECITEM - 0.5 ELSE VRPRECITEM END, VRPRECITEMDLV, "
                 "VRPRECITEMCMD, VRPRECITEMCL, IDPRECVARIA, VRPRESUGITEM, VRCUSTITEM, VRMKUPITEM, "
                 "IDPRODPROMOC, HRINIVENPROD, HRFIMVENPROD, IDIMPPRODROT FROM ITEMPRECO WHERE %2 "
                 "AND NOT (CDPRODUTO = CDPRPAITABPR AND %3 % 50 = 7)")
                 .arg(at(p.next), key.arg(p.inForce), number));
    // The products the period in force does not price.
    exec(db, QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                            "CDPRPAITABPR, VRPRECITEM, VRPRECITEMCL, IDPRECVARIA, IDPRODPROMOC) "
                            "SELECT '0001', '001', %1, P.CDPRODUTO, P.CDPRODUTO, 9.9, 0, 'N', 'N' "
                            "FROM PRODUTO P WHERE NOT EXISTS (SELECT 1 FROM ITEMPRECO I WHERE I.%2 "
                            "AND I.CDPRODUTO = P.CDPRODUTO)")
                 .arg(at(p.next), key.arg(p.inForce)));
    exec(db,
         QStringLiteral(
             "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
             "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
             "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
             "VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, "
             "IDTPMODCMD) SELECT D.CDFILIAL, D.CDTABEPREC, %1, D.CDPRODUTO, D.CDPRPAITABPR, "
             "D.CDTIPOCONSPD, D.NRDIASEMANPR, D.HRINIPRECDIA, D.HRFINPRECDIA, %1, %2, "
             "D.IDPERVALORPR, D.IDDESCACREPR, CASE WHEN CAST(D.CDPRODUTO AS INTEGER) % 5 = 0 THEN "
             "D.VRPRECODIA + 1 ELSE D.VRPRECODIA END, D.VRPRECODIADLV, D.VRPRECODIACMD, D.PRECO, "
             "D.PRECODLV, D.PRECOCMD, D.IDVISUACUPOM, D.IDTPMODGERAL, D.IDTPMODDLV, D.IDTPMODCMD "
             "FROM ITEMPRECODIA D WHERE D.%3 AND EXISTS (SELECT 1 FROM ITEMPRECO I WHERE I.%4 AND "
             "I.CDPRODUTO = D.CDPRODUTO AND I.CDPRPAITABPR = D.CDPRPAITABPR)")
             .arg(at(p.next), at(p.nextEnd), key.arg(p.inForce), key.arg(p.next)));
    exec(db, QStringLiteral("COMMIT"));
    exec(db, QStringLiteral("ANALYZE"));
}

// The review as one would write it by hand: both periods' own rows side by
// side, the change in %, the tax rates, and the differentiated prices matched
// by their key.
QString handWritten(const Periods &p)
{
    const QString own = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC "
                                       "= '%1' AND CDPRPAITABPR = CDPRODUTO");
    return QStringLiteral(
               "WITH N AS (SELECT CDPRODUTO, VRPRECITEM, VRCUSTITEM FROM ITEMPRECO WHERE %1 AND "
               "VRPRECITEM IS NOT NULL), "
               "O AS (SELECT CDPRODUTO, VRPRECITEM FROM ITEMPRECO WHERE %2 AND VRPRECITEM IS NOT "
               "NULL), "
               "X AS (SELECT N.CDPRODUTO, O.VRPRECITEM AS OLD, N.VRPRECITEM AS NEW, N.VRCUSTITEM, "
               "1 AS INNEW FROM N LEFT JOIN O ON O.CDPRODUTO = N.CDPRODUTO UNION ALL SELECT "
               "O.CDPRODUTO, O.VRPRECITEM, NULL, NULL, 0 FROM O WHERE NOT EXISTS (SELECT 1 FROM N "
               "WHERE N.CDPRODUTO = O.CDPRODUTO)), "
               "DN AS (SELECT * FROM ITEMPRECODIA WHERE %3), "
               "DOLD AS (SELECT * FROM ITEMPRECODIA WHERE %4), "
               "DC AS (SELECT CDPRODUTO, SUM(A) AS A, SUM(R) AS R, SUM(C) AS C FROM (SELECT "
               "DN.CDPRODUTO, DOLD.CDPRODUTO IS NULL AS A, 0 AS R, DOLD.CDPRODUTO IS NOT NULL AND "
               "(DN.IDPERVALORPR IS NOT DOLD.IDPERVALORPR OR DN.IDDESCACREPR IS NOT "
               "DOLD.IDDESCACREPR "
               "OR DN.VRPRECODIA IS NOT DOLD.VRPRECODIA OR DN.VRPRECODIADLV IS NOT "
               "DOLD.VRPRECODIADLV "
               "OR DN.VRPRECODIACMD IS NOT DOLD.VRPRECODIACMD OR DN.IDVISUACUPOM IS NOT "
               "DOLD.IDVISUACUPOM OR DN.IDTPMODGERAL IS NOT DOLD.IDTPMODGERAL OR DN.IDTPMODDLV IS "
               "NOT "
               "DOLD.IDTPMODDLV OR DN.IDTPMODCMD IS NOT DOLD.IDTPMODCMD) AS C FROM DN LEFT JOIN "
               "DOLD ON "
               "DOLD.CDPRODUTO = DN.CDPRODUTO AND DOLD.CDTIPOCONSPD = DN.CDTIPOCONSPD AND "
               "DOLD.NRDIASEMANPR = DN.NRDIASEMANPR AND DOLD.HRINIPRECDIA = DN.HRINIPRECDIA AND "
               "DOLD.HRFINPRECDIA = DN.HRFINPRECDIA UNION ALL SELECT DOLD.CDPRODUTO, 0, 1, 0 FROM "
               "DOLD "
               "WHERE NOT EXISTS (SELECT 1 FROM DN WHERE DN.CDPRODUTO = DOLD.CDPRODUTO AND "
               "DN.CDTIPOCONSPD = DOLD.CDTIPOCONSPD AND DN.NRDIASEMANPR = DOLD.NRDIASEMANPR AND "
               "DN.HRINIPRECDIA = DOLD.HRINIPRECDIA AND DN.HRFINPRECDIA = DOLD.HRFINPRECDIA)) "
               "GROUP BY "
               "CDPRODUTO) "
               "SELECT X.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, X.OLD, X.NEW, CASE WHEN X.OLD IS "
               "NULL THEN 'N' WHEN X.NEW IS NULL THEN 'R' WHEN X.NEW > X.OLD THEN 'A' WHEN X.NEW < "
               "X.OLD THEN 'D' ELSE 'I' END, CASE WHEN X.OLD > 0 AND X.NEW IS NOT NULL THEN "
               "ROUND((X.NEW - X.OLD) * 100.0 / X.OLD, 2) END, X.NEW < X.VRCUSTITEM, X.INNEW = 1 "
               "AND NOT EXISTS (SELECT 1 FROM ALIQPROD A WHERE A.CDFILIAL = '0001' AND "
               "A.CDPRODUTO = X.CDPRODUTO), COALESCE(DC.A, 0), COALESCE(DC.R, 0), COALESCE(DC.C, "
               "0) FROM X JOIN PRODUTO P ON P.CDPRODUTO = X.CDPRODUTO LEFT JOIN DC ON DC.CDPRODUTO "
               "= X.CDPRODUTO ORDER BY P.CDARVPROD;")
        .arg(own.arg(p.next), own.arg(p.inForce), own.arg(p.next), own.arg(p.inForce));
}

// The method's median over the runs, in ms; the rows of the last answer in *rows.
double timeMethod(Storage &db, const Periods &p, int runs, int *rows)
{
    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{db};
    const QDateTime start = SqlDialect::dateTimeFromText(p.next);
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const Outcome out = dispatch(registry, ctx, QStringLiteral("Prx51700.rdmTabePreco"),
                                     QStringLiteral("GetRevisaoVigencia"),
                                     {QStringLiteral("0001"), QStringLiteral("001"), start});
        times.push_back(t.nsecsElapsed() / 1e6);
        if (!out.ok)
            fail(out.message);
        *rows = out.payload.toList().value(2).value<DataPacketPtr>()->rowCount();
    }
    return median(times);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int runs = commandOption(args, "--runs", "5").toInt();
    DemoOptions demo;
    demo.products = commandOption(args, "--products", "100000").toInt();
    QTemporaryDir dir;
    QString error;
    const QString given =
        demoDatabase(commandOption(args, "--db", QStringLiteral("build/bench-data/bench.db")), dir,
                     demo, &error);
    if (given.isEmpty())
        fail(error);
    // A copy: the edited period must not reach the shared file.
    const QString file = dir.filePath(QStringLiteral("review.sqlite"));
    if (given != file && !freshCopy(given, file))
        fail(QStringLiteral("não foi possível copiar %1").arg(given));
    auto db = Storage::open(file, &error);
    if (!db)
        fail(error);
    const Periods p = periods(*db);
    {
        QElapsedTimer t;
        t.start();
        prepare(*db, p);
        std::printf("data: period %s compared with %s, prepared in %.1f s\n",
                    qPrintable(p.next.left(10)), qPrintable(p.inForce.left(10)),
                    t.elapsed() / 1000.0);
    }
    int rows = 0;
    const double ours = timeMethod(*db, p, runs, &rows);
    std::vector<double> tool;
    for (int i = 0; i < runs; ++i)
        tool.push_back(sqliteToolMs(file, kServerSqliteSettings + handWritten(p)));
    std::printf("GetRevisaoVigencia SQLite: %d products, %.1f ms (median of %d; target <= 2000 "
                "ms)\n",
                rows, ours, runs);
    std::printf("sqlite3 tool, hand-written SQL: %.1f ms\n", median(tool));
    std::printf("ratio: %.2f (target <= 1.5)\n", ours / median(tool));

    const QString base = qEnvironmentVariable("PRX_BENCH_PG_URL");
    if (base.isEmpty()) {
        std::printf("PostgreSQL: defina PRX_BENCH_PG_URL para medir\n");
        return 0;
    }
    const QString schema = QStringLiteral("prx_review_%1").arg(QCoreApplication::applicationPid());
    const QString url =
        base + (base.contains(QLatin1Char('?')) ? u'&' : u'?') + QStringLiteral("schema=") + schema;
    auto pg = Storage::open(url, &error);
    if (!pg)
        fail(error);
    {
        QElapsedTimer t;
        t.start();
        pg->createSchema();
        demo.branches = 1;
        demo.today = SqlDialect::dateTimeFromText(p.inForce).date().addDays(30);
        generateDemo(*pg, demo);
        const Periods pp = periods(*pg);
        prepare(*pg, pp);
        std::printf("PostgreSQL data: %d products, prepared in %.1f s\n", demo.products,
                    t.elapsed() / 1000.0);
        const double pgMs = timeMethod(*pg, pp, runs, &rows);
        std::printf("GetRevisaoVigencia PostgreSQL: %d products, %.1f ms (median of %d; target "
                    "<= 2000 ms)\n",
                    rows, pgMs, runs);
    }
    exec(*pg, QStringLiteral("DROP SCHEMA %1 CASCADE").arg(schema));
    return 0;
}

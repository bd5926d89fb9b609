// The consistency check (prx-cli check) over the 100,000-product database
// given 1,000,000 differentiated prices, every one of them sound, against the
// same rules written by hand in SQL and run by the sqlite3 tool on the same
// file (the tool has no price routine of ours: the hand-written queries
// compute it with SQL arithmetic). Goal: within 1.5× of the tool, under 10 s.
//
// bench_check [--db FILE] [--products N] [--dayprices N] [--runs N]; without
// --db, PRX_BENCH_DB, else a demo of N products made here.
#include "BenchDemo.h"
#include "BenchFigures.h"

#include "methods/ConsistencyCheck.h"
#include "methods/DayPriceRecompute.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

// Every differentiated price of the database replaced by `count` sound
// ones (ten days, two hour ranges per item), priced by the server's routine.
void prepare(Storage &db, int count)
{
    exec(db, QStringLiteral("BEGIN"));
    exec(db, QStringLiteral("DELETE FROM ITEMPRECODIA"));
    exec(db,
         QStringLiteral(
             "WITH D(d) AS (VALUES ('1'),('2'),('3'),('4'),('5'),('6'),('7'),('V'),('F'),('T')), "
             "H(f, t) AS (VALUES ('1100', '1500'), ('1800', '2300')) "
             "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
             "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
             "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
             "VRPRECODIACMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) "
             "SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, I.CDPRODUTO, I.CDPRPAITABPR, 'T', "
             "D.d, H.f, H.t, I.DTINIVGPREC, V.DTFINVGPREC, 'P', 'D', 10, "
             "CASE WHEN I.VRPRECITEMDLV IS NULL THEN 0 ELSE 10 END, 0, 'N', 'S', "
             "CASE WHEN I.VRPRECITEMDLV IS NULL THEN 'N' ELSE 'S' END, 'N' "
             "FROM ITEMPRECO I JOIN TABEVEND V ON V.CDFILIAL = I.CDFILIAL AND "
             "V.CDTABEPREC = I.CDTABEPREC AND V.DTINIVGPREC = I.DTINIVGPREC "
             "CROSS JOIN D CROSS JOIN H WHERE I.VRPRECITEM IS NOT NULL AND "
             "I.CDPRODUTO = I.CDPRPAITABPR LIMIT %1")
             .arg(count));
    registerPriceFunctions(db);
    exec(db,
         QStringLiteral("UPDATE ITEMPRECODIA AS D SET PRECO = prx_preco_dia(I.VRPRECITEM, "
                        "I.VRPRECITEMCL, D.VRPRECODIA, 'P', 'D'), PRECODLV = CASE WHEN "
                        "D.IDTPMODDLV = 'S' THEN prx_preco_dia(I.VRPRECITEMDLV, I.VRPRECITEMCL, "
                        "D.VRPRECODIADLV, 'P', 'D') END FROM ITEMPRECO AS I WHERE "
                        "I.CDFILIAL = D.CDFILIAL AND I.CDTABEPREC = D.CDTABEPREC AND "
                        "I.DTINIVGPREC = D.DTINIVGPREC AND I.CDPRODUTO = D.CDPRODUTO AND "
                        "I.CDPRPAITABPR = D.CDPRPAITABPR"));
    exec(db, QStringLiteral("COMMIT"));
}

QString anyOf(const QStringList &columns, const QString &pattern)
{
    QStringList terms;
    for (const QString &c : columns)
        terms << QString(pattern).replace(QStringLiteral("%c"), c);
    return u'(' + terms.join(QStringLiteral(" OR ")) + u')';
}

// The rules of the check as one would write them by hand.
QString handWrittenCheck()
{
    const QStringList items = {"A.VRPRECITEM",   "A.VRPRECITEMDLV", "A.VRPRECITEMCMD",
                               "A.VRPRECITEMCL", "A.VRPRESUGITEM",  "A.VRCUSTITEM"};
    const QStringList dayValues = {"D.VRPRECODIA", "D.VRPRECODIADLV", "D.VRPRECODIACMD",
                                   "D.PRECO",      "D.PRECODLV",      "D.PRECOCMD"};
    const QString limit = QStringLiteral("999999999999999");
    const QString join =
        QStringLiteral("FROM ITEMPRECODIA D JOIN ITEMPRECO I ON I.CDFILIAL = D.CDFILIAL AND "
                       "I.CDTABEPREC = D.CDTABEPREC AND I.DTINIVGPREC = D.DTINIVGPREC AND "
                       "I.CDPRODUTO = D.CDPRODUTO AND I.CDPRPAITABPR = D.CDPRPAITABPR "
                       "LEFT JOIN PRODUTO P ON P.CDPRODUTO = D.CDPRODUTO");
    const QString cut = QStringLiteral("(CAST((%1) * 100 AS INTEGER) / 100.0)");
    struct Modality
    {
        QString flag, base, amount, price;
    };
    const Modality modalities[] = {
        {"D.IDTPMODGERAL", "I.VRPRECITEM", "D.VRPRECODIA", "D.PRECO"},
        {"D.IDTPMODDLV", "I.VRPRECITEMDLV", "D.VRPRECODIADLV", "D.PRECODLV"},
        {"D.IDTPMODCMD", "I.VRPRECITEMCMD", "D.VRPRECODIACMD", "D.PRECOCMD"}};
    QStringList disagree, outside;
    for (const Modality &m : modalities) {
        const QString base = QStringLiteral("(%1 + coalesce(I.VRPRECITEMCL, 0))").arg(m.base);
        const QString change = cut.arg(base + QStringLiteral(" * ") + m.amount + " / 100.0");
        const QString expected =
            QStringLiteral("CASE WHEN D.IDPERVALORPR = 'P' THEN CASE WHEN D.IDDESCACREPR = 'D' "
                           "THEN %1 - %2 ELSE %1 + %2 END ELSE CASE WHEN D.IDDESCACREPR = 'D' "
                           "THEN %1 - %3 ELSE %1 + %3 END END")
                .arg(base, change, m.amount);
        disagree << QStringLiteral("(%1 = 'S' AND %2 IS NOT round(%3, 2))")
                        .arg(m.flag, m.price, expected);
        outside << QStringLiteral("(%1 = 'S' AND %2 IS NOT NULL AND %3 IS NOT NULL AND NOT "
                                  "(%2 > 0 AND %2 < 2 * %4 AND %2 < %5))")
                       .arg(m.flag, m.price, m.base, base, limit);
    }
    QStringList q;
    q << QStringLiteral("SELECT A.*, P.CDARVPROD FROM ITEMPRECO A LEFT JOIN PRODUTO P ON "
                        "P.CDPRODUTO = A.CDPRODUTO WHERE ") +
             anyOf(items, QStringLiteral("%c <> round(%c, 2)"));
    q << QStringLiteral("SELECT D.*, P.CDARVPROD FROM ITEMPRECODIA D LEFT JOIN PRODUTO P ON "
                        "P.CDPRODUTO = D.CDPRODUTO WHERE ") +
             anyOf(dayValues, QStringLiteral("%c <> round(%c, 2)"));
    q << QStringLiteral("SELECT A.*, P.CDARVPROD FROM ITEMPRECO A LEFT JOIN PRODUTO P ON "
                        "P.CDPRODUTO = A.CDPRODUTO WHERE ") +
             anyOf(items, QStringLiteral("%c >= ") + limit) + QStringLiteral(" OR ") +
             anyOf(items.mid(0, 4), QStringLiteral("%c < 0"));
    q << QStringLiteral("SELECT D.*, P.CDARVPROD FROM ITEMPRECODIA D LEFT JOIN PRODUTO P ON "
                        "P.CDPRODUTO = D.CDPRODUTO WHERE ") +
             anyOf(dayValues.mid(0, 3), QStringLiteral("%c < 0 OR (D.IDPERVALORPR = 'P' AND "
                                                       "%c > 100) OR %c >= ") +
                                            limit);
    q << QStringLiteral("SELECT D.*, I.*, P.CDARVPROD ") + join + QStringLiteral(" WHERE ") +
             disagree.join(QStringLiteral(" OR "));
    q << QStringLiteral("SELECT D.*, I.*, P.CDARVPROD ") + join + QStringLiteral(" WHERE ") +
             outside.join(QStringLiteral(" OR "));
    q << QStringLiteral(
        "SELECT D.*, V.DTFINVGPREC, P.CDARVPROD FROM ITEMPRECODIA D JOIN TABEVEND V ON "
        "V.CDFILIAL = D.CDFILIAL AND V.CDTABEPREC = D.CDTABEPREC AND "
        "V.DTINIVGPREC = D.DTINIVGPREC LEFT JOIN PRODUTO P ON P.CDPRODUTO = D.CDPRODUTO WHERE "
        "D.DTINIVALPREC < V.DTINIVGPREC OR D.DTINIVALPREC > D.DTFINVALPREC OR "
        "D.DTINIVALPREC > V.DTFINVGPREC OR D.DTFINVALPREC > V.DTFINVGPREC");
    q << QStringLiteral("SELECT * FROM TABEVEND V WHERE V.DTFINVGPREC <= V.DTINIVGPREC OR "
                        "V.IDSITVGPREC IS NULL OR V.IDSITVGPREC NOT IN ('1', '2', '3', '4')");
    q << QStringLiteral("SELECT * FROM TABEVEND A JOIN TABEVEND B ON B.CDFILIAL = A.CDFILIAL AND "
                        "B.CDTABEPREC = A.CDTABEPREC AND B.DTINIVGPREC > A.DTINIVGPREC AND "
                        "B.DTINIVGPREC <= COALESCE(A.DTFINVGPREC, A.DTINIVGPREC)");
    const QList<QStringList> keys = {
        {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC"},
        {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR"},
        {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD",
         "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"}};
    const QStringList tables = {"TABEVEND", "ITEMPRECO", "ITEMPRECODIA"};
    for (int t = 0; t < 3; ++t) {
        QStringList normal, odd;
        for (const QString &k : keys[t]) {
            const bool date = k.startsWith(u"DT");
            normal << (date ? QStringLiteral("datetime(%1)") : QStringLiteral("TRIM(%1)")).arg(k);
            odd << (date ? QStringLiteral("%1 IS NOT datetime(%1)")
                         : QStringLiteral("%1 <> TRIM(%1)"))
                       .arg(k);
        }
        q << QStringLiteral("SELECT %1, COUNT(*) FROM %2 WHERE (%1) IN (SELECT %1 FROM %2 WHERE "
                            "%3) GROUP BY %1 HAVING COUNT(*) > 1")
                 .arg(normal.join(u','), tables[t], odd.join(QStringLiteral(" OR ")));
    }
    q << QStringLiteral(
        "SELECT I.*, P.NMPRODUTO FROM TABEVEND V JOIN ITEMPRECO I ON I.CDFILIAL = V.CDFILIAL "
        "AND I.CDTABEPREC = V.CDTABEPREC AND I.DTINIVGPREC = V.DTINIVGPREC AND "
        "I.CDPRPAITABPR = I.CDPRODUTO LEFT JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO WHERE "
        "V.IDSITVGPREC = '4' AND NOT EXISTS (SELECT 1 FROM ALIQPROD T WHERE "
        "T.CDFILIAL = I.CDFILIAL AND T.CDPRODUTO = I.CDPRODUTO)");
    return q.join(QStringLiteral(";\n")) + u';';
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        return commandOption(args, name, fallback);
    };
    const int dayPrices = option("--dayprices", "1000000").toInt();
    const int runs = option("--runs", "3").toInt();
    QTemporaryDir dir;
    DemoOptions demo;
    demo.products = option("--products", "100000").toInt();
    QString error;
    const QString source =
        demoDatabase(option("--db", qEnvironmentVariable("PRX_BENCH_DB")), dir, demo, &error);
    if (source.isEmpty())
        fail(error);
    const QString file = dir.filePath(QStringLiteral("check.sqlite"));
    if (!freshCopy(source, file))
        fail(QStringLiteral("não foi possível copiar a base"));
    std::unique_ptr<Storage> db = Storage::open(file, &error);
    if (!db)
        fail(error);
    prepare(*db, dayPrices);
    exec(*db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    QSqlQuery count(db->database());
    count.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM ITEMPRECODIA), "
                              "(SELECT COUNT(DISTINCT CDPRODUTO) FROM ITEMPRECO)"));
    count.next();
    const qint64 rows = count.value(0).toLongLong(), products = count.value(1).toLongLong();
    count.finish();

    const QString script = kServerSqliteSettings + handWrittenCheck();
    std::vector<double> ours, tool;
    qsizetype findings = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        findings = checkConsistency(*db).size();
        ours.push_back(t.nsecsElapsed() / 1e6);
        tool.push_back(sqliteToolMs(file, script));
    }
    std::printf("base: %lld produtos com preço, %lld preços diferenciados\n", products, rows);
    std::printf("verificação de consistência: %lld achados, %.0f ms mediana de %d (meta < 10 s); "
                "sqlite3 à mão: %.0f ms; razão %.2f (meta <= 1,5)\n",
                qint64(findings), median(ours), runs, median(tool), median(ours) / median(tool));
    return 0;
}

// Export of a 100,000-item price table (every period, components and
// differentiated prices) to a new table of another branch, against the same
// work written by hand as SQL and run by the sqlite3 tool with the server's
// settings; and an export to the tables in force of ten branches against the
// same export to one. Both sides must leave the same destination rows.
//
//   bench_transfer [--items N] [--runs N] [--db FILE (a new file)]
#include "BenchDemo.h"
#include "BenchFigures.h"

#include "core/MethodRegistry.h"
#include "methods/MethodSupport.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>
#include <time.h>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

constexpr int kBranches = 11; // the origin and ten destinations

// Processor time of this process and of its finished children, in ms: on a
// machine busy with other work these compare what each side did, where
// wall-clock times also count the waits for a processor.
double ownCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double childrenCpuMs()
{
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

QString day(int offset)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd 00:00:00"));
}

// One segment selling everything; `items` products split over the origin
// table's three periods (a fifth in the past, three fifths in force, a fifth
// to come); every 20th product a composite of the next two, every 16th
// with two differentiated prices.
void buildFixture(Storage &db, int items)
{
    db.createSchema();
    Transaction tx(db);
    const QStringList setup = {
        "INSERT INTO PARAMARVPROD VALUES (1, 2, 'Grupo'), (2, 2, 'Subgrupo'), (3, 4, 'Produto')",
        "INSERT INTO SEGMER VALUES ('00001', 'Todos')",
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            QString::number(kBranches) +
            ") INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDSEGMER) "
            "SELECT printf('%04d', i), 'Filial ' || i, '00001' FROM n",
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            QString::number(items) +
            ") INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD) "
            "SELECT printf('%010d', i), 'Produto ' || i, printf('0101%08d', i) FROM n",
        "INSERT INTO PRODSEGMER SELECT '00001', CDPRODUTO FROM PRODUTO",
        "WITH RECURSIVE n(i) AS (SELECT 20 UNION ALL SELECT i + 20 FROM n WHERE i + 22 <= " +
            QString::number(items) +
            ") INSERT INTO PRODCOMP SELECT printf('%010d', i), printf('%010d', i + k), 1 "
            "FROM n, (SELECT 1 k UNION ALL SELECT 2)",
        "INSERT INTO TABEPREC SELECT CDFILIAL, '001', 'Balcão' FROM FILIAL",
        QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                       "IDSITVGPREC) SELECT CDFILIAL, '001', P.S, P.E, '2' FROM FILIAL, (SELECT "
                       "'%1' S, '%2' E UNION ALL SELECT '%3', '%4' UNION ALL SELECT '%5', '%6') P")
            .arg(day(-90), day(-31), day(-30), day(29), day(30), day(119)),
        // The period of each product: a fifth, three fifths, a fifth.
        QStringLiteral("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCL, IDPRECVARIA, "
                       "IDPRODPROMOC, IDIMPPRODROT) SELECT '0001', '001', CASE WHEN "
                       "CAST(CDPRODUTO AS INTEGER) %% 5 = 0 THEN '%1' WHEN "
                       "CAST(CDPRODUTO AS INTEGER) %% 5 = 1 THEN '%2' ELSE '%3' END, CDPRODUTO, "
                       "CDPRODUTO, 1 + CAST(CDPRODUTO AS INTEGER) %% 97 + 0.9, "
                       "2 + CAST(CDPRODUTO AS INTEGER) %% 89, 0, 'N', 'N', 'N' FROM PRODUTO")
            .arg(day(-90), day(30), day(-30))
            .replace(QStringLiteral("%%"), QStringLiteral("%")),
        "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
        "VRPRECITEM, IDIMPPRODROT) SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, C.CDPRODCOMP, "
        "I.CDPRODUTO, 0.5, 'N' FROM ITEMPRECO I JOIN PRODCOMP C ON C.CDPRODUTO = I.CDPRODUTO",
        "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
        "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
        "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, PRECO, IDTPMODGERAL) "
        "SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, I.CDPRODUTO, I.CDPRODUTO, 'T', D.D, "
        "'1700', '1900', I.DTINIVGPREC, V.DTFINVGPREC, 'P', 'D', 10, I.VRPRECITEM * 0.9, 'S' "
        "FROM ITEMPRECO I JOIN TABEVEND V ON V.CDFILIAL = I.CDFILIAL AND "
        "V.CDTABEPREC = I.CDTABEPREC AND V.DTINIVGPREC = I.DTINIVGPREC, "
        "(SELECT '2' D UNION ALL SELECT '6') D WHERE I.CDPRODUTO = I.CDPRPAITABPR AND "
        "CAST(I.CDPRODUTO AS INTEGER) % 16 = 0",
    };
    for (const QString &sql : setup)
        db.execDirect(sql);
    tx.commit();
    db.execDirect(QStringLiteral("ANALYZE"));
}

// The export to a new table as the sqlite3 tool runs it by hand.
QString handWritten(const QString &branch, const QString &table)
{
    const QString items = QStringLiteral(
        "VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, VRPRECITEMCL, IDPRECVARIA, VRPRESUGITEM, "
        "VRCUSTITEM, VRMKUPITEM, IDPRODPROMOC, HRINIVENPROD, HRFIMVENPROD, IDIMPPRODROT");
    const QString days = QStringLiteral(
        "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
        "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, "
        "PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD");
    const QString sell =
        QStringLiteral("CDPRPAITABPR IN (SELECT CDPRODUTO FROM PRODSEGMER WHERE CDSEGMER = "
                       "(SELECT CDSEGMER FROM FILIAL WHERE CDFILIAL = '%1'))")
            .arg(branch);
    return QStringLiteral(
               "PRAGMA journal_mode=WAL; PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;\n"
               "BEGIN IMMEDIATE;\n"
               "INSERT INTO TABEPREC VALUES ('%1', '%2', 'Manual');\n"
               "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
               "IDSITVGPREC, DTULTALT) SELECT '%1', '%2', DTINIVGPREC, DTFINVGPREC, '1', "
               "datetime('now', 'localtime') FROM TABEVEND WHERE CDFILIAL = '0001' AND "
               "CDTABEPREC = '001';\n"
               "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, %3, DTULTALT) SELECT '%1', '%2', DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, %3, datetime('now', 'localtime') FROM ITEMPRECO WHERE "
               "CDFILIAL = '0001' AND CDTABEPREC = '001' AND %5;\n"
               "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, %4, DTULTALT) SELECT '%1', '%2', DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, %4, datetime('now', 'localtime') FROM ITEMPRECODIA WHERE "
               "CDFILIAL = '0001' AND CDTABEPREC = '001' AND %5;\n"
               "COMMIT;\n")
        .arg(branch, table, items, days, sell);
}

// The destination's rows, without its own codes and times of change.
QByteArray checksum(const Storage &db, const QString &branch, const QString &table,
                    const QString &onlyStart = {})
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QString where =
        QStringLiteral("CDFILIAL = '%1' AND CDTABEPREC = '%2'%3")
            .arg(branch, table,
                 onlyStart.isEmpty() ? QString()
                                     : QStringLiteral(" AND DTINIVGPREC = '%1'").arg(onlyStart));
    for (const QString &sql :
         {QStringLiteral("SELECT DTINIVGPREC, DTFINVGPREC FROM TABEVEND WHERE %1 ORDER BY 1"),
          QStringLiteral("SELECT * FROM ITEMPRECO WHERE %1 ORDER BY DTINIVGPREC, CDPRODUTO, "
                         "CDPRPAITABPR"),
          QStringLiteral("SELECT * FROM ITEMPRECODIA WHERE %1 ORDER BY DTINIVGPREC, CDPRODUTO, "
                         "CDPRPAITABPR, NRDIASEMANPR")}) {
        QSqlQuery q = db.prepare(sql.arg(where));
        db.exec(q, QStringLiteral("checksum"));
        while (q.next()) {
            const QSqlRecord r = q.record();
            for (int i = 0; i < r.count(); ++i) {
                const QString name = r.fieldName(i).toUpper();
                if (name == u"CDFILIAL" || name == u"CDTABEPREC" || name == u"DTULTALT")
                    continue;
                hash.addData(q.value(i).toString().toUtf8());
                hash.addData("|");
            }
        }
    }
    return hash.result().toHex().left(12);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        return commandOption(args, name, fallback);
    };
    const int items = option("--items", "100000").toInt();
    const int runs = option("--runs", "5").toInt();
    QTemporaryDir dir;
    const QString file = option("--db", dir.filePath(QStringLiteral("transfer.sqlite")));
    QString error;
    auto db = Storage::open(file, &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer t;
    t.start();
    buildFixture(*db, items);
    int rows = 0;
    {
        QSqlQuery count = db->prepare(QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO"));
        db->exec(count, QStringLiteral("contar"));
        count.next();
        rows = count.value(0).toInt();
    }
    std::printf("fixture: %d products, %d item rows in the origin table, %.1f s\n", items, rows,
                t.elapsed() / 1000.0);
    std::fflush(stdout);

    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    double lastCpu = 0;
    auto call = [&](const QString &method, const QVariantList &callArgs) {
        const double cpu0 = ownCpuMs();
        QElapsedTimer timer;
        timer.start();
        const Outcome out = dispatch(registry, ctx, kPriceTableObject, method, callArgs);
        if (!out.ok) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(out.message));
            std::exit(1);
        }
        lastCpu = ownCpuMs() - cpu0;
        return timer.nsecsElapsed() / 1e6;
    };

    // One branch, a new table each run, on both sides.
    std::vector<double> ours, tool, oursCpu, toolCpu;
    for (int i = 0; i < runs; ++i) {
        const QString code = QStringLiteral("S%1").arg(i, 2, 10, QChar(u'0'));
        ours.push_back(call(QStringLiteral("setConfirmar"),
                            {true, "0002", code, "Exportada", "0001", "001", "", "T"}));
        oursCpu.push_back(lastCpu);
        const double children0 = childrenCpuMs();
        const QString manual = QStringLiteral("M%1").arg(i, 2, 10, QChar(u'0'));
        tool.push_back(sqliteToolMs(file, handWritten(QStringLiteral("0003"), manual)));
        toolCpu.push_back(childrenCpuMs() - children0);
    }
    const QByteArray serverSum = checksum(*db, "0002", "S00");
    const QByteArray toolSum = checksum(*db, "0003", "M00");
    const double a = median(ours), b = median(tool);
    std::printf("setConfirmar, new table: %.1f ms (median of %d), destination %s\n", a, runs,
                serverSum.constData());
    std::printf("sqlite3 tool, same SQL by hand: %.1f ms, destination %s\n", b,
                toolSum.constData());
    std::printf("ratio: %.2f (target <= 1.5)%s; processor time %.1f / %.1f ms, ratio %.2f\n", a / b,
                serverSum == toolSum ? "" : "  DESTINATIONS DIFFER", median(oursCpu),
                median(toolCpu), median(oursCpu) / median(toolCpu));

    // Tables in force: one branch, then ten, replacing what the last run
    // wrote each time.
    QString one, ten;
    for (int b = 2; b <= kBranches; ++b) {
        const QString key =
            u'_' + QStringLiteral("%1").arg(b, 4, 10, QChar(u'0')).leftJustified(10);
        if (b == 2)
            one = key;
        ten += key;
    }
    call(QStringLiteral("setConfirmar2"), {"0001", "001", ten, "", false}); // warm-up
    std::vector<double> single, multi, singleCpu, multiCpu;
    for (int i = 0; i < runs; ++i) {
        single.push_back(call(QStringLiteral("setConfirmar2"), {"0001", "001", one, "", false}));
        singleCpu.push_back(lastCpu);
        multi.push_back(call(QStringLiteral("setConfirmar2"), {"0001", "001", ten, "", false}));
        multiCpu.push_back(lastCpu);
    }
    bool same = true;
    const QByteArray first = checksum(*db, "0002", "001", day(-30));
    for (int b = 3; b <= kBranches; ++b)
        same = same && checksum(*db, QStringLiteral("%1").arg(b, 4, 10, QChar(u'0')), "001",
                                day(-30)) == first;
    const double s = median(single), m = median(multi);
    std::printf("setConfirmar2, 1 branch: %.1f ms; 10 branches: %.1f ms (median of %d)\n", s, m,
                runs);
    std::printf("ratio: %.2f (target <= 10.5)%s; processor time ratio %.2f\n", m / s,
                same ? "" : "  DESTINATIONS DIFFER", median(multiCpu) / median(singleCpu));
    return 0;
}

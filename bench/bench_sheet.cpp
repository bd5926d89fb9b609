// Spreadsheet export and import of a 100,000-item period, against the same
// work done by the sqlite3 tool by hand: the export as a CSV query to a
// file, the import as a CSV load into a scratch table and one UPDATE.
//
//   bench_sheet [--items N] [--runs N]
#include "BenchDemo.h"
#include "BenchFigures.h"
#include "SheetBenchFixture.h"

#include "core/MethodRegistry.h"
#include "methods/MethodSupport.h"
#include "sheet/PeriodSheet.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

const QString &kStart = kSheetPeriodStart;

// Every product's price moved by `delta` cents, as a spreadsheet user would
// save it: code and price.
QString priceFile(const Storage &db, int delta)
{
    QString csv = QStringLiteral("Código;Preço\r\n");
    QSqlQuery q =
        db.prepare(QStringLiteral("SELECT CDPRODUTO, VRPRECITEM FROM ITEMPRECO ORDER BY 1"));
    db.exec(q, QStringLiteral("ler"));
    while (q.next()) {
        const qint64 cents = qRound64(q.value(1).toDouble() * 100) + delta;
        csv += q.value(0).toString() + u';' + QString::number(cents / 100) + u',' +
               QStringLiteral("%1").arg(cents % 100, 2, 10, QChar(u'0')) + QStringLiteral("\r\n");
    }
    return csv;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int items = commandOption(args, "--items", "100000").toInt();
    const int runs = commandOption(args, "--runs", "5").toInt();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("sheet.sqlite"));
    QString error;
    auto db = Storage::open(file, &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    buildSheetFixture(*db, items, true);

    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    auto call = [&](const QString &method, const QVariantList &callArgs) {
        const Outcome out = dispatch(registry, ctx, kPriceTableObject, method, callArgs);
        if (!out.ok) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(out.message));
            std::exit(1);
        }
        return out.payload;
    };
    const QDateTime start = QDateTime::fromString(kStart, QStringLiteral("yyyy-MM-dd HH:mm:ss"));

    // Export: the item list read, turned into a sheet and written as CSV.
    std::vector<double> ours, tool;
    const QString csvPath = dir.filePath(QStringLiteral("itens.csv"));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        const DataPacketPtr packet =
            call("GetItemPreco", {"0001", "001", "00001", "3", start, "", "T"})
                .value<DataPacketPtr>();
        if (packet->rowCount() != items) {
            std::fprintf(stderr, "the item list has %d of %d rows\n", packet->rowCount(), items);
            return 1;
        }
        if (!sheet::writeSheets(csvPath, sheet::periodSheets(*packet), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        ours.push_back(timer.nsecsElapsed() / 1e6);
        tool.push_back(sqliteToolMs(
            file, QStringLiteral(".headers on\n.mode csv\n.separator ;\n.output %1\n"
                                 "SELECT P.CDPRODUTO, P.CDARVPROD, P.NMPRODUTO, P.CDBARPRODUTO, "
                                 "I.VRPRECITEM, I.VRPRECITEMCL, I.VRPRECITEMDLV, I.VRPRECITEMCMD, "
                                 "I.VRPRESUGITEM, I.VRCUSTITEM, I.IDPRECVARIA, I.IDPRODPROMOC, "
                                 "I.HRINIVENPROD, I.HRFIMVENPROD FROM PRODSEGMER S JOIN PRODUTO "
                                 "P ON P.CDPRODUTO = S.CDPRODUTO LEFT JOIN ITEMPRECO I ON "
                                 "I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND "
                                 "I.DTINIVGPREC = '%2' AND I.CDPRODUTO = P.CDPRODUTO AND "
                                 "I.CDPRPAITABPR = P.CDPRODUTO WHERE S.CDSEGMER = '00001' AND "
                                 "LENGTH(P.CDARVPROD) = 12 ORDER BY P.CDARVPROD;\n")
                      .arg(dir.filePath(QStringLiteral("tool.csv")), kStart)));
    }
    std::printf("export of %d items to CSV: %.1f ms (median of %d); sqlite3 tool query to CSV: "
                "%.1f ms; ratio %.2f (target <= 1.5)\n",
                items, median(ours), runs, median(tool), median(ours) / median(tool));

    // Import: every price changes, in one transaction, against a CSV load
    // and one UPDATE by hand. Each run moves the prices up and back down.
    ours.clear();
    tool.clear();
    const QString toolCsv = dir.filePath(QStringLiteral("precos.csv"));
    for (int i = 0; i < runs; ++i) {
        const QString text = priceFile(*db, i % 2 == 0 ? 1 : -1);
        QElapsedTimer timer;
        timer.start();
        const QVariantList answer =
            call("SetItemPrecoPlanilha", {"0001", "001", start, "3", text, true}).toList();
        ours.push_back(timer.nsecsElapsed() / 1e6);
        const DataPacketPtr lines = answer.value(0).value<DataPacketPtr>();
        int written = 0;
        for (int r = 0; r < lines->rowCount(); ++r)
            written += lines->string(r, lines->indexOf(u"IDSITUACAO")) == u"A" ? 1 : 0;
        if (written != items) {
            std::fprintf(stderr, "import wrote %d of %d rows\n", written, items);
            return 1;
        }
        QFile out(toolCsv);
        out.open(QIODevice::WriteOnly);
        out.write(priceFile(*db, i % 2 == 0 ? 1 : -1).replace(u',', u'.').toUtf8());
        out.close();
        tool.push_back(sqliteToolMs(
            file, kServerSqliteSettings +
                      QStringLiteral("\nBEGIN IMMEDIATE;\nCREATE TEMP TABLE P (C TEXT PRIMARY KEY, "
                                     "V REAL);\n.mode csv\n.separator ;\n.import --skip 1 %1 P\n"
                                     "UPDATE ITEMPRECO SET VRPRECITEM = P.V FROM P WHERE "
                                     "ITEMPRECO.CDFILIAL = '0001' AND ITEMPRECO.CDTABEPREC = "
                                     "'001' AND ITEMPRECO.CDPRODUTO = P.C AND "
                                     "ITEMPRECO.CDPRPAITABPR = P.C;\nCOMMIT;\n")
                          .arg(toolCsv)));
    }
    std::printf("import of %d changed prices (checks, preview rows, differentiated prices "
                "recomputed): %.1f ms (median of %d); sqlite3 tool CSV load + UPDATE: %.1f ms; "
                "ratio %.2f (target <= 1.5)\n",
                items, median(ours), runs, median(tool), median(ours) / median(tool));
    return 0;
}

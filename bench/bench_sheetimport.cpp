// Spreadsheet imports at scale: the prices of a 100,000-item period read
// from an XLSX workbook against the same rows read from a CSV file (the
// whole client read and the server call, in-process), and 1,000,000
// differentiated prices imported in one call.
//
//   bench_sheetimport [--items N] [--runs N] [--day-rows N]
#include "BenchDemo.h"
#include "BenchFigures.h"
#include "SheetBenchFixture.h"

#include "core/MethodRegistry.h"
#include "methods/MethodSupport.h"
#include "sheet/PeriodCalls.h"
#include "sheet/PeriodSheet.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

#include <sys/resource.h>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

namespace {

const QString &kStart = kSheetPeriodStart;

// The item sheet as the export writes it, every consumer price moved by
// `delta` cents.
sheet::Sheet movedItems(const DataPacket &items, int delta)
{
    sheet::Sheet s = sheet::periodSheets(items).first();
    int price = -1;
    for (int c = 0; c < s.columns.size(); ++c) {
        if (s.columns[c].field == u"VRPRECITEM")
            price = c;
    }
    for (QVariantList &row : s.rows)
        row[price] = (qRound64(row[price].toDouble() * 100) + delta) / 100.0;
    return s;
}

// `rows` differentiated prices over the products, ten day codes each, every
// column the export writes: about 100 bytes a row.
QString dayPriceText(int items, int rows)
{
    static const char *const days[] = {"1", "2", "3", "4", "5", "6", "7", "V", "F", "T"};
    QString csv = QStringLiteral("Código;Produto Pai;Dia;Percentual/Valor;Desconto/Acréscimo;"
                                 "Hora Inicial;Hora Final;Valor;Início Validade;Fim Validade;"
                                 "Tipo Consumidor;Preço;Outras Mod.;Mod Delivery;Mod Comanda;"
                                 "Visualiza\r\n");
    csv.reserve(qsizetype(rows) * 110);
    for (int i = 0; i < rows; ++i) {
        const QString code = QStringLiteral("%1").arg(1 + (i / 10) % items, 10, 10, QChar(u'0'));
        csv += code + u';' + code + u';' + QLatin1String(days[i % 10]) +
               QStringLiteral(";P;D;17:00;19:00;10,00;01/01/2026;31/12/2026;T;;Sim;Não;Não;Não"
                              "\r\n");
    }
    return csv;
}

double peakResidentMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int items = commandOption(args, "--items", "100000").toInt();
    const int runs = commandOption(args, "--runs", "3").toInt();
    const int dayRows = commandOption(args, "--day-rows", "1000000").toInt();
    QTemporaryDir dir;
    QString error;
    auto db = Storage::open(dir.filePath(QStringLiteral("import.sqlite")), &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    buildSheetFixture(*db, items, false);

    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    const sheet::ServerCall call = [&](const QString &method, const QVariantList &callArgs) {
        const Outcome out = dispatch(registry, ctx, kPriceTableObject, method, callArgs);
        if (!out.ok) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(method), qPrintable(out.message));
            std::exit(1);
        }
        return out.payload;
    };
    const sheet::PeriodKey period{
        "0001", "001", QDateTime::fromString(kStart, QStringLiteral("yyyy-MM-dd HH:mm:ss")),
        "00001", "3"};

    // The same rows as a CSV file and as a workbook, one after the other,
    // each moving every price (up a cent, back down); timed from the file on disk to the commit.
    const DataPacketPtr packet =
        call("GetItemPreco", {"0001", "001", "00001", "3", period.start, "", "T"})
            .value<DataPacketPtr>();
    std::vector<double> csvMs, xlsxMs, csvReadMs, xlsxReadMs;
    for (int i = 0; i < 2 * runs; ++i) {
        const bool xlsx = i % 2 == 1;
        const QString path =
            dir.filePath(xlsx ? QStringLiteral("itens.xlsx") : QStringLiteral("itens.csv"));
        if (!sheet::writeSheets(path, {movedItems(*packet, xlsx ? 0 : 1)}, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        QElapsedTimer timer;
        timer.start();
        QString text;
        if (!sheet::readImportText(path, {}, false, &text, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        (xlsx ? xlsxReadMs : csvReadMs).push_back(timer.nsecsElapsed() / 1e6);
        const sheet::ImportAnswer answer = sheet::sendImport(call, period, text, true);
        (xlsx ? xlsxMs : csvMs).push_back(timer.nsecsElapsed() / 1e6);
        if (answer.count(u"A") != items) {
            std::fprintf(stderr, "import changed %d of %d rows\n", answer.count(u"A"), items);
            return 1;
        }
    }
    std::printf("import of %d changed prices, file read + checks + write: XLSX %.1f ms, CSV "
                "%.1f ms (medians of %d); ratio %.2f (target <= 1.5)\n",
                items, median(xlsxMs), median(csvMs), runs, median(xlsxMs) / median(csvMs));
    // The two differ only in reading the file into the text the server takes.
    std::printf("of which the file read into CSV text: XLSX %.1f ms, CSV %.1f ms\n",
                median(xlsxReadMs), median(csvReadMs));

    // A million differentiated prices, new, in one call and one transaction.
    const double rssBefore = peakResidentMb();
    const QString text = dayPriceText(items, dayRows);
    std::printf("differentiated-price sheet: %d rows, %.1f MB of CSV text\n", dayRows,
                text.toUtf8().size() / 1e6);
    QElapsedTimer timer;
    timer.start();
    const sheet::DayPriceAnswer answer = sheet::sendDayPriceImport(call, period, text, true);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (answer.added != dayRows || answer.refused != 0) {
        std::fprintf(stderr, "day-price import added %d of %d rows, %d refused\n", answer.added,
                     dayRows, answer.refused);
        return 1;
    }
    std::printf("import of %d differentiated prices (checks, preview, one transaction): %.1f s, "
                "%.0f rows/s; peak resident memory %.0f MB (%.0f MB before the sheet)\n",
                dayRows, ms / 1000, dayRows / (ms / 1000), peakResidentMb(), rssBefore);
    return 0;
}

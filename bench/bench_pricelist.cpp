// The price list of a period of 100,000 items written to PDF the way the
// Save PDF command does it: the items and their differentiated prices read
// from a real prx-server on loopback, the list built, every page drawn and
// the file written. Target: the whole of it within 10 s.
//
// Baseline: the first --baseline-rows items (5,000 by default) laid out as a
// text-document table report, the way the smaller reports are made, and that
// time scaled to the whole list.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000: a SQLite file or a PostgreSQL URL).
//
//   bench_pricelist [--runs N] [--no-day-prices] [--baseline-rows N]
#include "BenchFigures.h"
#include "ServerLoadSupport.h"

#include "PriceList.h"
#include "PriceListSource.h"

#include "report/TableReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString db = qEnvironmentVariable("PRX_BENCH_DB");
    const bool postgres = db.startsWith(QStringLiteral("postgresql://"));
    if (qEnvironmentVariableIsEmpty("PRX_BIN_DIR") || db.isEmpty() ||
        (!postgres && !QFile::exists(db))) {
        std::fprintf(stderr, "defina PRX_BIN_DIR e PRX_BENCH_DB (veja scripts/run-bench.sh)\n");
        return 2;
    }
    const int i = args.indexOf(QStringLiteral("--runs"));
    const int runs = i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : 3;
    const int b = args.indexOf(QStringLiteral("--baseline-rows"));
    const int baselineRows = b >= 0 && b + 1 < args.size() ? args[b + 1].toInt() : 5000;
    const bool dayPrices = !args.contains(QStringLiteral("--no-day-prices"));

    QProcess server;
    const int port = startServer(server, {QStringLiteral("--db"), db});
    if (port == 0) {
        std::fprintf(stderr, "prx-server não iniciou\n");
        return 1;
    }
    NetConnection net;
    connectTo(net, port);
    const QVariantList itemArgs = itemListArgs(net);

    pricelist::Options options;
    options.branch = itemArgs[0].toString();
    options.table = itemArgs[1].toString();
    options.segment = itemArgs[2].toString();
    // The period in force today, the one the demo fills with every price;
    // else the first.
    options.periodStart = itemArgs[4].toDateTime();
    const DataPacketPtr periods =
        packetOf(net, QStringLiteral("GetTabeVend"), {options.branch, options.table});
    const int cStart = periods->indexOf(u"DTINIVGPREC"), cEnd = periods->indexOf(u"DTFINVGPREC");
    const QDate today = QDate::currentDate();
    for (int r = 0; r < periods->rowCount(); ++r) {
        if (periods->dateTime(r, cStart).date() <= today &&
            periods->dateTime(r, cEnd).date() >= today)
            options.periodStart = periods->dateTime(r, cStart);
    }
    options.prices = {pricelist::Price::Consumer, pricelist::Price::Subsidised,
                      pricelist::Price::Delivery, pricelist::Price::OrderPad};
    options.dayPrices = dayPrices;

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("lista.pdf"));
    QList<double> totals, reads, draws;
    int rows = 0, pages = 0;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer t;
        t.start();
        pricelist::PriceListSource source(net);
        DataPacketPtr items = source.items(options);
        DataPacketPtr days = dayPrices ? source.dayPrices(options) : DataPacketPtr();
        const pricelist::PriceList list(options, std::move(items), std::move(days));
        const double read = t.nsecsElapsed() / 1e6;
        int lastPage = 0;
        const auto outcome = list.report(QStringLiteral("Emitido para medição"))
                                 .writePdf(pdf, nullptr, [&lastPage](int done, int) {
                                     lastPage = done;
                                     return true;
                                 });
        if (outcome != report::PagedTableReport::Outcome::Written) {
            std::fprintf(stderr, "o PDF não foi gravado\n");
            return 1;
        }
        totals << t.nsecsElapsed() / 1e6;
        reads << read;
        draws << totals.last() - read;
        rows = list.rowCount();
        pages = lastPage;
    }

    // The baseline: a part of the same list through the text-document report.
    double baselineMs = 0;
    int baselineCount = 0;
    {
        pricelist::PriceListSource source(net);
        DataPacketPtr days = dayPrices ? source.dayPrices(options) : DataPacketPtr();
        const pricelist::PriceList list(options, source.items(options), std::move(days));
        QElapsedTimer t;
        t.start();
        report::TableReport rel(QStringLiteral("Lista de Preços"));
        QList<report::TableReport::Column> widths{{QStringLiteral("Código"), 11, false},
                                                  {QStringLiteral("Produto"), 41, true}};
        for (int p = 0; p < options.prices.size(); ++p)
            widths.append({pricelist::PriceList::priceTitle(options.prices[p]), 12, false});
        rel.setColumns(widths);
        baselineCount = qMin(baselineRows, list.rowCount());
        for (int r = 0; r < baselineCount; ++r) {
            report::PagedTableReport::RowText row;
            list.rowText(r, &row);
            if (!row.notes.isEmpty())
                row.cells[1] += u'\n' + row.notes.join(u'\n');
            rel.addRow(row.cells);
        }
        rel.writePdf(dir.filePath(QStringLiteral("base.pdf")));
        baselineMs = t.nsecsElapsed() / 1e6;
    }
    stopServer(server);

    std::printf("lista de preços em PDF: %d produtos%s, vigência de %s, %d páginas, %.1f MB\n",
                rows, dayPrices ? " com preços diferenciados" : "",
                qPrintable(options.periodStart.toString(u"dd/MM/yyyy")), pages,
                QFileInfo(pdf).size() / (1024.0 * 1024.0));
    std::printf("  leitura (servidor + rede + lista): %.0f ms; páginas e arquivo: %.0f ms\n",
                median(reads), median(draws));
    std::printf("  total: %.2f s (mediana de %d; meta <= 10 s)\n", median(totals) / 1000.0, runs);
    if (baselineCount > 0) {
        std::printf("base: relatório em documento de texto, %d produtos em %.2f s; "
                    "%.0f s estimados para %d\n",
                    baselineCount, baselineMs / 1000.0, baselineMs / 1000.0 * rows / baselineCount,
                    rows);
    }
    return 0;
}

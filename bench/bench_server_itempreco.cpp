// Reads the price items of a period of 100,000 products with GetItemPreco
// (query, typed packet filling) and compares with the sqlite3 command-line
// tool selecting the same rows to /dev/null. Also times the demo generation.
//
//   bench_server_itempreco [--products N] [--runs N] [--db FILE]
#include "BenchDemo.h"
#include "ItemListBaseline.h"

#include "core/MethodRegistry.h"
#include "demo/DemoGenerator.h"
#include "methods/MethodSupport.h"
#include "storage/Storage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace prx;
using namespace prx::bench;
using namespace prx::server;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const QString &name, const QString &fallback) {
        return commandOption(args, name, fallback);
    };
    const int products = option("--products", "100000").toInt();
    const int runs = option("--runs", "7").toInt();
    QTemporaryDir dir;
    const QString file = option("--db", dir.filePath("bench.sqlite"));

    DemoOptions demo;
    demo.products = products;
    QString error;
    if (!QFile::exists(file)) {
        auto db = Storage::open(file, &error);
        if (!db) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        db->createSchema();
        QElapsedTimer t;
        t.start();
        generateDemo(*db, demo);
        std::printf("demo --products %d: %.1f s\n", products, t.elapsed() / 1000.0);
    }
    auto db = Storage::open(file, &error);
    MethodRegistry registry;
    registerAllMethods(registry);
    Context ctx{*db};
    const QDateTime start = wallClock(demo.today.addDays(-30));
    const QVariantList callArgs{"0001", "001", "00001", "3", start, "", "T"};

    QList<double> ours;
    int rows = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const Outcome out =
            dispatch(registry, ctx, "Prx51700.rdmTabePreco", "GetItemPreco", callArgs);
        ours << t.nsecsElapsed() / 1e6;
        if (!out.ok) {
            std::fprintf(stderr, "%s\n", qPrintable(out.message));
            return 1;
        }
        rows = out.payload.value<DataPacketPtr>()->rowCount();
    }

    const double a = median(ours);
    const double b = sqliteToolMs(file, itemListSqlFor("0001", "001", "00001", start), runs);
    std::printf("GetItemPreco: %d rows, %.1f ms (median of %d)\n", rows, a, runs);
    std::printf("sqlite3 tool: %.1f ms\n", b);
    std::printf("ratio: %.2f (target <= 2.0)\n", a / b);
    return 0;
}

// A small call's latency (GetTabePrec) from one client while four others read
// a period of 100,000 price items in a loop, next to the same call with no
// load. The server's default runs calls on several workers; the same figures
// with --workers 1 show what a server answering one call at a time gives.
// The four readers take each answer whole off the socket but do not decode
// it: their machines would do that, and here it would only take the CPU of
// the two cores that the server and the measured client share.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000).
#include "BenchFigures.h"
#include "ServerLoadSupport.h"

#include "net/Wire.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <cstdio>

using namespace prx;
using namespace prx::bench;

namespace {

struct Latency
{
    double p50 = 0, p99 = 0;
    int calls = 0;
    int reads = 0; // of the background clients
};

// `count` small calls, a few milliseconds apart, while `readers` clients
// read the whole period over and over.
Latency measure(int port, const QVariantList &periodArgs, int readers, int count)
{
    std::atomic<bool> stop = false;
    std::atomic<int> reads = 0;
    std::atomic<int> started = 0;
    QList<QThread *> threads;
    for (int i = 0; i < readers; ++i) {
        threads << QThread::create([&] {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, quint16(port));
            if (!socket.waitForConnected(10000))
                std::exit(1);
            const QByteArray request =
                wire::encodeRequest({1, QStringLiteral("Prx51700.rdmTabePreco"),
                                     QStringLiteral("GetItemPreco"), periodArgs});
            ++started;
            QByteArray buffer, body;
            while (!stop) {
                socket.write(request);
                while (wire::takeFrame(buffer, &body) != wire::FrameStatus::Ready) {
                    if (!socket.waitForReadyRead(120000))
                        std::exit(1);
                    buffer += socket.readAll();
                }
                ++reads;
            }
        });
        threads.last()->start();
    }
    while (started < readers)
        QThread::msleep(10);
    if (readers > 0)
        QThread::msleep(500); // every reader inside a read

    NetConnection net;
    connectTo(net, port);
    packetOf(net, QStringLiteral("GetTabePrec"), {QStringLiteral("0001")});
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        packetOf(net, QStringLiteral("GetTabePrec"), {QStringLiteral("0001")});
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        QThread::msleep(5);
    }
    stop = true;
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    return {percentile(ms, 0.5), percentile(ms, 0.99), count, int(reads)};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString db = qEnvironmentVariable("PRX_BENCH_DB");
    if (qEnvironmentVariableIsEmpty("PRX_BIN_DIR") || db.isEmpty() || !QFile::exists(db)) {
        std::fprintf(stderr, "defina PRX_BIN_DIR e PRX_BENCH_DB (veja scripts/run-bench.sh)\n");
        return 2;
    }
    const int calls = qEnvironmentVariableIntValue("PRX_BENCH_CALLS") > 0
                          ? qEnvironmentVariableIntValue("PRX_BENCH_CALLS")
                          : 300;

    for (const int workers : {8, 1}) {
        QProcess server;
        const int port =
            startServer(server, {QStringLiteral("--db"), db, QStringLiteral("--workers"),
                                 QString::number(workers)});
        if (port == 0) {
            std::fprintf(stderr, "prx-server não iniciou\n");
            return 1;
        }
        NetConnection net;
        connectTo(net, port);
        const QVariantList periodArgs = itemListArgs(net);
        const int rows = packetOf(net, QStringLiteral("GetItemPreco"), periodArgs)->rowCount();

        // One call at a time makes every small call wait for whole reads:
        // a few of them say enough.
        const int n = workers == 1 ? std::max(20, calls / 10) : calls;
        const Latency idle = measure(port, periodArgs, 0, n);
        const Latency loaded = measure(port, periodArgs, 4, n);
        stopServer(server);

        std::printf("--workers %d: GetTabePrec sem carga p50 %.2f ms, p99 %.2f ms (%d chamadas)\n",
                    workers, idle.p50, idle.p99, idle.calls);
        std::printf("--workers %d: GetTabePrec com 4 clientes lendo %d itens: p50 %.2f ms, "
                    "p99 %.2f ms (%d leituras ao fundo)\n",
                    workers, rows, loaded.p50, loaded.p99, loaded.reads);
        std::printf("--workers %d: p99 com carga / p99 sem carga: %.1f (meta <= 5)\n", workers,
                    loaded.p99 / idle.p99);
    }
    return 0;
}

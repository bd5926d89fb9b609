// A small call's latency (GetTabePrec) from one client while four others read
// a period of 100,000 price items in a loop, next to the same call with no
// load; the goal is a p99 under load at most 5 times the p99 without it.
// Three servers: the default (a lane of workers for short calls, long calls
// on the others at a lower priority), the baseline of one lane where every
// worker takes every call (--short-workers 0, as before the lanes), and one
// worker answering one call at a time.
// The four readers take each answer whole off the socket but do not decode
// it: their machines would do that, and here it would only take the CPU of
// the two cores that the server and the measured client share. Each read is
// followed on the same connection by a small call, whose answer tells that
// the read's answer has arrived, in one frame or in many.
//
// Needs PRX_BIN_DIR (where prx-server is) and PRX_BENCH_DB (a database made
// with prx-cli demo --products 100000).
#include "BenchFigures.h"
#include "ServerLoadSupport.h"

#include "net/Wire.h"

#include <QCborStreamReader>
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

// The id of an answer frame (its first entry), -1 when it has none.
qint64 answerId(const QByteArray &body)
{
    QCborStreamReader reader(body);
    if (!reader.isMap() || !reader.enterContainer() || !reader.isString())
        return -1;
    auto key = reader.readString();
    QString text;
    while (key.status == QCborStreamReader::Ok) {
        text += key.data;
        key = reader.readString();
    }
    if (text != QLatin1StringView("id") || !reader.isInteger())
        return -1;
    return reader.toInteger();
}

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
            const QString object = QStringLiteral("Prx51700.rdmTabePreco");
            constexpr qint64 EndOfRead = 2;
            const QByteArray round =
                wire::encodeRequest({1, object, QStringLiteral("GetItemPreco"), periodArgs}) +
                wire::encodeRequest(
                    {EndOfRead, object, QStringLiteral("GetTabePrec"), {QStringLiteral("0001")}});
            ++started;
            QByteArray buffer, body;
            while (!stop) {
                socket.write(round);
                do {
                    while (wire::takeFrame(buffer, &body) != wire::FrameStatus::Ready) {
                        if (!socket.waitForReadyRead(120000))
                            std::exit(1);
                        buffer += socket.readAll();
                    }
                } while (answerId(body) != EndOfRead);
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

    const struct
    {
        const char *name;
        QStringList args;
        bool oneWorker = false;
    } servers[] = {
        {"--workers 8 (faixa de chamadas curtas)",
         {QStringLiteral("--workers"), QStringLiteral("8")}},
        {"--workers 8 --short-workers 0 (base: uma faixa só)",
         {QStringLiteral("--workers"), QStringLiteral("8"), QStringLiteral("--short-workers"),
          QStringLiteral("0")}},
        {"--workers 1", {QStringLiteral("--workers"), QStringLiteral("1")}, true},
    };
    double lanesP99 = 0;
    for (const auto &config : servers) {
        QProcess server;
        const int port = startServer(server, QStringList{QStringLiteral("--db"), db} + config.args);
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
        const int n = config.oneWorker ? std::max(20, calls / 10) : calls;
        const Latency idle = measure(port, periodArgs, 0, n);
        const Latency loaded = measure(port, periodArgs, 4, n);
        stopServer(server);

        std::printf("%s: GetTabePrec sem carga p50 %.2f ms, p99 %.2f ms (%d chamadas)\n",
                    config.name, idle.p50, idle.p99, idle.calls);
        std::printf("%s: GetTabePrec com 4 clientes lendo %d itens: p50 %.2f ms, "
                    "p99 %.2f ms (%d leituras ao fundo)\n",
                    config.name, rows, loaded.p50, loaded.p99, loaded.reads);
        std::printf("%s: p99 com carga / p99 sem carga: %.1f (meta <= 5)\n", config.name,
                    loaded.p99 / idle.p99);
        if (lanesP99 == 0)
            lanesP99 = loaded.p99;
        else
            std::printf("%s: p99 com carga / p99 com carga da faixa de chamadas curtas: %.1f\n",
                        config.name, loaded.p99 / lanesP99);
    }
    return 0;
}

#include "RawClient.h"
#include "TestServer.h"

#include "core/CallLanes.h"
#include "core/MethodRegistry.h"

#include <QCborStreamWriter>
#include <QEventLoop>
#include <QSemaphore>
#include <QtTest>

#include <future>

using namespace prx;
using namespace prx::server;

namespace {

const QString Obj = QLatin1StringView(TestServer::Object);

// A server whose calls Block (long lane) and Hold (short lane) keep their
// worker until the test opens the gate, so that "these workers are busy" is a
// known state rather than a race with a timer.
class LaneServer
{
public:
    QSemaphore gate;        // one per blocked call let through
    QSemaphore enteredLong; // one per Block running on a worker
    QSemaphore enteredShort;

    LaneServer(int workers, int shortWorkers) : m_workers(workers), m_short(shortWorkers) {}
    ~LaneServer()
    {
        gate.release(1000);
        if (m_thread) {
            m_thread->quit();
            m_thread->wait();
            delete m_thread;
        }
    }

    quint16 start()
    {
        std::promise<quint16> ready;
        std::future<quint16> listening = ready.get_future();
        m_thread = QThread::create([this, &ready] {
            MethodRegistry registry;
            TestServer::addTestMethods(registry);
            const auto blocking = [this](QSemaphore &entered) {
                return [this, &entered](Context &, const QVariantList &) {
                    entered.release();
                    return QVariant(gate.tryAcquire(1, 30000));
                };
            };
            registry.add(Obj, {QStringLiteral("Block"), {}, blocking(enteredLong)});
            registry.add(Obj, {QStringLiteral("Hold"), {}, blocking(enteredShort)});
            TransportServer server(registry);
            server.setQuiet(true);
            server.setCallLanes(CallLanes({QStringLiteral("Block")}));
            QString error;
            const bool ok =
                server.startWorkers(m_workers, TestServer::memoryContexts(), &error, m_short) &&
                server.listen(QHostAddress::LocalHost, 0);
            ready.set_value(ok ? server.serverPort() : 0);
            if (!ok)
                return;
            QEventLoop loop;
            loop.exec();
        });
        m_thread->start();
        return listening.get();
    }

private:
    int m_workers;
    int m_short;
    QThread *m_thread = nullptr; // owned
};

// A request body with its keys in the order given.
QByteArray requestBody(const QList<std::pair<QString, QVariant>> &entries)
{
    QByteArray body;
    QCborStreamWriter w(&body);
    w.startMap(entries.size());
    for (const auto &[key, value] : entries) {
        w.append(key);
        wire::writeValue(w, value);
    }
    w.endMap();
    return body;
}

QByteArray bodyOf(const QString &method, const QVariantList &args = {})
{
    return wire::encodeRequest({1, Obj, method, args}).mid(4);
}

} // namespace

class TestCallLanes : public QObject
{
    Q_OBJECT

private slots:
    // Guards against a request landing on the wrong lane: a period read on
    // the short lane occupies it, a small call on the long one waits behind
    // whole reads.
    void laneOfRequest_data();
    void laneOfRequest();
    // Guards against a renamed method leaving the long list unnoticed, which
    // would put its long call back on the short lane.
    void longMethodsAreRegistered();
    // Guards against long calls occupying every worker, so that a small call
    // waits for whole reads of other clients; and against a short call
    // waiting for a busy short lane while a long worker is idle.
    void shortCallAnswered_data();
    void shortCallAnswered();
    // Guards against a connection's short call overtaking its own long one.
    void orderKeptAcrossLanes();
};

void TestCallLanes::laneOfRequest_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("isLong");
    QTest::newRow("period read") << bodyOf(QStringLiteral("GetItemPreco")) << true;
    QTest::newRow("bulk writer") << bodyOf(QStringLiteral("SetCalcPreco")) << true;
    QTest::newRow("small call") << bodyOf(QStringLiteral("GetTabePrec")) << false;
    QTest::newRow("other case, long") << bodyOf(QStringLiteral("GETITEMPRECO")) << true;
    QTest::newRow("other case, short") << bodyOf(QStringLiteral("gettabeprec")) << false;
    QTest::newRow("arguments before the method")
        << requestBody({{QStringLiteral("args"), QVariantList{1, QStringLiteral("x")}},
                        {QStringLiteral("method"), QStringLiteral("setCopiaPreco")},
                        {QStringLiteral("id"), 1}})
        << true;
    QTest::newRow("short method, large body")
        << bodyOf(QStringLiteral("SetItemPreco"), {QString(300 * 1024, QLatin1Char('x'))}) << true;
    QTest::newRow("no method") << requestBody({{QStringLiteral("id"), 1}}) << true;
    QTest::newRow("method not text")
        << requestBody({{QStringLiteral("method"), 7}, {QStringLiteral("id"), 1}}) << true;
    QTest::newRow("cut before the method")
        << bodyOf(QStringLiteral("GetTabePrec")).left(12) << true;
    QTest::newRow("not a map") << QByteArray("\x83\x01\x02\x03", 4) << true;
    QTest::newRow("garbage") << QByteArray("\xff\xfe lixo") << true;
    QTest::newRow("empty") << QByteArray() << true;
}

void TestCallLanes::laneOfRequest()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, isLong);
    QCOMPARE(CallLanes().laneOf(body) == WorkerPool::Lane::Long, isLong);
}

void TestCallLanes::longMethodsAreRegistered()
{
    MethodRegistry registry;
    registerAllMethods(registry);
    for (const QString &method : CallLanes::defaultLongMethods()) {
        QVERIFY2(registry.find(QStringLiteral("Prx51700.rdmTabePreco"), method),
                 qPrintable(method));
    }
}

void TestCallLanes::shortCallAnswered_data()
{
    QTest::addColumn<int>("workers");
    QTest::addColumn<int>("shortWorkers");
    QTest::addColumn<int>("longCalls");  // Block calls of other clients
    QTest::addColumn<int>("shortHolds"); // Hold calls of other clients
    // As many long calls as workers: the long lane is full, some wait.
    QTest::newRow("2 workers, long lane full") << 2 << -1 << 2 << 0;
    QTest::newRow("8 workers, long lane full") << 8 << -1 << 8 << 0;
    QTest::newRow("16 workers, 4 short, long lane full") << 16 << 4 << 16 << 0;
    // The short lane is held: an idle long worker answers.
    QTest::newRow("short lane held") << 4 << -1 << 0 << 1;
    QTest::newRow("short lane held, one long worker idle") << 8 << -1 << 5 << 2;
}

void TestCallLanes::shortCallAnswered()
{
    QFETCH(int, workers);
    QFETCH(int, shortWorkers);
    QFETCH(int, longCalls);
    QFETCH(int, shortHolds);
    LaneServer server(workers, shortWorkers);
    const quint16 port = server.start();
    QVERIFY(port != 0);
    const int longWorkers =
        workers - (shortWorkers < 0 ? WorkerPool::defaultShortThreads(workers) : shortWorkers);

    std::vector<std::unique_ptr<RawClient>> others;
    const auto sendFromOther = [&](const QString &method) {
        others.push_back(std::make_unique<RawClient>());
        QVERIFY(others.back()->connectTo(port));
        others.back()->send(wire::encodeRequest({qint64(others.size()), Obj, method, {}}));
    };
    for (int i = 0; i < shortHolds; ++i)
        sendFromOther(QStringLiteral("Hold"));
    QVERIFY(server.enteredShort.tryAcquire(shortHolds, 10000));
    for (int i = 0; i < longCalls; ++i)
        sendFromOther(QStringLiteral("Block"));
    QVERIFY(server.enteredLong.tryAcquire(std::min(longCalls, longWorkers), 10000));

    RawClient quick;
    QVERIFY(quick.connectTo(port));
    quick.send(wire::encodeRequest({999, Obj, QStringLiteral("Echo"), {QStringLiteral("já")}}));
    wire::Answer a;
    QVERIFY2(quick.answer(&a, 5000), "the short call waited for the others");
    QCOMPARE(a.id, 999);
    QCOMPARE(a.payload.toString(), QStringLiteral("já"));
    // The long calls that found their lane full waited instead of taking a
    // short worker.
    if (longCalls > longWorkers)
        QVERIFY(!server.enteredLong.tryAcquire(1, 200));

    server.gate.release(longCalls + shortHolds);
    for (size_t i = 0; i < others.size(); ++i) {
        QVERIFY(others[i]->answer(&a, 10000));
        QCOMPARE(a.id, qint64(i + 1));
        QVERIFY(a.ok && a.payload.toBool());
    }
}

void TestCallLanes::orderKeptAcrossLanes()
{
    LaneServer server(4, -1);
    const quint16 port = server.start();
    QVERIFY(port != 0);
    RawClient client;
    QVERIFY(client.connectTo(port));
    QByteArray all = wire::encodeRequest({1, Obj, QStringLiteral("Block"), {}});
    all += wire::encodeRequest({2, Obj, QStringLiteral("Echo"), {QStringLiteral("depois")}});
    all += wire::encodeRequest({3, Obj, QStringLiteral("Block"), {}});
    all += wire::encodeRequest({4, Obj, QStringLiteral("Echo"), {QStringLiteral("por último")}});
    client.send(all);
    QVERIFY(server.enteredLong.tryAcquire(1, 10000));
    wire::Answer a;
    QVERIFY2(!client.answer(&a, 300), "an answer came before the first call's");
    server.gate.release(2);
    for (const qint64 id : {1, 2, 3, 4}) {
        QVERIFY(client.answer(&a, 10000));
        QCOMPARE(a.id, id);
        QVERIFY(a.ok);
    }
    QCOMPARE(a.payload.toString(), QStringLiteral("por último"));
}

QTEST_GUILESS_MAIN(TestCallLanes)
#include "tst_calllanes.moc"

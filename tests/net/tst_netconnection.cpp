#include "SameValue.h"
#include "TestServer.h"

#include "dataset/Abort.h"
#include "net/AnswerPieces.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>
#include <QtTest>

#include <optional>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace prx;

namespace {

const QString Obj = QLatin1StringView(TestServer::Object);

// A server on the test's own thread that answers each request frame as the
// test says, to produce what the real server never sends. It runs while the
// connection waits in its local event loop.
class ScriptedServer : public QObject
{
public:
    using Reply = std::function<void(QTcpSocket *, const wire::Request &)>;

    explicit ScriptedServer(Reply reply) : m_reply(std::move(reply))
    {
        connect(&m_listener, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_listener.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    m_buffer.append(s->readAll());
                    QByteArray body;
                    while (wire::takeFrame(m_buffer, &body) == wire::FrameStatus::Ready) {
                        wire::Request r;
                        QString error;
                        if (wire::decodeRequest(body, &r, &error))
                            m_reply(s, r);
                    }
                });
            }
        });
        m_listener.listen(QHostAddress::LocalHost, 0);
    }
    quint16 port() const { return m_listener.serverPort(); }

private:
    QTcpServer m_listener;
    QByteArray m_buffer;
    Reply m_reply;
};

// A loopback port bound but not listening: a connect to it is refused, and
// no other process can take the port while this holds it.
class RefusingPort
{
public:
    RefusingPort() : m_fd(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&a), &size) == 0)
            m_port = ntohs(a.sin_port);
    }
    ~RefusingPort()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RefusingPort(const RefusingPort &) = delete;
    RefusingPort &operator=(const RefusingPort &) = delete;
    quint16 port() const { return m_port; }

private:
    int m_fd;
    quint16 m_port = 0;
};

void pointAt(NetConnection &c, quint16 port, int *connects = nullptr)
{
    c.setServerObject(Obj);
    c.beforeConnect = [port, connects](NetConnection &self) {
        self.setHost(QStringLiteral("127.0.0.1"));
        self.setPort(port);
        if (connects)
            ++*connects;
    };
}

} // namespace

class TestNetConnection : public QObject
{
    Q_OBJECT

private:
    // Every test gets a fresh test server and a connection pointed at it.
    std::optional<TestServer> m_server;
    std::optional<NetConnection> m_net;

private slots:
    void init()
    {
        m_server.emplace();
        QVERIFY(m_server->start());
        m_net.emplace();
        pointAt(*m_net, m_server->port());
    }
    void cleanup()
    {
        m_net.reset();
        m_server.reset();
    }

    // Guards against host and port being taken from anywhere but the hook,
    // and the hook not running before each connect.
    void beforeConnectSetsAddress();
    // Guards against a refused connect throwing or passing for success.
    void refusedConnectFailsTheFirstCall();
    // Guards against a connection staying dead after the server came back.
    void callAfterServerRestartReconnects();
    // Guards against a call waiting forever, and a late answer being taken
    // for the next call's.
    void timeoutFailsAndNextCallIsClean();
    // Guards against a dropped connection or a bad answer passing for success.
    void connectionLostMidCall();
    void invalidAnswerIsReported();
    void answerForAnotherIdIsSkipped();
    // Guards against a large answer read only in part (a piece broken, of
    // another call, or the connection lost between pieces) reaching the
    // caller as a success, and against an older server's one large frame
    // being refused.
    void answerInPieces_data();
    void answerInPieces();
    // Guards against values that cannot travel being sent as nulls.
    void unsendableArgumentIsRefusedLocally();
    // Guards against the wait blocking timers (and so painting), and against
    // a call started from inside that wait mixing up two answers.
    void waitKeepsTimersRunning();
    void nestedCallIsRefused();
    // Guards against a server limit reaching the user as a mere "connection
    // lost" instead of the server's own words.
    void serverLimitNoticeIsTheAnswer();
    // Guards against packets and errors being altered on the way back.
    void payloadAndErrorArriveIntact();
    // Guards against a failed call going unreported or not stopping the command.
    void checkResultServ();
};

void TestNetConnection::serverLimitNoticeIsTheAnswer()
{
    TestServer small(64 * 1024);
    QVERIFY(small.start());
    NetConnection c;
    pointAt(c, small.port());
    const ServerResult r = c.call(QStringLiteral("Echo"), {QString(70000, QLatin1Char('x'))});
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(prx::server::ErrorLimit));
    QVERIFY2(r.message.contains(u"passa do limite de 65536 bytes"), qPrintable(r.message));
    // The next call connects again and is served.
    QVERIFY(c.call(QStringLiteral("Echo"), {1}).ok);
}

void TestNetConnection::beforeConnectSetsAddress()
{
    NetConnection &c = *m_net;
    c.setHost(QStringLiteral("192.0.2.1")); // replaced by the hook
    c.setPort(1);
    int connects = 0;
    pointAt(c, m_server->port(), &connects);
    c.setConnected(true);
    QVERIFY(c.connected());
    QCOMPARE(connects, 1);
    QCOMPARE(c.port(), int(m_server->port()));
    const ServerResult r = c.call(QStringLiteral("Echo"), {QStringLiteral("olá")});
    QVERIFY2(r.ok, qPrintable(r.message));
    QCOMPARE(r.payload.toString(), QStringLiteral("olá"));
    QCOMPARE(connects, 1); // the open connection is reused
    c.setConnected(false);
    QVERIFY(!c.connected());
    QVERIFY(c.call(QStringLiteral("Echo"), {1}).ok);
    QCOMPARE(connects, 2);
}

void TestNetConnection::refusedConnectFailsTheFirstCall()
{
    const RefusingPort refusing;
    const quint16 port = refusing.port();
    QVERIFY(port != 0);
    NetConnection &c = *m_net;
    pointAt(c, port);
    c.setConnected(true); // must not throw
    QVERIFY(!c.connected());
    ServerResult r;
    try {
        r = c.call(QStringLiteral("Echo"), {1});
    } catch (...) {
        QFAIL("a failed connect must not throw");
    }
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorConnect));
    QVERIFY2(
        r.message.startsWith(QStringLiteral("Não foi possível conectar ao servidor de aplicação "
                                            "em 127.0.0.1:%1: ")
                                 .arg(port)),
        qPrintable(r.message));
    QVERIFY2(r.message.contains(QStringLiteral("refused")), qPrintable(r.message));
}

void TestNetConnection::callAfterServerRestartReconnects()
{
    TestServer &server = *m_server;
    const quint16 port = server.port();
    NetConnection &c = *m_net;
    int connects = 0;
    pointAt(c, port, &connects);
    QVERIFY(c.call(QStringLiteral("Echo"), {1}).ok);

    server.stop();
    QTest::qWait(50);
    const ServerResult down = c.call(QStringLiteral("Echo"), {2});
    QVERIFY(!down.ok);
    QCOMPARE(down.code, int(NetErrorConnect));

    QVERIFY(server.start(port));
    const ServerResult up = c.call(QStringLiteral("Echo"), {3});
    QVERIFY2(up.ok, qPrintable(up.message));
    QCOMPARE(up.payload.toLongLong(), 3);

    // The server goes away and comes back between two calls, unseen: the
    // call after must still go through.
    server.stop();
    QVERIFY(server.start(port));
    const ServerResult again = c.call(QStringLiteral("Echo"), {4});
    QVERIFY2(again.ok, qPrintable(again.message));
    QCOMPARE(again.payload.toLongLong(), 4);
    QCOMPARE(connects, 4);
}

void TestNetConnection::timeoutFailsAndNextCallIsClean()
{
    NetConnection &c = *m_net;
    c.setTimeout(200);
    // The answer comes long after the timeout, so that a busy machine cannot
    // bring the two together; the timeout code proves which came first.
    const ServerResult r = c.call(QStringLiteral("Sleep"), {qint64(1500)});
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorTimeout));
    QVERIFY2(r.message.contains(QStringLiteral("não respondeu à chamada de Sleep")),
             qPrintable(r.message));

    c.setTimeout(5000);
    const ServerResult next = c.call(QStringLiteral("Echo"), {QStringLiteral("depois")});
    QVERIFY2(next.ok, qPrintable(next.message));
    QCOMPARE(next.payload.toString(), QStringLiteral("depois"));
}

void TestNetConnection::connectionLostMidCall()
{
    ScriptedServer server([](QTcpSocket *s, const wire::Request &) { s->abort(); });
    NetConnection &c = *m_net;
    pointAt(c, server.port());
    const ServerResult r = c.call(QStringLiteral("SetItemPreco"), {1});
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorLost));
    QVERIFY2(r.message.contains(QStringLiteral("perdida durante a chamada de SetItemPreco")),
             qPrintable(r.message));
}

void TestNetConnection::invalidAnswerIsReported()
{
    ScriptedServer server([](QTcpSocket *s, const wire::Request &) {
        s->write(QByteArray("\x00\x00\x00\x03\x83\x01\x02", 7)); // a frame, but not an answer
    });
    NetConnection &c = *m_net;
    pointAt(c, server.port());
    const ServerResult r = c.call(QStringLiteral("GetFilial"), {});
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorProtocol));
    QVERIFY2(r.message.contains(QStringLiteral("resposta inválida")), qPrintable(r.message));
}

void TestNetConnection::answerForAnotherIdIsSkipped()
{
    ScriptedServer server([](QTcpSocket *s, const wire::Request &r) {
        s->write(wire::encodeAnswer({r.id - 1, true, QStringLiteral("velha"), 0, {}}));
        s->write(wire::encodeAnswer({r.id, true, QStringLiteral("certa"), 0, {}}));
    });
    NetConnection &c = *m_net;
    pointAt(c, server.port());
    const ServerResult r = c.call(QStringLiteral("Echo"), {1});
    QVERIFY(r.ok);
    QCOMPARE(r.payload.toString(), QStringLiteral("certa"));
}

void TestNetConnection::answerInPieces_data()
{
    QTest::addColumn<QString>("server"); // what the scripted server sends
    QTest::addColumn<int>("code");       // 0: the whole packet arrives
    QTest::addColumn<QString>("fragment");
    QTest::newRow("one large frame") << "single" << 0 << QString();
    QTest::newRow("every piece") << "pieces" << 0 << QString();
    QTest::newRow("piece of another call")
        << "foreign" << int(NetErrorProtocol) << QStringLiteral("parte da chamada");
    QTest::newRow("lost between pieces")
        << "cut" << int(NetErrorLost) << QStringLiteral("foi perdida");
}

void TestNetConnection::answerInPieces()
{
    QFETCH(QString, server);
    QFETCH(int, code);
    QFETCH(QString, fragment);
    wire::setPieceBytes(2048);
    const DataPacketPtr packet = TestServer::rows(3000);
    ScriptedServer scripted([&](QTcpSocket *s, const wire::Request &r) {
        const wire::Answer answer{r.id, true, QVariant::fromValue(packet), 0, {}};
        if (server == "single") {
            s->write(wire::encodeAnswer(answer));
            return;
        }
        wire::AnswerWriter writer(answer);
        s->write(writer.first());
        for (int i = 0; writer.hasMore(); ++i) {
            QByteArray piece = writer.next();
            if (i == 3 && server == "foreign") {
                wire::AnswerWriter other({r.id + 1, true, QVariant::fromValue(packet), 0, {}});
                other.first();
                piece = other.next();
            }
            if (i == 3 && server == "cut") {
                s->abort();
                return;
            }
            s->write(piece);
        }
    });
    NetConnection &c = *m_net;
    pointAt(c, scripted.port());
    const ServerResult r = c.call(QStringLiteral("Rows"), {qint64(3000)});
    wire::setPieceBytes(4 * 1024 * 1024);
    if (code == 0) {
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(*r.payload.value<DataPacketPtr>() == *packet);
        return;
    }
    QVERIFY(!r.ok);
    QCOMPARE(r.code, code);
    QVERIFY2(r.message.contains(fragment), qPrintable(r.message));
    QVERIFY(!c.connected());
}

void TestNetConnection::unsendableArgumentIsRefusedLocally()
{
    int requests = 0;
    ScriptedServer server([&](QTcpSocket *s, const wire::Request &r) {
        ++requests;
        s->write(wire::encodeAnswer({r.id, true, {}, 0, {}}));
    });
    NetConnection &c = *m_net;
    pointAt(c, server.port());
    const ServerResult r =
        c.call(QStringLiteral("Echo"), {1, QVariantMap{{QStringLiteral("a"), 1}}});
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorArguments));
    QVERIFY2(r.message.contains(QStringLiteral("argumento 2")), qPrintable(r.message));
    QCOMPARE(requests, 0);
}

void TestNetConnection::waitKeepsTimersRunning()
{
    int ticks = 0;
    QTimer animation;
    connect(&animation, &QTimer::timeout, this, [&] { ++ticks; });
    animation.start(20);
    // Thirty ticks are due; five leave room for a busy machine.
    QVERIFY(m_net->call(QStringLiteral("Sleep"), {qint64(600)}).ok);
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

void TestNetConnection::nestedCallIsRefused()
{
    NetConnection &c = *m_net;
    ServerResult inner;
    bool innerRan = false;
    // Due at once: it runs in the first event loop the outer call waits in,
    // and it dies with the connection if it never ran.
    QTimer::singleShot(0, &c, [&] {
        inner = c.call(QStringLiteral("Echo"), {QStringLiteral("dentro")});
        innerRan = true;
    });
    const ServerResult outer = c.call(QStringLiteral("Sleep"), {qint64(200)});
    QVERIFY(outer.ok);
    QCOMPARE(outer.payload, QVariant(true));
    QVERIFY(innerRan);
    QVERIFY(!inner.ok);
    QCOMPARE(inner.code, int(NetErrorBusy));
}

void TestNetConnection::payloadAndErrorArriveIntact()
{
    NetConnection &c = *m_net;
    const ServerResult rows = c.call(QStringLiteral("Rows"), {qint64(5000)});
    QVERIFY2(rows.ok, qPrintable(rows.message));
    QString why;
    QVERIFY2(sameValue(rows.payload, QVariant::fromValue(TestServer::rows(5000)), &why),
             qPrintable(why));
    const ServerResult error =
        c.call(QStringLiteral("Fail"), {QStringLiteral("Tabela sem períodos: ação recusada.")});
    QVERIFY(!error.ok);
    QCOMPARE(error.code, 1);
    QCOMPARE(error.message, QStringLiteral("Tabela sem períodos: ação recusada."));
}

void TestNetConnection::checkResultServ()
{
    QStringList shown;
    setServerErrorReporter([&](const QString &m) { shown.append(m); });

    ServerResult ok{true, QVariant(qint64(5)), 0, {}};
    QCOMPARE(CheckResultServ(ok).toLongLong(), 5);
    QVERIFY(shown.isEmpty());

    ServerResult failed{false, {}, 6, QStringLiteral("Registro alterado por outro usuário.")};
    QVERIFY_THROWS_EXCEPTION(Abort, CheckResultServ(failed));
    QCOMPARE(shown, QStringList{failed.message});

    QVariant v;
    try {
        v = CheckResultServ(failed, false);
    } catch (...) {
        QFAIL("raise=false must not throw");
    }
    QVERIFY(!v.isValid());
    QCOMPARE(shown.size(), 2);

    // A failure without words still says something.
    ServerResult silent{false, {}, 9, {}};
    QVERIFY_THROWS_EXCEPTION(Abort, CheckResultServ(silent));
    QVERIFY(shown.last().contains(QStringLiteral("código 9")));
    setServerErrorReporter({});
}

QTEST_GUILESS_MAIN(TestNetConnection)
#include "tst_netconnection.moc"

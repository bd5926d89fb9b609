#include "RawClient.h"
#include "SameValue.h"
#include "TestCertificates.h"
#include "TestServer.h"

#include "core/MethodRegistry.h"
#include "net/AnswerPieces.h"
#include "net/NetConnection.h"

#include <QtEndian>

#include <QDeadlineTimer>
#include <QSslKey>
#include <QtTest>
#include <future>

#include <sys/ioctl.h>

using namespace prx;
using namespace prx::server;

namespace {

const QString Obj = QLatin1StringView(TestServer::Object);

QByteArray frameOf(const QByteArray &body)
{
    QByteArray frame(4, '\0');
    qToBigEndian(quint32(body.size()), frame.data());
    return frame + body;
}

} // namespace

class TestTransport : public QObject
{
    Q_OBJECT

private:
    TestServer m_server;

    // After any mishap on one connection, a fresh client must still be served.
    void expectStillServing(quint16 port)
    {
        RawClient other;
        QVERIFY(other.connectTo(port));
        const wire::Answer a =
            other.call(Obj, QStringLiteral("Echo"), {QStringLiteral("ainda aqui")});
        QVERIFY2(a.ok, qPrintable(a.errorMessage));
        QCOMPARE(a.payload.toString(), QStringLiteral("ainda aqui"));
    }

private slots:
    void initTestCase() { QVERIFY(m_server.start()); }

    // Guards against a call's outcome (value, error code, message) being lost
    // or mislabelled between the method and the caller.
    void callsAndErrors_data();
    void callsAndErrors();
    // Guards against a readable but invalid request hanging the caller or
    // ending its connection.
    void invalidRequestGetsErrorAnswer();
    // Guards against an unreadable frame crashing or stalling the server.
    void unreadableFrameClosesConnection_data();
    void unreadableFrameClosesConnection();
    void oversizeFrameClosesConnection();
    // Guards against a client that leaves early costing the others anything.
    void clientLeavingMidCall();
    void truncatedFrameThenDisconnect();
    // Guards against answers being lost, merged or reordered.
    void pipelinedRequests();
    void manyClientsAtOnce();
    void largePacketAnswer();
    // Guards against a large answer refused for its size, or its rows lost
    // or reordered on the way in pieces through the real transport.
    void answerInPieces_data();
    void answerInPieces();
    // Guards against a client that leaves or stops reading in the middle of
    // a large answer holding the server's threads, or the others' calls.
    void clientLeavingMidAnswer_data();
    void clientLeavingMidAnswer();
    // Guards against one slow call holding up every other client.
    // Guards against rows read from the database while the answer is sent
    // arriving lost, doubled or reordered, and against a read that fails
    // midway reaching the caller as a shorter packet reported complete.
    void rowsReadWhileSent_data();
    void rowsReadWhileSent();
    // Guards against a worker, and its database connection, kept by a client
    // that hung up while its rows were being read.
    void hangUpWhileReadingFreesWorker();
    void slowCallDoesNotHoldOthers();
    // Guards against a bound that, once passed, brings the server down,
    // leaves the client hanging or tells it nothing it can show.
    void limitPassed_data();
    void limitPassed();
    // Guards against a server that cannot stop while a call runs on.
    void stopCancelsRunningCall();
};

void TestTransport::callsAndErrors_data()
{
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<int>("code");          // 0: ok
    QTest::addColumn<QVariant>("expected"); // payload, or a fragment of the message

    QTest::newRow("echo") << Obj << "Echo" << QVariantList{1.25} << 0 << QVariant(1.25);
    QTest::newRow("names ignore case")
        << Obj.toLower() << "cOnCaT" << QVariantList{QStringLiteral("Filial "), qint64(7)} << 0
        << QVariant(QStringLiteral("Filial 7"));
    QTest::newRow("unknown object") << "Nada.rdmNada"
                                    << "Echo" << QVariantList{1} << int(ErrorUnknownObject)
                                    << QVariant(QStringLiteral("Nada.rdmNada"));
    QTest::newRow("unknown method") << Obj << "Sumir" << QVariantList{} << int(ErrorUnknownMethod)
                                    << QVariant(QStringLiteral("Sumir"));
    QTest::newRow("too few args") << Obj << "Concat" << QVariantList{QStringLiteral("a")}
                                  << int(ErrorArguments) << QVariant(QStringLiteral("espera 2"));
    QTest::newRow("too many args") << Obj << "Echo" << QVariantList{1, 2} << int(ErrorArguments)
                                   << QVariant(QStringLiteral("espera 1"));
    QTest::newRow("wrong type") << Obj << "Concat" << QVariantList{qint64(1), qint64(2)}
                                << int(ErrorArguments) << QVariant(QStringLiteral("argumento 1"));
    QTest::newRow("method error") << Obj << "Fail"
                                  << QVariantList{QStringLiteral("Período já aprovado.")}
                                  << int(ErrorMethod)
                                  << QVariant(QStringLiteral("Período já aprovado."));
    QTest::newRow("method crash") << Obj << "Crash" << QVariantList{} << int(ErrorInternal)
                                  << QVariant(QStringLiteral("falha inesperada"));
    QTest::newRow("unsendable payload")
        << Obj << "Unsendable" << QVariantList{} << int(ErrorInternal)
        << QVariant(QStringLiteral("não pode ser enviada"));
}

void TestTransport::callsAndErrors()
{
    QFETCH(QString, object);
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(int, code);
    QFETCH(QVariant, expected);

    RawClient client;
    QVERIFY(client.connectTo(m_server.port()));
    const wire::Answer a = client.call(object, method, args);
    if (code == 0) {
        QVERIFY2(a.ok, qPrintable(a.errorMessage));
        QString why;
        QVERIFY2(sameValue(a.payload, expected, &why), qPrintable(why));
    } else {
        QVERIFY(!a.ok);
        QCOMPARE(a.errorCode, code);
        QVERIFY2(a.errorMessage.contains(expected.toString()), qPrintable(a.errorMessage));
    }
    // The connection itself stays usable after an error answer.
    QVERIFY(client.call(Obj, QStringLiteral("Echo"), {true}).ok);
    expectStillServing(m_server.port());
}

void TestTransport::invalidRequestGetsErrorAnswer()
{
    QByteArray body;
    {
        QCborStreamWriter w(&body);
        w.startMap(2);
        w.append(QLatin1StringView("id"));
        w.append(qint64(77));
        w.append(QLatin1StringView("args"));
        w.append(QLatin1StringView("não é lista"));
        w.endMap();
    }
    RawClient client;
    QVERIFY(client.connectTo(m_server.port()));
    client.send(frameOf(body));
    wire::Answer a;
    QVERIFY(client.answer(&a));
    QCOMPARE(a.id, 77);
    QVERIFY(!a.ok);
    QCOMPARE(a.errorCode, int(ErrorBadFrame));
    QVERIFY2(a.errorMessage.contains(QStringLiteral("'args'")), qPrintable(a.errorMessage));
    QVERIFY(client.call(Obj, QStringLiteral("Echo"), {1}).ok);
}

void TestTransport::unreadableFrameClosesConnection_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty body") << frameOf(QByteArray());
    QTest::newRow("not cbor") << frameOf(QByteArray("\xff\xff\xff\xff garbage", 12));
    QTest::newRow("array, not a map") << frameOf(QByteArray("\x83\x01\x02\x03", 4));
    QTest::newRow("map without id") << frameOf(QByteArray("\xa1\x61x\x01", 4));
    QTest::newRow("truncated map") << frameOf(QByteArray("\xa4\x62id", 4));
}

void TestTransport::unreadableFrameClosesConnection()
{
    QFETCH(QByteArray, bytes);
    RawClient client;
    QVERIFY(client.connectTo(m_server.port()));
    client.send(bytes);
    QVERIFY(client.closedByServer());
    expectStillServing(m_server.port());
}

void TestTransport::oversizeFrameClosesConnection()
{
    TestServer small(64 * 1024);
    QVERIFY(small.start());
    RawClient client;
    QVERIFY(client.connectTo(small.port()));
    // Refused from the header alone: the body is never waited for.
    QByteArray header(4, '\0');
    qToBigEndian(quint32(64 * 1024 + 1), header.data());
    client.send(header);
    QVERIFY(client.closedByServer());
    expectStillServing(small.port());
    // Just under the limit is served.
    RawClient fits;
    QVERIFY(fits.connectTo(small.port()));
    const wire::Answer a =
        fits.call(Obj, QStringLiteral("Echo"), {QString(30000, QLatin1Char('x'))});
    QVERIFY2(a.ok, qPrintable(a.errorMessage));
    QCOMPARE(a.payload.toString().size(), 30000);
}

void TestTransport::clientLeavingMidCall()
{
    RawClient leaver;
    QVERIFY(leaver.connectTo(m_server.port()));
    leaver.send(wire::encodeRequest({1, Obj, QStringLiteral("Sleep"), {qint64(300)}}));
    QTest::qWait(50); // the server is inside the method now
    leaver.abort();
    expectStillServing(m_server.port());
}

void TestTransport::truncatedFrameThenDisconnect()
{
    const QByteArray frame =
        wire::encodeRequest({1, Obj, QStringLiteral("Echo"), {QStringLiteral("x")}});
    {
        RawClient leaver;
        QVERIFY(leaver.connectTo(m_server.port()));
        leaver.send(frame.left(frame.size() / 2));
        leaver.abort();
    }
    {
        RawClient leaver;
        QVERIFY(leaver.connectTo(m_server.port()));
        leaver.send(frame.left(2)); // not even a whole length
        leaver.abort();
    }
    expectStillServing(m_server.port());
}

void TestTransport::pipelinedRequests()
{
    RawClient client;
    QVERIFY(client.connectTo(m_server.port()));
    // The first call is the slowest: with several workers, the later ones
    // must still wait for it.
    QByteArray both = wire::encodeRequest({11, Obj, QStringLiteral("Sleep"), {qint64(200)}});
    both += wire::encodeRequest({12, Obj, QStringLiteral("Echo"), {QStringLiteral("segundo")}});
    both += wire::encodeRequest({13, Obj, QStringLiteral("Fail"), {QStringLiteral("terceiro")}});
    client.send(both);
    wire::Answer a;
    QVERIFY(client.answer(&a));
    QCOMPARE(a.id, 11);
    QVERIFY(a.ok);
    QVERIFY(client.answer(&a));
    QCOMPARE(a.id, 12);
    QCOMPARE(a.payload.toString(), QStringLiteral("segundo"));
    QVERIFY(client.answer(&a));
    QCOMPARE(a.id, 13);
    QCOMPARE(a.errorMessage, QStringLiteral("terceiro"));
}

void TestTransport::manyClientsAtOnce()
{
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back(std::make_unique<RawClient>());
        QVERIFY(clients.back()->connectTo(m_server.port()));
    }
    // Every request goes out before any answer is read.
    for (int i = 0; i < 20; ++i)
        clients[i]->send(wire::encodeRequest({i, Obj, QStringLiteral("Echo"), {qint64(i * i)}}));
    for (int i = 0; i < 20; ++i) {
        wire::Answer a;
        QVERIFY(clients[i]->answer(&a));
        QCOMPARE(a.id, i);
        QCOMPARE(a.payload.toLongLong(), qint64(i * i));
    }
}

void TestTransport::largePacketAnswer()
{
    RawClient client;
    QVERIFY(client.connectTo(m_server.port()));
    const wire::Answer a = client.call(Obj, QStringLiteral("Rows"), {qint64(100000)});
    QVERIFY2(a.ok, qPrintable(a.errorMessage));
    const DataPacketPtr got = a.payload.value<DataPacketPtr>();
    QVERIFY(got);
    QCOMPARE(got->rowCount(), 100000);
    QVERIFY(*got == *TestServer::rows(100000));
}

void TestTransport::answerInPieces_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariant>("arg");
    QTest::addColumn<bool>("tls"); // the socket drains differently under TLS
    QTest::addColumn<int>("pieceBytes");
    auto packet = [](int rows) { return QVariant::fromValue(TestServer::rows(rows)); };
    QTest::newRow("one packet, many pieces") << "Rows" << QVariant(qint64(60000)) << false << 4096;
    QTest::newRow("several packets nested, one empty")
        << "Echo"
        << QVariant(QVariantList{
               packet(700), QVariantList{packet(0), QStringLiteral("x"), QVariantList{packet(900)}},
               packet(1)})
        << false << 4096;
    QTest::newRow("through TLS") << "Rows" << QVariant(qint64(20000)) << true << 4096;
    // The client reads a bounded amount ahead of its packet: a piece larger
    // than that must still arrive whole, in clear and under TLS.
    QTest::newRow("pieces past the read-ahead")
        << "Rows" << QVariant(qint64(200000)) << false << 2 * 1024 * 1024;
    QTest::newRow("pieces past the read-ahead, TLS")
        << "Rows" << QVariant(qint64(200000)) << true << 2 * 1024 * 1024;
}

void TestTransport::answerInPieces()
{
    QFETCH(QString, method);
    QFETCH(QVariant, arg);
    QFETCH(bool, tls);
    QFETCH(int, pieceBytes);
    if (tls && !QSslSocket::supportsSsl())
        QSKIP("no TLS backend");
    TransportAccess access;
    access.tls = QSslConfiguration::defaultConfiguration();
    access.tls.setLocalCertificate(QSslCertificate(testcerts::serverCertificate()));
    access.tls.setPrivateKey(QSslKey(testcerts::serverKey(), QSsl::Rsa));
    access.tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    TestServer tlsServer(TransportLimits(), access);
    if (tls)
        QVERIFY(tlsServer.start());
    wire::setPieceBytes(pieceBytes);
    NetConnection net;
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(tls ? tlsServer.port() : m_server.port());
    net.setServerObject(Obj);
    ClientAccess secure;
    secure.tls = true;
    secure.trusted = {QSslCertificate(testcerts::serverCertificate())};
    if (tls)
        net.setAccess(secure);
    const ServerResult r = net.call(method, {arg});
    // The connection goes on serving after the last piece.
    const ServerResult after = net.call(QStringLiteral("Echo"), {QStringLiteral("depois")});
    wire::setPieceBytes(4 * 1024 * 1024);
    QVERIFY2(r.ok, qPrintable(r.message));
    const QVariant expected =
        method == "Rows" ? QVariant::fromValue(TestServer::rows(int(arg.toLongLong()))) : arg;
    QString why;
    QVERIFY2(sameValue(r.payload, expected, &why), qPrintable(why));
    QVERIFY2(after.ok, qPrintable(after.message));
    QCOMPARE(after.payload.toString(), QStringLiteral("depois"));
}

void TestTransport::clientLeavingMidAnswer_data()
{
    QTest::addColumn<bool>("stopsReading"); // else it hangs up
    QTest::newRow("hangs up") << false;
    QTest::newRow("stops reading") << true;
}

void TestTransport::clientLeavingMidAnswer()
{
    QFETCH(bool, stopsReading);
    wire::setPieceBytes(4096);
    TransportLimits limits;
    limits.idleSeconds = 1; // also how long a client may leave an answer unread
    TestServer server(limits, {}, 2);
    QVERIFY(server.start());
    // Far more than the system's socket buffers hold.
    const int rows = 400000;
    QTcpSocket leaver;
    leaver.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(leaver.waitForConnected(5000));
    leaver.write(wire::encodeRequest({1, Obj, QStringLiteral("Rows"), {qint64(rows)}}));
    QVERIFY(leaver.waitForBytesWritten(5000));
    if (stopsReading) {
        // Nothing is read meanwhile (no event loop runs here), until what
        // waits in the system's buffers stops growing: the server stalled,
        // however long it took to start the answer.
        int queued = -1, stillFor = 0;
        for (QDeadlineTimer deadline(60000); stillFor < 15 && !deadline.hasExpired();) {
            QThread::msleep(200);
            int now = 0;
            ::ioctl(int(leaver.socketDescriptor()), FIONREAD, &now);
            stillFor = now > 0 && now == queued ? stillFor + 1 : 0;
            queued = now;
        }
        QCOMPARE(stillFor, 15);
        qint64 answerBytes = 0;
        {
            wire::AnswerWriter writer(
                {1, true, QVariant::fromValue(TestServer::rows(rows)), 0, {}});
            answerBytes = writer.first().size();
            while (writer.hasMore())
                answerBytes += writer.next().size();
        }
        qint64 got = 0;
        while (leaver.waitForReadyRead(2000))
            got += leaver.readAll().size();
        QVERIFY2(got < answerBytes,
                 qPrintable(QStringLiteral("%1 of %2").arg(got).arg(answerBytes)));
    } else {
        QVERIFY(leaver.waitForReadyRead(20000)); // the answer is on its way
        leaver.abort();
    }
    expectStillServing(server.port());
    wire::setPieceBytes(4 * 1024 * 1024);
    // Stopping finds no thread stuck on the answer.
    auto stopped = std::async(std::launch::async, [&] { server.stop(); });
    QVERIFY(stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready);
}

void TestTransport::rowsReadWhileSent_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("failAt"); // 0: the read does not fail
    for (const bool postgres : {false, true}) {
        const char *db = postgres ? "postgresql" : "sqlite";
        QTest::addRow("%s, fits one frame", db) << postgres << 40 << 0;
        QTest::addRow("%s, many pieces", db) << postgres << 30000 << 0;
        QTest::addRow("%s, fails within the head", db) << postgres << 30000 << 20;
        QTest::addRow("%s, fails midway", db) << postgres << 30000 << 20000;
        QTest::addRow("%s, fails at the last row", db) << postgres << 30000 << 30000;
    }
}

void TestTransport::rowsReadWhileSent()
{
    QFETCH(bool, postgres);
    QFETCH(int, rows);
    QFETCH(int, failAt);
    const QString url = qEnvironmentVariable("PRX_TEST_PG_URL");
    if (postgres && url.isEmpty())
        QSKIP("PRX_TEST_PG_URL not set");
    TestServer server(TransportLimits(), {}, 2);
    if (postgres)
        server.setDatabase(url);
    QVERIFY(server.start());
    wire::setPieceBytes(4096);
    NetConnection net;
    net.setHost(QStringLiteral("127.0.0.1"));
    net.setPort(server.port());
    net.setServerObject(Obj);
    const ServerResult streamed = net.call(QStringLiteral("StreamRows"), {rows, failAt});
    const ServerResult whole = net.call(QStringLiteral("ReadRows"), {rows});
    const ServerResult after = net.call(QStringLiteral("Echo"), {QStringLiteral("depois")});
    wire::setPieceBytes(4 * 1024 * 1024);
    QVERIFY2(whole.ok, qPrintable(whole.message));
    QCOMPARE(whole.payload.value<DataPacketPtr>()->rowCount(), rows);
    if (failAt == 0) {
        QVERIFY2(streamed.ok, qPrintable(streamed.message));
        QString why;
        QVERIFY2(sameValue(streamed.payload, whole.payload, &why), qPrintable(why));
    } else {
        QVERIFY2(!streamed.ok, "a failed read was answered as a packet");
        QCOMPARE(streamed.code, int(ErrorInternal));
        QVERIFY2(streamed.message.contains(QStringLiteral("Erro no banco de dados (contar)")),
                 qPrintable(streamed.message));
    }
    // The connection goes on serving after the answer, whole or failed.
    QVERIFY2(after.ok, qPrintable(after.message));
}

void TestTransport::hangUpWhileReadingFreesWorker()
{
    wire::setPieceBytes(4096);
    TransportLimits limits;
    limits.idleSeconds = 120; // a worker kept until the stall gives up would fail below
    TestServer server(limits, {}, 1);
    QVERIFY(server.start());
    QTcpSocket leaver;
    leaver.connectToHost(QHostAddress::LocalHost, server.port());
    QVERIFY(leaver.waitForConnected(5000));
    // Far more rows than the system's socket buffers hold.
    leaver.write(
        wire::encodeRequest({1, Obj, QStringLiteral("StreamRows"), {qint64(3000000), qint64(0)}}));
    QVERIFY(leaver.waitForBytesWritten(5000));
    QVERIFY(leaver.waitForReadyRead(20000)); // the rows are being read
    leaver.abort();
    // The only worker serves the next client as soon as the read stops.
    RawClient other;
    QVERIFY(other.connectTo(server.port()));
    other.send(wire::encodeRequest({1, Obj, QStringLiteral("Echo"), {QStringLiteral("livre")}}));
    wire::Answer a;
    const bool answered = other.answer(&a, 15000);
    wire::setPieceBytes(4 * 1024 * 1024);
    QVERIFY2(answered, "the worker stayed with the client that hung up");
    QCOMPARE(a.payload.toString(), QStringLiteral("livre"));
    auto stopped = std::async(std::launch::async, [&] { server.stop(); });
    QVERIFY(stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready);
}

void TestTransport::slowCallDoesNotHoldOthers()
{
    RawClient slow;
    QVERIFY(slow.connectTo(m_server.port()));
    slow.send(wire::encodeRequest({1, Obj, QStringLiteral("Sleep"), {qint64(2000)}}));
    QTest::qWait(50); // the slow call is on a worker now
    RawClient quick;
    QVERIFY(quick.connectTo(m_server.port()));
    const wire::Answer a = quick.call(Obj, QStringLiteral("Echo"), {QStringLiteral("já")});
    QVERIFY2(a.ok, qPrintable(a.errorMessage));
    wire::Answer late;
    QVERIFY2(!slow.answer(&late, 0), "the quick call waited for the slow one");
    QVERIFY(slow.answer(&late, 10000));
    QVERIFY(late.ok);
}

void TestTransport::limitPassed_data()
{
    QTest::addColumn<QString>("fragment"); // of the message the client gets
    QTest::newRow("connections") << "limite de 2 conexões";
    QTest::newRow("frame size") << "passa do limite de 65536 bytes";
    QTest::newRow("idle time") << "após 1 segundos sem uso";
    QTest::newRow("call time") << "tempo máximo de 1 segundos";
}

void TestTransport::limitPassed()
{
    QFETCH(QString, fragment);
    const QByteArray tag = QTest::currentDataTag();
    TransportLimits limits;
    limits.maxConnections = tag == "connections" ? 2 : 100;
    limits.frameBytes = tag == "frame size" ? 64 * 1024 : wire::MaxFrameBytes;
    limits.idleSeconds = tag == "idle time" ? 1 : 0;
    limits.callSeconds = tag == "call time" ? 1 : 0;
    TestServer server(limits);
    QVERIFY(server.start());

    RawClient held;
    QVERIFY(held.connectTo(server.port()));
    QVERIFY(held.call(Obj, QStringLiteral("Echo"), {1}).ok);
    RawClient client;
    QVERIFY(client.connectTo(server.port()));
    qint64 expectedId = 0; // the server's word on the connection itself
    if (tag == "frame size") {
        QByteArray header(4, '\0');
        qToBigEndian(quint32(64 * 1024 + 1), header.data());
        client.send(header);
    } else if (tag == "connections") {
        QVERIFY(client.call(Obj, QStringLiteral("Echo"), {2}).ok);
        RawClient third;
        QVERIFY(third.connectTo(server.port()));
        wire::Answer a;
        QVERIFY(third.answer(&a));
        QCOMPARE(a.id, qint64(0));
        QVERIFY2(a.errorMessage.contains(fragment), qPrintable(a.errorMessage));
        QVERIFY(third.closedByServer());
        held.abort(); // a slot frees up
        // Each try holds a slot until the server sees it leave, so the tries
        // are made one at a time and the first admitted one ends the wait
        // (a retry macro would evaluate its condition once more after success).
        bool admitted = false;
        for (QDeadlineTimer deadline(10000); !admitted && !deadline.hasExpired();) {
            RawClient next;
            admitted =
                next.connectTo(server.port()) && next.call(Obj, QStringLiteral("Echo"), {3}).ok;
            if (!admitted)
                QTest::qWait(50);
        }
        QVERIFY(admitted);
        return;
    } else if (tag == "call time") {
        client.send(wire::encodeRequest({77, Obj, QStringLiteral("Spin"), {}}));
        expectedId = 77;
        // Cancelled in the database, the call frees its worker for others.
        QVERIFY(held.call(Obj, QStringLiteral("Echo"), {4}).ok);
    }
    wire::Answer a;
    QVERIFY(client.answer(&a, 8000));
    QCOMPARE(a.id, expectedId);
    QVERIFY(!a.ok);
    QCOMPARE(a.errorCode, int(ErrorLimit));
    QVERIFY2(a.errorMessage.contains(fragment), qPrintable(a.errorMessage));
    if (expectedId == 0)
        QVERIFY(client.closedByServer());
    expectStillServing(server.port());
}

void TestTransport::stopCancelsRunningCall()
{
    TransportLimits unbounded;
    unbounded.callSeconds = 0;
    auto server = std::make_unique<TestServer>(unbounded);
    QVERIFY(server->start());
    RawClient client;
    QVERIFY(client.connectTo(server->port()));
    client.send(wire::encodeRequest({1, Obj, QStringLiteral("Spin"), {}}));
    QTest::qWait(200); // inside the statement now
    auto stopped = std::async(std::launch::async, [&] { server.reset(); });
    QVERIFY(stopped.wait_for(std::chrono::seconds(20)) == std::future_status::ready);
}

QTEST_GUILESS_MAIN(TestTransport)
#include "tst_transport.moc"

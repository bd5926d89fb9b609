// Who may call a guarded server: only a client that proves it holds the
// access key (without sending it) and, with TLS, only over a certificate the
// client trusts. Refusals reach the user as a message and leave the server
// serving the others.
#include "TestCertificates.h"
#include "TestServer.h"

#include "net/AccessKey.h"
#include "net/NetConnection.h"

#include <QElapsedTimer>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

using namespace prx;
using namespace prx::server;

namespace {

const QString Obj = QLatin1StringView(TestServer::Object);
const QByteArray Key = "d5b1c0e9a7f34a2b8c6e1f0a9b8c7d6e";
const QByteArray OtherKey = "0123456789abcdef0123456789abcdef";

ServerResult echoThrough(quint16 port, const ClientAccess &access)
{
    NetConnection c;
    c.setServerObject(Obj);
    c.setAccess(access);
    c.setConnectTimeout(3000);
    c.beforeConnect = [port](NetConnection &self) {
        self.setHost(QStringLiteral("localhost"));
        self.setPort(port);
    };
    return c.call(QStringLiteral("Echo"), {QStringLiteral("olá")});
}

TransportAccess tlsAccess(const QByteArray &key)
{
    TransportAccess access;
    access.key = key;
    access.tls = QSslConfiguration::defaultConfiguration();
    access.tls.setLocalCertificate(QSslCertificate(testcerts::serverCertificate()));
    access.tls.setPrivateKey(QSslKey(testcerts::serverKey(), QSsl::Rsa));
    access.tls.setPeerVerifyMode(QSslSocket::VerifyNone);
    return access;
}

} // namespace

class TestAccess : public QObject
{
    Q_OBJECT

private slots:
    // Guards against a client without the key, or with another, being served,
    // and against a refusal that comes at once (free guessing) or says
    // nothing the user can act on.
    void keyProof_data();
    void keyProof();
    // Guards against a client that holds the key trusting a server that
    // only pretends to check it.
    void impostorServerIsRefused();
    // Guards against TLS that does not protect: an untrusted certificate or a
    // plain client must not get through.
    void tls_data();
    void tls();
};

void TestAccess::keyProof_data()
{
    QTest::addColumn<QByteArray>("serverKey");
    QTest::addColumn<QByteArray>("clientKey");
    QTest::addColumn<int>("code"); // 0: served
    QTest::addColumn<QString>("fragment");

    QTest::newRow("right key") << Key << Key << 0 << QString();
    QTest::newRow("no key anywhere") << QByteArray() << QByteArray() << 0 << QString();
    QTest::newRow("wrong key") << Key << OtherKey << int(ErrorAccess) << "não confere";
    QTest::newRow("client without key")
        << Key << QByteArray() << int(NetErrorAccess) << "exige a chave de acesso";
    QTest::newRow("server without key")
        << QByteArray() << Key << int(NetErrorAccess) << "não pediu a chave";
}

void TestAccess::keyProof()
{
    QFETCH(QByteArray, serverKey);
    QFETCH(QByteArray, clientKey);
    QFETCH(int, code);
    QFETCH(QString, fragment);
    TransportAccess access;
    access.key = serverKey;
    TestServer server(TransportLimits(), access);
    QVERIFY(server.start());

    ClientAccess client;
    client.key = clientKey;
    QElapsedTimer timer;
    timer.start();
    const ServerResult r = echoThrough(server.port(), client);
    if (code == 0) {
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(r.payload.toString(), QStringLiteral("olá"));
        return;
    }
    QVERIFY(!r.ok);
    QCOMPARE(r.code, code);
    QVERIFY2(r.message.contains(fragment), qPrintable(r.message));
    if (code == int(ErrorAccess))
        QVERIFY2(timer.elapsed() >= 200, "a wrong answer was refused without a pause");
    if (!serverKey.isEmpty()) {
        ClientAccess holder;
        holder.key = serverKey;
        const ServerResult still = echoThrough(server.port(), holder);
        QVERIFY2(still.ok, qPrintable(still.message));
    }
}

void TestAccess::impostorServerIsRefused()
{
    // It asks for the proof and then claims success with bytes of its own.
    QTcpServer impostor;
    QVERIFY(impostor.listen(QHostAddress::LocalHost));
    QObject::connect(&impostor, &QTcpServer::newConnection, &impostor, [&] {
        QTcpSocket *s = impostor.nextPendingConnection();
        s->write(access::challengeFrame(access::newNonce()));
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
            s->readAll();
            s->write(access::proofFrame(access::newNonce()));
        });
    });
    ClientAccess client;
    client.key = Key;
    const ServerResult r = echoThrough(impostor.serverPort(), client);
    QVERIFY(!r.ok);
    QCOMPARE(r.code, int(NetErrorAccess));
    QVERIFY2(r.message.contains(u"não comprovou"), qPrintable(r.message));
}

void TestAccess::tls_data()
{
    QTest::addColumn<bool>("clientTls");
    QTest::addColumn<QByteArray>("trusted"); // the certificate the client trusts
    QTest::addColumn<bool>("served");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("trusted certificate")
        << true << testcerts::serverCertificate() << true << QString();
    QTest::newRow("untrusted certificate")
        << true << testcerts::otherCertificate() << false << "não é confiável";
    QTest::newRow("plain client") << false << QByteArray() << false << QString();
}

void TestAccess::tls()
{
    QFETCH(bool, clientTls);
    QFETCH(QByteArray, trusted);
    QFETCH(bool, served);
    QFETCH(QString, fragment);
    if (!QSslSocket::supportsSsl())
        QSKIP("no TLS backend");
    TestServer server(TransportLimits(), tlsAccess(Key));
    QVERIFY(server.start());

    ClientAccess client;
    client.key = Key;
    client.tls = clientTls;
    if (!trusted.isEmpty())
        client.trusted = {QSslCertificate(trusted)};
    const ServerResult r = echoThrough(server.port(), client);
    QCOMPARE(r.ok, served);
    if (!served)
        QVERIFY2(r.message.contains(fragment), qPrintable(r.message));
}

QTEST_GUILESS_MAIN(TestAccess)
#include "tst_access.moc"

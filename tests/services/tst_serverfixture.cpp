#include "ScriptedHostUi.h"
#include "ServerFixture.h"
#include "dataset/ClientDataSet.h"
#include "net/CheckResultServ.h"
#include "net/NetConnection.h"
#include "services/HostDatabase.h"
#include "services/HostState.h"
#include "services/LocalQuery.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {

const char *const kObject = "Prx51700.rdmTabePreco";

// A connection set up the way the screens do it: host and port from the host
// state, right before connecting.
std::unique_ptr<NetConnection> screenConnection()
{
    auto net = std::make_unique<NetConnection>();
    net->setServerObject(QLatin1String(kObject));
    net->setConnectTimeout(5000);
    net->beforeConnect = [](NetConnection &c) {
        c.setHost(WebURL());
        c.setPort(WebPort());
    };
    return net;
}

} // namespace

class ServerFixtureTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    // The fixture's server answers GetFilial over the wire with the branches
    // of the fresh demo chain, and the host's local connection reads the
    // same database.
    void getFilialOverTheWire();
    // A refusal of the server reaches the scripted error box and stops the
    // command.
    void serverRefusalIsShown();
    // The host program starts against the fixture and shows its window.
    void hostProgramStarts();
    // Stopping ends the server and closes the local database; a later call
    // reports that the server is gone instead of hanging.
    void stopEndsServer();

private:
    ServerFixture m_server;
};

void ServerFixtureTest::initTestCase()
{
    for (const char *program : {"prx-server", "prx-cli"})
        QVERIFY2(QFile::exists(ServerFixture::program(QLatin1String(program))), program);
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    QVERIFY(m_server.isRunning());
    QVERIFY(m_server.port() != 0);
}

void ServerFixtureTest::cleanupTestCase()
{
    m_server.stop();
}

void ServerFixtureTest::getFilialOverTheWire()
{
    QCOMPARE(WebURL(), QStringLiteral("127.0.0.1"));
    QCOMPARE(WebPort(), int(m_server.port()));
    QCOMPARE(HostDatabase::location(), m_server.databaseFile());

    LocalQuery local;
    local.setSql({"SELECT CDFILIAL, NMFILIAL FROM FILIAL ORDER BY CDFILIAL"});
    local.open();
    QCOMPARE(local.recordCount(), 2); // --branches 2

    ScriptedHostUi ui;
    auto net = screenConnection();
    net->setConnected(true);
    QVERIFY2(net->connected(), qPrintable(net->lastError()));

    const QVariant all = CheckResultServ(net->call("GetFilial", {QString(), QStringLiteral("T")}));
    const DataPacketPtr packet = all.value<DataPacketPtr>();
    QVERIFY(packet);
    QCOMPARE(packet->rowCount(), local.recordCount());

    const QString code = local.fieldByName(u"CDFILIAL").asString();
    ClientDataSet cdsFilial;
    DataPacket one = *CheckResultServ(net->call("GetFilial", {code, QStringLiteral("N")}))
                          .value<DataPacketPtr>();
    cdsFilial.loadPacket(std::move(one));
    QCOMPARE(cdsFilial.recordCount(), 1);
    QCOMPARE(cdsFilial.fieldByName(u"CDFILIAL").asString(), code);
    QCOMPARE(cdsFilial.fieldByName(u"NMFILIAL").asString(),
             local.fieldByName(u"NMFILIAL").asString());
    QVERIFY(!cdsFilial.fieldByName(u"NMFILIAL").asString().isEmpty());
    QVERIFY(ui.messages().isEmpty());
}

void ServerFixtureTest::serverRefusalIsShown()
{
    ScriptedHostUi ui;
    auto net = screenConnection();
    net->setConnected(true);
    const ServerResult wrong =
        net->call("GetFilial", {QStringLiteral("0001")}); // one argument short
    QVERIFY(!wrong.ok);
    QVERIFY(!CheckResultServ(wrong, false).isValid());
    QCOMPARE(ui.errors().size(), 1);
    QVERIFY(!ui.errors().first().isEmpty());
}

void ServerFixtureTest::hostProgramStarts()
{
    const QString host = ServerFixture::program(QStringLiteral("prx-host"));
    QVERIFY2(QFile::exists(host), qPrintable(host));
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("prx-host.ini"));
    QFile(config).open(QIODevice::WriteOnly); // empty: no stray user file is read
    const QString shot = dir.filePath(QStringLiteral("prx-host.png"));

    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(host, {"--config", config, "--server",
                         QStringLiteral("127.0.0.1:%1").arg(m_server.port()), "--db",
                         m_server.databaseFile(), "--branch", "1", "--date", "2026-12-07",
                         "--screenshot", shot});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, process.readAll().constData());
    const QImage image(shot);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 600 && image.height() >= 400);

    // A bad argument stops it before any window, with the usage text.
    process.start(host, {"--config", config, "--date", "31/12/2026"});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(QString::fromLocal8Bit(process.readAll()).contains(QStringLiteral("Uso: prx-host")));
}

void ServerFixtureTest::stopEndsServer()
{
    const QString file = m_server.databaseFile();
    m_server.stop();
    QVERIFY(!m_server.isRunning());
    QVERIFY(!HostDatabase::isOpen());

    auto net = screenConnection();
    net->setConnected(true);
    const ServerResult gone = net->call("GetFilial", {QString(), QStringLiteral("T")});
    QVERIFY(!gone.ok);
    QCOMPARE(gone.code, int(NetErrorConnect));
    QVERIFY(!gone.message.isEmpty());
}

QTEST_GUILESS_MAIN(ServerFixtureTest)
#include "tst_serverfixture.moc"

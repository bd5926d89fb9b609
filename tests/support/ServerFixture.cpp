#include "ServerFixture.h"

#include "services/HostDatabase.h"
#include "services/HostState.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace prx::test {

ServerFixture::ServerFixture() = default;

ServerFixture::~ServerFixture()
{
    stop();
}

QString ServerFixture::binDir()
{
    const QString env = qEnvironmentVariable("PRX_BIN_DIR");
    return env.isEmpty() ? QCoreApplication::applicationDirPath() : env;
}

QString ServerFixture::program(const QString &name)
{
    return QDir(binDir()).filePath(name);
}

bool ServerFixture::runCli(const QStringList &args, QString *output, int timeoutMs)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(program(QStringLiteral("prx-cli")), args);
    if (!cli.waitForStarted(10000)) {
        *output = QStringLiteral("prx-cli não iniciou: %1").arg(cli.errorString());
        return false;
    }
    const bool finished = cli.waitForFinished(timeoutMs);
    *output = QString::fromLocal8Bit(cli.readAll());
    if (!finished) {
        cli.kill();
        cli.waitForFinished(5000);
        *output += QStringLiteral("\n(prx-cli excedeu o tempo)");
        return false;
    }
    return cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
}

bool ServerFixture::fail(const QString &message)
{
    m_error = message;
    stop();
    return false;
}

bool ServerFixture::start(const Options &options)
{
    stop();
    m_error.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return fail(QStringLiteral("diretório temporário: %1").arg(m_dir->errorString()));
    m_dbFile = m_dir->filePath(QStringLiteral("prx-test.db"));

    if (!options.fixtureFile.isEmpty()) {
        if (!QFile::copy(options.fixtureFile, m_dbFile))
            return fail(QStringLiteral("não foi possível copiar %1").arg(options.fixtureFile));
        QFile::setPermissions(m_dbFile, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        QString output;
        const QStringList args = {QStringLiteral("demo"),
                                  QStringLiteral("--db"),
                                  m_dbFile,
                                  QStringLiteral("--products"),
                                  QString::number(options.products),
                                  QStringLiteral("--branches"),
                                  QString::number(options.branches),
                                  QStringLiteral("--seed"),
                                  QString::number(options.seed)};
        if (!runCli(args, &output))
            return fail(QStringLiteral("prx-cli demo falhou: %1").arg(output));
    }

    m_server = std::make_unique<QProcess>();
    // The server logs every call; a pipe nobody empties would stall it.
    m_logFile = m_dir->filePath(QStringLiteral("prx-server.log"));
    m_server->setStandardErrorFile(m_logFile);
    m_server->start(program(QStringLiteral("prx-server")),
                    {QStringLiteral("--db"), m_dbFile, QStringLiteral("--listen"),
                     QStringLiteral("127.0.0.1:0")});
    if (!m_server->waitForStarted(10000))
        return fail(QStringLiteral("prx-server não iniciou: %1").arg(m_server->errorString()));

    // The server says where it listens once it is ready for calls.
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]+:(\\d+)"));
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired()) {
        if (m_server->state() != QProcess::Running)
            return fail(QStringLiteral("prx-server terminou ao iniciar: %1").arg(serverOutput()));
        m_server->waitForReadyRead(100);
        out += m_server->readAllStandardOutput();
        const QRegularExpressionMatch m = listening.match(QString::fromLocal8Bit(out));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            break;
        }
    }
    if (m_port == 0)
        return fail(QStringLiteral("prx-server não informou a porta: %1").arg(serverOutput()));

    HostState &state = HostState::instance();
    state.serverHost = host();
    state.serverPort = m_port;
    QString error;
    if (!HostDatabase::open(m_dbFile, &error))
        return fail(error);
    return true;
}

void ServerFixture::stop()
{
    if (m_server) {
        if (m_server->state() != QProcess::NotRunning) {
            m_server->terminate(); // the server closes its database on SIGTERM
            if (!m_server->waitForFinished(10000)) {
                m_server->kill();
                m_server->waitForFinished(5000);
            }
        }
        m_server.reset();
    }
    if (m_dir && HostDatabase::location() == m_dbFile)
        HostDatabase::close();
    m_port = 0;
}

bool ServerFixture::isRunning() const
{
    return m_server && m_server->state() == QProcess::Running;
}

QString ServerFixture::serverOutput() const
{
    QFile log(m_logFile);
    if (m_logFile.isEmpty() || !log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(log.readAll());
}

} // namespace prx::test

#include "ServerProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess()
{
    stop();
}

QString ServerProcess::program(const QString &name)
{
    const QString env = qEnvironmentVariable("PRX_BIN_DIR");
    return QDir(env.isEmpty() ? QCoreApplication::applicationDirPath() : env).filePath(name);
}

int ServerProcess::runCli(const QStringList &args, QString *output, int timeoutMs)
{
    QProcess cli;
    cli.setProcessChannelMode(QProcess::MergedChannels);
    cli.start(program(QStringLiteral("prx-cli")), args);
    const bool finished = cli.waitForStarted(10000) && cli.waitForFinished(timeoutMs);
    *output = QString::fromUtf8(cli.readAll());
    if (!finished) {
        cli.kill();
        cli.waitForFinished(5000);
        return -1;
    }
    return cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -1;
}

QString ServerProcess::log() const
{
    QFile f(m_dir.filePath(QStringLiteral("server.log")));
    const QString text =
        f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
    return m_startError.isEmpty() ? text : m_startError + u'\n' + text;
}

bool ServerProcess::start(const QStringList &args, const QProcessEnvironment &extra)
{
    stop();
    m_startError.clear();
    m_port = 0;
    m_process = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(extra);
    m_process->setProcessEnvironment(env);
    // The server logs every call; a pipe nobody empties would stall it.
    m_process->setStandardErrorFile(m_dir.filePath(QStringLiteral("server.log")));
    m_process->start(program(QStringLiteral("prx-server")), args);
    if (!m_process->waitForStarted(10000)) {
        m_startError = m_process->errorString();
        return false;
    }
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]+:(\\d+)"));
    QByteArray out;
    const QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
        m_process->waitForReadyRead(100);
        out += m_process->readAllStandardOutput();
        const QRegularExpressionMatch m = listening.match(QString::fromLocal8Bit(out));
        if (m.hasMatch()) {
            m_port = quint16(m.captured(1).toUInt());
            return true;
        }
    }
    m_startError = QStringLiteral("prx-server não ficou pronto");
    return false;
}

int ServerProcess::exitCodeOf(const QStringList &args)
{
    if (start(args))
        return -1;
    if (m_process->state() != QProcess::NotRunning && !m_process->waitForFinished(10000))
        return -1;
    return m_process->exitCode();
}

void ServerProcess::kill()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(10000);
    m_process.reset();
}

void ServerProcess::stop()
{
    if (!m_process)
        return;
    m_process->terminate();
    if (!m_process->waitForFinished(10000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

bool ServerProcess::waitForLog(const QString &fragment, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (log().contains(fragment))
            return true;
        if (!m_process || m_process->state() != QProcess::Running)
            return false;
        QThread::msleep(20);
    }
    return false;
}

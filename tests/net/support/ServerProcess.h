#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// A real prx-server (from $PRX_BIN_DIR) for the tests that need a process of
// their own: to kill it, to run two of them, to see how it refuses to start.
class ServerProcess
{
public:
    ServerProcess();
    ~ServerProcess();

    static QString program(const QString &name);
    // Runs prx-cli; its exit code (-1 when it did not finish) and output.
    static int runCli(const QStringList &args, QString *output, int timeoutMs = 120000);

    // Starts the server and waits until it listens. False with the reason in
    // log() when it exits or does not listen in time.
    bool start(const QStringList &args, const QProcessEnvironment &extra = {});
    // Exit code of a server that refuses to start (-1 when it runs instead).
    int exitCodeOf(const QStringList &args);
    void kill(); // SIGKILL: nothing of the server's own shutdown runs
    void stop(); // SIGTERM and wait
    bool waitForLog(const QString &fragment, int timeoutMs);

    quint16 port() const { return m_port; }
    QString log() const; // stderr so far

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    QString m_startError;
};

#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace prx::test {

// A real prx-server on loopback for the GUI tests. start() makes a fresh
// SQLite file (prx-cli demo with a small fixed chain, or a copy of a fixture
// file), starts the server from $PRX_BIN_DIR on 127.0.0.1 with a port of the
// system's choice, and points the host state (WebURL/WebPort) and the host's
// local database at them. stop() (or the destructor) ends the server and
// closes the local database.
class ServerFixture
{
public:
    struct Options
    {
        int products = 60;
        int branches = 2;
        int seed = 7;
        QString fixtureFile; // copied instead of generating demo data, when set
    };

    ServerFixture();
    ~ServerFixture();
    ServerFixture(const ServerFixture &) = delete;
    ServerFixture &operator=(const ServerFixture &) = delete;

    // False with the reason in errorString() when anything fails.
    bool start(const Options &options);
    bool start() { return start(Options()); }
    void stop();

    bool isRunning() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }
    QString databaseFile() const { return m_dbFile; }
    QString errorString() const { return m_error; }
    QString serverOutput() const; // the server's log so far

    // Where the programs are: $PRX_BIN_DIR, else the test's own folder.
    static QString binDir();
    static QString program(const QString &name);
    // Runs prx-cli with these arguments; false (and the output in *output)
    // when it fails or takes longer than the timeout.
    static bool runCli(const QStringList &args, QString *output, int timeoutMs = 120000);

private:
    bool fail(const QString &message);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_server;
    QString m_dbFile;
    quint16 m_port = 0;
    QString m_error;
    QString m_logFile;
};

} // namespace prx::test

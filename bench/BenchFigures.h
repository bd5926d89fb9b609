#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <unistd.h>

// What every benchmark prints its figures with.
namespace prx::bench {

// The value at quantile q (0.5: the median) of the runs, 0 without runs.
inline double percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

inline double median(const std::vector<double> &v)
{
    return percentile(v, 0.5);
}

inline double median(const QList<double> &v)
{
    return median(std::vector<double>(v.begin(), v.end()));
}

// The process's resident memory, -1 when it cannot be read.
inline qint64 residentBytes()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// The server's SQLite settings, put before the hand-written SQL the sqlite3
// tool runs for a baseline.
inline const QString kServerSqliteSettings =
    QStringLiteral("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON; ");

// Runs a script in the sqlite3 tool on `file` (through its input: a list of
// 50,000 codes is longer than an argument may be) and answers the
// milliseconds it took; a failing script ends the benchmark.
inline double sqliteToolMs(const QString &file, const QString &script)
{
    QElapsedTimer timer;
    timer.start();
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(QStringLiteral("sqlite3"), {file});
    p.write(script.toUtf8());
    p.closeWriteChannel();
    p.waitForFinished(-1);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3: %s\n", p.readAllStandardError().constData());
        std::exit(1);
    }
    return ms;
}

// Replaces `to` (and its WAL files) with a copy of `from`, so that each run
// starts from the same database.
inline bool freshCopy(const QString &from, const QString &to)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(to + suffix);
    return QFile::copy(from, to);
}

// Starts prx-server on the database, on a free loopback port, and answers
// that port; 0 when the server did not start. The log goes to stderr.
inline int startServer(QProcess &server, const QString &binDir, const QString &db)
{
    server.setProcessChannelMode(QProcess::SeparateChannels);
    server.start(
        binDir + QStringLiteral("/prx-server"),
        {QStringLiteral("--db"), db, QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")});
    int port = 0;
    while (port == 0 && server.waitForReadyRead(30000)) {
        const QString line = QString::fromUtf8(server.readLine()).trimmed();
        if (line.startsWith(QStringLiteral("listening on ")))
            port = line.section(QLatin1Char(':'), -1).toInt();
    }
    return port;
}

} // namespace prx::bench

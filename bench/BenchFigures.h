#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

#include <algorithm>
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

// Replaces `to` (and its WAL files) with a copy of `from`, so that each run
// starts from the same database.
inline bool freshCopy(const QString &from, const QString &to)
{
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(to + suffix);
    return QFile::copy(from, to);
}

} // namespace prx::bench

#pragma once

#include "BenchFigures.h"
#include "methods/MethodSupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QProcess>

// The baseline of the item list: the sqlite3 command-line tool running the
// same query to /dev/null.
namespace prx::bench {

// GetItemPreco's query with its values written in, for the whole segment of
// a three-level product tree.
inline QString itemListSqlFor(const QString &branch, const QString &table, const QString &segment,
                              const QDateTime &start)
{
    auto quoted = [](const QString &text) { return QLatin1Char('\'') + text + QLatin1Char('\''); };
    QString sql = server::itemListSql();
    sql.replace(QStringLiteral(":branch"), quoted(branch))
        .replace(QStringLiteral(":table"), quoted(table))
        .replace(QStringLiteral(":segment"), quoted(segment))
        .replace(QStringLiteral(":start"),
                 quoted(start.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00")))
        .replace(QStringLiteral(":length"), QStringLiteral("8"))
        .replace(QStringLiteral(":all"), QStringLiteral("'T'"))
        .replace(QStringLiteral(":product"), QStringLiteral("''"));
    return sql;
}

// Median milliseconds of the tool running `sql` on the database file.
inline double sqliteToolMs(const QString &file, const QString &sql, int runs)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setStandardOutputFile(QProcess::nullDevice());
        p.start(QStringLiteral("sqlite3"), {file, sql});
        p.waitForFinished(-1);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace prx::bench

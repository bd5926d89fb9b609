#pragma once

#include "demo/DemoGenerator.h"
#include "storage/Storage.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// The database a server benchmark works on, and its command line.
namespace prx::bench {

// The value after `name` on the command line, or `fallback`.
inline QString commandOption(const QStringList &args, const QString &name,
                             const QString &fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}

// Ends a benchmark whose set-up failed, saying why.
[[noreturn]] inline void fail(const QString &what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

// Runs a set-up statement; a failure ends the benchmark.
inline void exec(server::Storage &db, const QString &sql)
{
    QSqlQuery q(db.database());
    if (!q.exec(sql))
        fail(sql.left(120) + QStringLiteral(": ") + q.lastError().text());
}

// `given` when that file exists; otherwise a demo database made with `demo`
// in `dir`. Empty, with the reason in *error, when it cannot be made.
inline QString demoDatabase(const QString &given, const QTemporaryDir &dir,
                            const server::DemoOptions &demo, QString *error)
{
    if (!given.isEmpty() && QFile::exists(given))
        return given;
    const QString file = dir.filePath(QStringLiteral("demo.sqlite"));
    auto db = server::Storage::open(file, error);
    if (!db)
        return {};
    db->createSchema();
    server::generateDemo(*db, demo);
    return file;
}

} // namespace prx::bench

#pragma once

#include <QString>

#include <memory>

namespace prx::server {

// The server's database: a SQLite file (default) or a PostgreSQL URL
// ("postgresql://user@host:port/db"). Everything SQL-dialect specific lives
// behind this class.
class Storage
{
public:
    virtual ~Storage() = default;

    // Opens (and, for SQLite, creates) the database; nullptr and a Portuguese
    // message in *error when it cannot.
    static std::unique_ptr<Storage> open(const QString &fileOrUrl, QString *error);

    // Creates every table and index that does not exist yet.
    virtual void createSchema() = 0;
};

} // namespace prx::server

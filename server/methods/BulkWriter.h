#pragma once

#include "methods/MethodSupport.h"

#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace prx::server {

// One statement run for many rows inside the caller's transaction, without a
// round trip per row where that costs. On SQLite it is the connection's own
// prepared statement, bound again for every row (the generic query layer
// costs several times the work of the statement itself); a plain
// INSERT … VALUES runs a few dozen rows to a statement. On PostgreSQL the
// rows are gathered into one array per column and sent a few thousand at a
// time; the statement reads them through unnest.
//
// The per-row values are the parameters ":c0", ":c1", … in column order: in
// the SQLite text each stands for one value, in the PostgreSQL text for an
// array (written CAST(:c0 AS TEXT[]) and so on). `constants` are bound once.
class BulkWriter
{
public:
    enum class Kind
    {
        Text,
        Real
    };

    BulkWriter(const Storage &storage, const QString &sqliteSql, const QString &postgresSql,
               const QList<Kind> &columns, const SqlBinds &constants, const QString &doing);
    ~BulkWriter();
    BulkWriter(const BulkWriter &) = delete;
    BulkWriter &operator=(const BulkWriter &) = delete;

    // The values of one row, in column order; then endRow().
    void text(QStringView value);
    void real(std::optional<double> value);
    void endRow();
    // Sends what is still gathered; rows affected in all.
    qint64 finish();

private:
    using SqliteValue = std::variant<std::monostate, QByteArray, double>;

    void flush();
    void bindSqlite(SqliteValue value);
    static int bindTo(sqlite3_stmt *stmt, int index, const SqliteValue &value);
    void stepSqlite(sqlite3_stmt *stmt);
    [[noreturn]] void failSqlite();

    const Storage &m_storage;
    QList<Kind> m_columns;
    QString m_doing;
    int m_column = 0;
    qint64 m_affected = 0;
    // SQLite
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    QList<int> m_index; // bind position of each column
    // A plain INSERT … VALUES also runs as one statement of many rows.
    sqlite3_stmt *m_batch = nullptr;
    QList<int> m_batchIndex;                 // bind position of each value of a batch
    std::vector<SqliteValue> m_pendingValues; // of the rows not yet sent
    // PostgreSQL
    std::optional<QSqlQuery> m_query;
    QStringList m_arrays;
    int m_pending = 0;
};

// The rows of a query, read on SQLite straight from the connection's own
// statement (values bound as UTF-8, as the columns hold them, so no value is
// converted again for every row it is compared with), elsewhere through
// QSqlQuery.
class BulkReader
{
public:
    BulkReader(const Storage &storage, const QString &sql, const SqlBinds &binds,
               const QString &doing);
    ~BulkReader();
    BulkReader(const BulkReader &) = delete;
    BulkReader &operator=(const BulkReader &) = delete;

    bool next();
    bool isNull(int column) const;
    QString text(int column) const;
    double real(int column) const;

private:
    [[noreturn]] void failSqlite() const;

    QString m_doing;
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    std::optional<QSqlQuery> m_query;
};

// The connection's own SQLite handle; null on other databases.
sqlite3 *nativeSqliteHandle(const Storage &storage);

} // namespace prx::server

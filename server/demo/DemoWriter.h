#pragma once

#include "storage/BulkCopy.h"

#include <QDateTime>
#include <QSqlQuery>
#include <QVariantList>

#include <map>
#include <memory>

namespace prx::server {

class Storage;
struct TableDef;

// Inserts the demo rows inside the caller's transaction. On SQLite: one
// statement per table, prepared once and bound again for every row. On
// PostgreSQL, where a statement per row costs a round trip: the rows are
// gathered per table and sent with COPY, referenced tables first, so the
// rows of a table may stay unsent until flush().
class DemoWriter
{
public:
    // `stamp` fills the last-change column of the tables that have one, so
    // that the same options always give the same database.
    DemoWriter(const Storage &storage, const QDateTime &stamp);

    // Values in the table's column order, without the last-change column.
    void insert(const QString &table, const QVariantList &values);
    // Sends every row still gathered: due before any statement reads or
    // writes the tables written here.
    void flush();
    qint64 rows() const { return m_rows; }

    // PostgreSQL checks a foreign key for every row as it arrives, which
    // costs more than the copy itself; checked once over all the rows it is
    // one join. The first drops the foreign keys of the current schema and
    // answers the statements that put them back; the second runs those,
    // refusing the whole demo if any row has no row to reference. Nothing on
    // SQLite. Both inside the caller's transaction.
    static QStringList setAsideForeignKeys(const Storage &storage);
    static void restoreForeignKeys(const Storage &storage, const QStringList &statements);

private:
    struct Statement
    {
        const TableDef *table;
        QSqlQuery query;
        int stampColumn;
    };
    struct Copy
    {
        const TableDef *table;
        int order; // the table's place in the schema: referenced tables come first
        int stampColumn;
        std::unique_ptr<BulkCopy> rows;
    };
    Statement &statement(const QString &table);
    Copy &copy(const QString &table);
    void insertSqlite(const QString &table, const QVariantList &values);
    void insertPostgres(const QString &table, const QVariantList &values);
    // Sends the rows of the tables up to `order` in the schema.
    void flushUpTo(int order);

    const Storage &m_storage;
    bool m_copy;
    QVariant m_stamp;
    std::map<QString, Statement> m_statements;
    std::map<QString, Copy> m_copies;
    qint64 m_rows = 0;
};

} // namespace prx::server

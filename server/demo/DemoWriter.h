#pragma once

#include <QDateTime>
#include <QSqlQuery>
#include <QVariantList>

#include <map>

namespace prx::server {

class Storage;
struct TableDef;

// Inserts the demo rows: one statement per table, prepared once and bound
// again for every row, inside the caller's transaction.
class DemoWriter
{
public:
    // `stamp` fills the last-change column of the tables that have one, so
    // that the same options always give the same database.
    DemoWriter(const Storage &storage, const QDateTime &stamp);

    // Values in the table's column order, without the last-change column.
    void insert(const QString &table, const QVariantList &values);
    qint64 rows() const { return m_rows; }

private:
    struct Statement
    {
        const TableDef *table;
        QSqlQuery query;
        int stampColumn;
    };
    Statement &statement(const QString &table);

    const Storage &m_storage;
    QVariant m_stamp;
    std::map<QString, Statement> m_statements;
    qint64 m_rows = 0;
};

} // namespace prx::server

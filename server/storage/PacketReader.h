#pragma once

#include "dataset/ColumnTable.h"
#include "net/RowSource.h"

#include <QList>
#include <QVariant>

class QSqlQuery;

#include <memory>
#include <utility>

namespace prx::server {

class Storage;

// Fills a data packet from a forward-only query, column by column with the
// typed setters: no row of QVariants is ever kept.
class PacketReader
{
public:
    explicit PacketReader(QList<FieldDef> fields);

    // The field is not in the select list: every row gets this value (the
    // caller's arguments, e.g. the branch of the period being read).
    void setConstant(const QString &field, const QVariant &value);
    void reserve(int rows) { m_reserve = rows; }

    // The select list holds the other fields, in packet order.
    DataPacketPtr read(QSqlQuery &query) const;
    // Runs `sql` with the values bound by name and reads its rows. On SQLite
    // the rows come straight from the connection's own statement, without the
    // value-per-cell the generic query path builds (a third of the time of a
    // large read); other databases go through QSqlQuery.
    DataPacketPtr read(const Storage &storage, const QString &sql,
                       const QList<std::pair<QString, QVariant>> &binds,
                       const QString &doing) const;
    // The same rows, read as the answer is sent: the statement runs now (an
    // error in its text or binds is thrown here) and its rows are read a few
    // at a time while pieces are written, on the calling thread's connection,
    // which nothing else may use until the last row is read. A read that
    // fails midway (a database error, the call's time limit, rows the driver
    // dropped) fails the source, never ends it early.
    std::shared_ptr<wire::RowSource> stream(const Storage &storage, const QString &sql,
                                            const QList<std::pair<QString, QVariant>> &binds,
                                            const QString &doing) const;

private:
    template <class Cursor> DataPacketPtr fill(Cursor &cursor) const;
    template <class Cursor> int fillInto(Cursor &cursor, DataPacket &packet, int rows) const;
    template <class Cursor> friend class CursorRows;

    QList<FieldDef> m_fields;
    QList<QVariant> m_constants; // invalid: read from the query
    int m_reserve = 0;
};

} // namespace prx::server

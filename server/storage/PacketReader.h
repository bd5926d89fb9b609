#pragma once

#include "dataset/ColumnTable.h"

#include <QList>
#include <QVariant>

class QSqlQuery;

namespace prx::server {

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

private:
    QList<FieldDef> m_fields;
    QList<QVariant> m_constants; // invalid: read from the query
    int m_reserve = 0;
};

} // namespace prx::server

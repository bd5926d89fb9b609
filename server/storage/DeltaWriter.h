#pragma once

#include "dataset/DeltaPacket.h"
#include "storage/Schema.h"

#include <QSqlQuery>

#include <functional>
#include <map>
#include <optional>

namespace prx::server {

class Storage;

// The values of one row of a table taken from a delta change: one slot per
// table column, with whether the delta carried that column at all. Fields of
// the delta that are not columns (joined names, computed values) never get
// here.
struct DeltaRow
{
    QVariantList values;
    QList<bool> present;

    bool has(int column) const { return present.value(column); }
    bool isNull(int column) const { return !has(column) || values[column].isNull(); }
    QString text(int column) const
    {
        return isNull(column) ? QString() : values[column].toString();
    }
};

// Applies the changes of one delta to one table inside the caller's
// transaction. An update or delete names the row by the original values of
// every column the delta carries and applies only where the row still holds
// all of them (nulls compare equal, doubles exactly), so a row that someone
// else changed or deleted since it was read is never overwritten.
class DeltaWriter
{
public:
    // `describe` names a row in messages ("o preço do produto 0000000012").
    DeltaWriter(const Storage &storage, const TableDef &table, const DeltaPacket &delta,
                std::function<QString(const DeltaRow &)> describe);

    const TableDef &table() const { return m_table; }

    // A row's key names it for good (a table's code, a period's start, a
    // product's price row): with this on, an update that would change a key
    // column is refused, whoever sends it.
    void setKeyFixed(bool fixed) { m_keyFixed = fixed; }
    // Refuses a current row whose key differs from the original's (what an
    // update does itself when the key is fixed).
    void requireSameKey(const DeltaRow &original, const DeltaRow &current) const;
    int column(QStringView name) const;   // asserts that it exists
    QVariant nullValue(int column) const; // a null of the column's type

    // Converted to the column types and checked (size of texts, finite
    // numbers, valid dates); a bad value throws ServerError.
    DeltaRow originalRow(const DeltaChange &change) const;
    DeltaRow currentRow(const DeltaChange &change) const;

    // Each returns false when nothing was written: the key exists (insert),
    // or no row holds the original values any more (update, delete).
    bool insert(const DeltaRow &current);
    bool update(const DeltaRow &original, const DeltaRow &current);
    bool remove(const DeltaRow &original);

    // update() and remove() for the saves that allow nothing else: a row that
    // no longer holds the values read refuses the whole save (conflict()).
    void updateOrConflict(const DeltaRow &original, const DeltaRow &current);
    void removeOrConflict(const DeltaRow &original);

    // Whether a row with the key of `row` exists.
    bool exists(const DeltaRow &row);

    [[noreturn]] void conflict(const DeltaRow &row) const;

private:
    DeltaRow rowFrom(const QVariantList &values) const;
    QVariant convert(const ColumnDef &column, const QVariant &value) const;
    void requireKey(const DeltaRow &row) const;
    QString whereOriginal(const DeltaRow &row) const;
    void bindOriginal(QSqlQuery &query, const DeltaRow &row) const;
    QSqlQuery &cached(const QString &sql);

    const Storage &m_storage;
    const TableDef &m_table;
    std::function<QString(const DeltaRow &)> m_describe;
    QList<int> m_deltaIndex; // per table column: its index in the delta, or -1
    int m_stampColumn = -1;  // DTULTALT, set by every write
    bool m_keyFixed = false;
    std::map<QString, QSqlQuery> m_queries;
};

} // namespace prx::server

#pragma once

#include "DeltaPacket.h"

#include <QHash>
#include <QVariantList>

#include <vector>

namespace prx {

// The pending changes of a dataset, one per row, in the order the rows were
// first changed, each with the values the row had when it was read. Rows are
// named by their stable ids, not by their position, which shifts as rows come
// and go.
class ChangeLog
{
public:
    struct Entry
    {
        ChangeKind kind;
        quint32 rowId;
        QVariantList original; // empty for an insert
    };
    // Rows entering or leaving the storage, in order, so that undoing them
    // backwards puts every row back where it was.
    struct Move
    {
        bool inserted;
        quint32 rowId;
        int position;
    };

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }
    const std::vector<Entry> &entries() const { return m_entries; }
    const std::vector<Move> &moves() const { return m_moves; }
    const Entry *find(quint32 rowId) const;

    void recordInsert(quint32 rowId, int position);
    // Keeps the first original values when the row is already pending.
    void recordUpdate(quint32 rowId, const QVariantList &original);
    // An inserted row that is deleted leaves no trace; an updated one becomes
    // a delete of what was first read.
    void recordDelete(quint32 rowId, int position, const QVariantList &original);
    void clear();

private:
    void reindex();

    std::vector<Entry> m_entries;
    std::vector<Move> m_moves;
    QHash<quint32, int> m_byRow;
};

} // namespace prx

#include "ChangeLog.h"

namespace prx {

const ChangeLog::Entry *ChangeLog::find(quint32 rowId) const
{
    const auto it = m_byRow.constFind(rowId);
    return it == m_byRow.constEnd() ? nullptr : &m_entries[it.value()];
}

void ChangeLog::recordInsert(quint32 rowId, int position)
{
    m_byRow.insert(rowId, int(m_entries.size()));
    m_entries.push_back({ChangeKind::Insert, rowId, {}});
    m_moves.push_back({true, rowId, position});
}

void ChangeLog::recordUpdate(quint32 rowId, const QVariantList &original)
{
    if (m_byRow.contains(rowId))
        return;
    m_byRow.insert(rowId, int(m_entries.size()));
    m_entries.push_back({ChangeKind::Update, rowId, original});
}

void ChangeLog::recordDelete(quint32 rowId, int position, const QVariantList &original)
{
    m_moves.push_back({false, rowId, position});
    const auto it = m_byRow.constFind(rowId);
    if (it == m_byRow.constEnd()) {
        m_byRow.insert(rowId, int(m_entries.size()));
        m_entries.push_back({ChangeKind::Delete, rowId, original});
        return;
    }
    Entry &entry = m_entries[it.value()];
    if (entry.kind == ChangeKind::Insert) {
        m_entries.erase(m_entries.begin() + it.value());
        reindex();
    } else {
        entry.kind = ChangeKind::Delete;
    }
}

void ChangeLog::clear()
{
    m_entries.clear();
    m_moves.clear();
    m_byRow.clear();
}

void ChangeLog::reindex()
{
    m_byRow.clear();
    for (int i = 0; i < int(m_entries.size()); ++i)
        m_byRow.insert(m_entries[i].rowId, i);
}

} // namespace prx

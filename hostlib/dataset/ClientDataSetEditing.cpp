// Editing of a ClientDataSet: the edit buffer, posting, cancelling,
// deleting, and the log of pending changes.
#include "ClientDataSet.h"

#include "DataSetError.h"
#include "DataSource.h"

#include <exception>

namespace prx {

void ClientDataSet::checkBrowseMode()
{
    if (editing())
        post();
}

void ClientDataSet::append()
{
    beginInsert(true);
}

void ClientDataSet::insert()
{
    beginInsert(false);
}

void ClientDataSet::beginInsert(bool atEnd)
{
    requireActive();
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    if (beforeScroll)
        beforeScroll(*this);

    const int oldCurrent = m_current;
    const bool oldBof = m_bof, oldEof = m_eof;
    const int count = recordCount();
    const int viewRow = atEnd || m_current < 0 ? count : m_current;
    // The new row takes its place in storage at once, empty; its values live
    // in the buffer until it is posted.
    const int position = viewRow < count ? viewToStorage(viewRow) : m_table.rowCount();
    insertStorageRow(position);
    if (m_hasView)
        m_view.insert(m_view.begin() + viewRow, position);
    m_current = viewRow;
    setEdges(false, false);
    m_buffer = QVariantList(fieldCount());
    m_state = DataSetState::Insert;

    if (onNewRecord) {
        try {
            onNewRecord(*this);
        } catch (...) {
            if (m_hasView)
                m_view.erase(m_view.begin() + viewRow);
            removeStorageRow(position);
            m_buffer.clear();
            m_state = DataSetState::Browse;
            m_current = oldCurrent;
            setEdges(oldBof, oldEof);
            throw;
        }
    }
    notifyState();
    notifyLayout();
    notifyCurrent();
    if (afterInsert)
        afterInsert(*this);
    if (afterScroll)
        afterScroll(*this);
}

void ClientDataSet::edit()
{
    requireActive();
    if (editing())
        return;
    requireRows(QStringLiteral("Não há registro para alterar."));
    if (beforeEdit)
        beforeEdit(*this);
    m_buffer = rowBuffer(currentStorageRow());
    m_state = DataSetState::Edit;
    notifyState();
    if (afterEdit)
        afterEdit(*this);
}

void ClientDataSet::writeBuffer(int row)
{
    for (int fi : std::as_const(m_dataFields))
        m_table.setValue(row, m_fields[fi]->m_column, m_buffer.at(fi));
}

// Takes a row out of the view and the storage; the row that followed it, or
// the new last one, becomes current.
void ClientDataSet::dropRow(int viewRow, int row)
{
    if (m_hasView)
        m_view.erase(m_view.begin() + viewRow);
    removeStorageRow(row);
    const int count = recordCount();
    m_current = count == 0 ? -1 : qMin(viewRow, count - 1);
    setEdges(count == 0, count == 0);
}

// After a post or cancel: the state is back to browse, and either the rows
// moved (the row left or changed place) or only the current row changed.
void ClientDataSet::notifyRowDone(bool moved)
{
    notifyState();
    if (moved) {
        notifyLayout();
        notifyCurrent();
    } else {
        notifyData(m_current);
    }
}

void ClientDataSet::post()
{
    if (!editing())
        return;
    // Text still in a grid's cell editor belongs to this row.
    const QList<DataSource *> sources = m_sources;
    for (DataSource *s : sources)
        emit s->updateRecord();
    if (beforePost)
        beforePost(*this);

    const bool inserting = m_state == DataSetState::Insert;
    const int row = currentStorageRow();
    const QString oldKey =
        m_index.isBuilt() && !inserting ? rowKey(row, m_index.fields()) : QString();
    bool changed = inserting;
    QVariantList original;
    if (!inserting) {
        original = dataValues(row);
        for (int i = 0; i < m_dataFields.size() && !changed; ++i)
            changed = original.at(i) != m_buffer.at(m_dataFields.at(i));
    }
    writeBuffer(row);
    if (m_logChanges) {
        if (inserting)
            m_log.recordInsert(rowIdOf(row), row);
        else if (changed)
            m_log.recordUpdate(rowIdOf(row), original);
    }
    m_buffer.clear();
    m_state = DataSetState::Browse;

    // A failing calculation must not leave the index or the view behind the
    // stored row; it is reported once they are right.
    std::exception_ptr calcError;
    try {
        recalcRow(row);
    } catch (...) {
        calcError = std::current_exception();
    }
    if (m_index.isBuilt())
        indexRowChanged(row, inserting ? QString() : oldKey);
    notifyRowDone(placeInView(row, m_current));
    if (calcError)
        std::rethrow_exception(calcError);
    if (afterPost)
        afterPost(*this);
}

void ClientDataSet::cancel()
{
    if (!editing())
        return;
    if (beforeCancel)
        beforeCancel(*this);

    const bool inserting = m_state == DataSetState::Insert;
    const int viewRow = m_current;
    const int row = currentStorageRow();
    m_buffer.clear();
    m_state = DataSetState::Browse;
    std::exception_ptr calcError;
    if (inserting) {
        dropRow(viewRow, row);
    } else {
        try {
            recalcKeepingIndex(row);
        } catch (...) {
            calcError = std::current_exception();
        }
    }
    notifyRowDone(inserting);
    if (calcError)
        std::rethrow_exception(calcError);
    if (afterCancel)
        afterCancel(*this);
}

void ClientDataSet::deleteRecord()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        cancel(); // a row never posted is simply dropped
        return;
    }
    requireRows(QStringLiteral("Não há registro para excluir."));
    if (beforeDelete)
        beforeDelete(*this);
    if (beforeScroll)
        beforeScroll(*this);

    const bool wasEditing = m_state == DataSetState::Edit;
    const int viewRow = m_current;
    const int row = currentStorageRow();
    m_buffer.clear();
    m_state = DataSetState::Browse;
    if (m_logChanges)
        m_log.recordDelete(rowIdOf(row), row, dataValues(row));
    if (m_index.isBuilt())
        m_index.remove(rowKey(row, m_index.fields()), row);
    dropRow(viewRow, row);
    if (wasEditing)
        notifyState();
    notifyLayout();
    notifyCurrent();
    if (afterDelete)
        afterDelete(*this);
    if (isActive() && afterScroll)
        afterScroll(*this);
}

void ClientDataSet::appendRecord(const QVariantList &values)
{
    append();
    try {
        const int n = qMin(int(values.size()), int(m_dataFields.size()));
        for (int i = 0; i < n; ++i)
            m_fields[m_dataFields[i]]->setValue(values[i]);
    } catch (...) {
        cancel();
        throw;
    }
    post();
}

// ---------------------------------------------------------------- change log

DeltaPacket ClientDataSet::delta() const
{
    DeltaPacket out;
    for (int fi : m_dataFields)
        out.fields.append(m_fields[fi]->def());
    // One pass over the row ids instead of one search per change, once rows
    // have moved.
    QHash<quint32, int> rowOf;
    const auto &entries = m_log.entries();
    bool moved = false;
    for (const ChangeLog::Entry &e : entries)
        moved = moved || storageRowOf(e.rowId) != int(e.rowId);
    if (moved) {
        for (int r = 0; r < m_table.rowCount(); ++r)
            rowOf.insert(rowIdOf(r), r);
    }
    for (const ChangeLog::Entry &e : entries) {
        DeltaChange change;
        change.kind = e.kind;
        if (e.kind != ChangeKind::Insert)
            change.original = e.original;
        if (e.kind != ChangeKind::Delete)
            change.current = dataValues(moved ? rowOf.value(e.rowId) : int(e.rowId));
        out.changes.append(change);
    }
    return out;
}

void ClientDataSet::mergeChangeLog()
{
    m_log.clear();
}

void ClientDataSet::cancelUpdates()
{
    requireActive();
    if (editing())
        cancel();
    if (m_log.isEmpty() && m_log.moves().empty())
        return;

    const int currentRow = currentStorageRow();
    const qint64 currentId = currentRow < 0 ? -1 : qint64(rowIdOf(currentRow));
    const QList<int> indexFields = m_index.isBuilt() ? m_index.fields() : QList<int>();
    auto writeOriginal = [this](int row, const QVariantList &values) {
        for (int i = 0; i < m_dataFields.size() && i < values.size(); ++i)
            m_table.setValue(row, m_fields[m_dataFields[i]]->m_column, values[i]);
    };

    // The view is rebuilt at the end; the index follows every step, which is
    // cheaper than building it again over a large dataset.
    m_hasView = false;
    m_view.clear();
    const std::vector<ChangeLog::Move> &moves = m_log.moves();
    for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
        if (it->inserted) {
            const int row = storageRowOf(it->rowId);
            if (row < 0)
                continue;
            if (m_index.isBuilt())
                m_index.remove(rowKey(row, indexFields), row);
            removeStorageRow(row);
        } else {
            const int row = qMin(it->position, m_table.rowCount());
            insertStorageRow(row);
            m_rowIds[row] = it->rowId;
            if (const ChangeLog::Entry *e = m_log.find(it->rowId))
                writeOriginal(row, e->original);
            if (m_index.isBuilt())
                m_index.add(rowKey(row, indexFields), row);
        }
    }
    std::vector<int> touched;
    for (const ChangeLog::Entry &e : m_log.entries()) {
        if (e.kind == ChangeKind::Insert)
            continue;
        const int row = storageRowOf(e.rowId);
        if (row < 0)
            continue;
        if (e.kind == ChangeKind::Update) {
            const QString oldKey = m_index.isBuilt() ? rowKey(row, indexFields) : QString();
            writeOriginal(row, e.original);
            if (m_index.isBuilt())
                indexRowChanged(row, oldKey);
        }
        touched.push_back(row);
    }
    m_log.clear();

    std::exception_ptr calcError;
    for (int row : touched) {
        try {
            recalcKeepingIndex(row);
        } catch (...) {
            calcError = std::current_exception();
        }
    }
    rebuildView();
    const int count = recordCount();
    const int row = currentId < 0 ? -1 : storageRowOf(quint32(currentId));
    const int at = viewPositionOf(row);
    m_current = count == 0 ? -1 : (at >= 0 ? at : qBound(0, m_current, count - 1));
    setEdges(count == 0, count == 0);
    notifyLayout();
    notifyCurrent();
    if (calcError)
        std::rethrow_exception(calcError);
}

} // namespace prx

#include "ClientDataSet.h"

#include "DataSetError.h"
#include "DataSource.h"

#include <numeric>

namespace prx {

// Points field reads at one stored row, or at the edit buffer, for as long as
// it lives; nested scopes restore what was there before.
class ClientDataSet::RowScope
{
public:
    RowScope(const ClientDataSet *dataSet, int row, bool buffer)
        : m_dataSet(dataSet), m_row(dataSet->m_scopeRow), m_buffer(dataSet->m_scopeBuffer)
    {
        dataSet->m_scopeRow = row;
        dataSet->m_scopeBuffer = buffer;
    }
    ~RowScope()
    {
        m_dataSet->m_scopeRow = m_row;
        m_dataSet->m_scopeBuffer = m_buffer;
    }
    RowScope(const RowScope &) = delete;
    RowScope &operator=(const RowScope &) = delete;

private:
    const ClientDataSet *m_dataSet;
    int m_row;
    bool m_buffer;
};

ClientDataSet::ClientDataSet(QObject *parent) : QObject(parent) {}

ClientDataSet::~ClientDataSet()
{
    for (DataSource *source : std::as_const(m_sources))
        source->m_dataSet = nullptr;
}

// ---------------------------------------------------------------- fields

Field &ClientDataSet::newField(const QString &name, FieldType type, int size, Field::Kind kind)
{
    if (isActive())
        throw DataSetError(
            QStringLiteral("Não é possível definir campos com o conjunto de dados aberto."));
    if (name.trimmed().isEmpty())
        throw DataSetError(QStringLiteral("O nome do campo deve ser informado."));
    if (findField(name))
        throw DataSetError(QStringLiteral("Campo '%1' já existe.").arg(name));
    const int index = fieldCount();
    m_fields.push_back(std::unique_ptr<Field>(new Field(this, name, type, size, kind, index)));
    Field &f = *m_fields.back();
    if (kind == Field::Kind::Data) {
        m_dataFields.append(index);
    } else {
        f.m_column = int(m_calcDefs.size());
        m_calcDefs.append(f.def());
    }
    return f;
}

Field &ClientDataSet::addField(const QString &name, FieldType type, int size)
{
    return newField(name, type, size, Field::Kind::Data);
}

Field &ClientDataSet::addCalculatedField(const QString &name, FieldType type, int size)
{
    return newField(name, type, size, Field::Kind::Calculated);
}

Field *ClientDataSet::findField(QStringView name) const
{
    for (const auto &f : m_fields) {
        if (name.compare(f->name(), Qt::CaseInsensitive) == 0)
            return f.get();
    }
    return nullptr;
}

Field &ClientDataSet::fieldByName(QStringView name) const
{
    Field *f = findField(name);
    if (!f)
        throw DataSetError(QStringLiteral("Campo '%1' não encontrado.").arg(name));
    return *f;
}

void ClientDataSet::discardDynamicFields()
{
    if (!m_dynamicFields)
        return;
    m_fields.clear();
    m_dataFields.clear();
    m_calcDefs.clear();
    m_dynamicFields = false;
}

// ---------------------------------------------------------------- opening

void ClientDataSet::loadPacket(DataPacket &&packet)
{
    // Both before-events run before anything changes, so that either can
    // refuse the reload and leave the old rows in place.
    const bool wasActive = isActive();
    if (wasActive && beforeClose)
        beforeClose(*this);
    if (beforeOpen)
        beforeOpen(*this);
    if (wasActive)
        closeContent();
    try {
        if (m_fields.empty()) {
            for (const FieldDef &def : packet.fields()) {
                if (!findField(def.name))
                    newField(def.name, def.type, def.size, Field::Kind::Data);
            }
            m_dynamicFields = true;
        }
        for (int fi : std::as_const(m_dataFields)) {
            Field &f = *m_fields[fi];
            int column = packet.indexOf(f.name());
            if (column < 0) {
                column = packet.addColumn(f.def());
            } else if (packet.field(column).type != f.type()) {
                // A column of another type is converted once, so that every
                // later read and write sees the field's own type.
                const int from = column;
                column = packet.addColumn(f.def());
                for (int r = 0; r < packet.rowCount(); ++r)
                    packet.setValue(r, column, f.convert(packet.value(r, from)));
            }
            f.m_column = column;
        }
    } catch (...) {
        discardDynamicFields();
        throw;
    }
    openWith(std::move(packet));
}

void ClientDataSet::createDataSet()
{
    if (m_dataFields.isEmpty())
        throw DataSetError(QStringLiteral("Nenhum campo definido para o conjunto de dados."));
    QList<FieldDef> defs;
    for (int fi : std::as_const(m_dataFields))
        defs.append(m_fields[fi]->def());
    loadPacket(ColumnTable(defs));
}

void ClientDataSet::copyDataFrom(const ClientDataSet &other)
{
    if (!other.isActive())
        throw DataSetError(QStringLiteral("O conjunto de dados de origem está fechado."));
    DataPacket copy = other.m_table;
    if (other.m_state == DataSetState::Insert)
        copy.removeRow(other.currentStorageRow()); // the unsaved new row is not data yet
    loadPacket(std::move(copy));
}

void ClientDataSet::openWith(ColumnTable &&table)
{
    m_table = std::move(table);
    const int rows = m_table.rowCount();
    m_calc = ColumnTable(m_calcDefs);
    m_calc.reserve(rows);
    for (int r = 0; r < rows; ++r)
        m_calc.appendRow();
    m_rowIds.clear();
    m_nextRowId = quint32(rows);
    m_state = DataSetState::Browse;
    try {
        rebuildView();
    } catch (...) {
        resetContent();
        m_state = DataSetState::Inactive;
        discardDynamicFields();
        throw;
    }
    const int count = recordCount();
    m_current = count > 0 ? 0 : -1;
    m_bof = true;
    m_eof = count == 0;
    recalcAll();
    notifyState();
    notifyLayout();
    notifyCurrent();
    if (afterOpen)
        afterOpen(*this);
    if (isActive() && afterScroll)
        afterScroll(*this);
}

void ClientDataSet::resetContent()
{
    m_table = ColumnTable();
    m_calc = ColumnTable();
    m_rowIds.clear();
    m_rowIds.shrink_to_fit();
    m_buffer.clear();
    m_log.clear();
    m_index.clear();
    m_view.clear();
    m_view.shrink_to_fit();
    m_hasView = false;
    m_activeFilter = {};
    m_sortField = -1;
    m_current = -1;
    m_bof = m_eof = true;
}

void ClientDataSet::close()
{
    if (!isActive())
        return;
    if (beforeClose)
        beforeClose(*this);
    closeContent();
}

// The close itself, once beforeClose has let it happen.
void ClientDataSet::closeContent()
{
    resetContent();
    m_state = DataSetState::Inactive;
    discardDynamicFields();
    notifyState();
    notifyLayout();
    if (afterClose)
        afterClose(*this);
}

qint64 ClientDataSet::bytesUsed() const
{
    return m_table.bytesUsed() + m_calc.bytesUsed() +
           qint64(m_rowIds.capacity() * sizeof(quint32)) + qint64(m_view.capacity() * sizeof(int)) +
           m_index.bytesUsed();
}

void ClientDataSet::requireActive() const
{
    if (!isActive())
        throw DataSetError(
            QStringLiteral("Operação não permitida: o conjunto de dados está fechado."));
}

void ClientDataSet::requireRows(const QString &message) const
{
    if (isEmpty())
        throw DataSetError(message);
}

// ---------------------------------------------------------------- navigation

int ClientDataSet::recordCount() const
{
    if (!isActive())
        return 0;
    return m_hasView ? int(m_view.size()) : m_table.rowCount();
}

void ClientDataSet::setEdges(bool bof, bool eof)
{
    m_bof = bof;
    m_eof = eof;
}

void ClientDataSet::scrollTo(int viewRow, bool bof, bool eof)
{
    if (beforeScroll)
        beforeScroll(*this);
    m_current = viewRow;
    setEdges(bof, eof);
    notifyCurrent();
    if (afterScroll)
        afterScroll(*this);
}

void ClientDataSet::first()
{
    requireActive();
    checkBrowseMode();
    if (isEmpty())
        setEdges(true, true);
    else if (m_current != 0)
        scrollTo(0, true, false);
    else
        setEdges(true, false);
}

void ClientDataSet::last()
{
    requireActive();
    checkBrowseMode();
    const int last = recordCount() - 1;
    if (last < 0)
        setEdges(true, true);
    else if (m_current != last)
        scrollTo(last, false, true);
    else
        setEdges(false, true);
}

void ClientDataSet::next()
{
    requireActive();
    checkBrowseMode();
    if (m_current < 0 || m_current >= recordCount() - 1)
        m_eof = true;
    else
        scrollTo(m_current + 1, false, false);
}

void ClientDataSet::prior()
{
    requireActive();
    checkBrowseMode();
    if (m_current <= 0)
        m_bof = true;
    else
        scrollTo(m_current - 1, false, false);
}

void ClientDataSet::moveTo(int viewRow)
{
    requireActive();
    checkBrowseMode();
    const int count = recordCount();
    if (count == 0)
        return;
    viewRow = qBound(0, viewRow, count - 1);
    if (viewRow == m_current)
        setEdges(false, false);
    else
        scrollTo(viewRow, false, false);
}

int ClientDataSet::storageRowOf(quint32 rowId) const
{
    // Row ids start as the row numbers and stay so until rows come or go.
    if (m_rowIds.empty())
        return rowId < quint32(m_table.rowCount()) ? int(rowId) : -1;
    if (rowId < m_rowIds.size() && m_rowIds[rowId] == rowId)
        return int(rowId);
    const auto it = std::find(m_rowIds.begin(), m_rowIds.end(), rowId);
    return it == m_rowIds.end() ? -1 : int(it - m_rowIds.begin());
}

int ClientDataSet::viewPositionOf(int storageRow) const
{
    if (storageRow < 0)
        return -1;
    if (!m_hasView)
        return storageRow < m_table.rowCount() ? storageRow : -1;
    const auto it = std::find(m_view.begin(), m_view.end(), storageRow);
    return it == m_view.end() ? -1 : int(it - m_view.begin());
}

void ClientDataSet::materializeRowIds()
{
    if (!m_rowIds.empty())
        return;
    m_rowIds.resize(size_t(m_table.rowCount()));
    std::iota(m_rowIds.begin(), m_rowIds.end(), 0u);
}

void ClientDataSet::insertStorageRow(int position)
{
    materializeRowIds();
    m_table.insertRow(position);
    m_calc.insertRow(position);
    m_rowIds.insert(m_rowIds.begin() + position, m_nextRowId++);
    if (m_index.isBuilt())
        m_index.rowInserted(position);
    if (m_hasView) {
        for (int &row : m_view) {
            if (row >= position)
                ++row;
        }
    }
}

// The row must already be out of the index and the view.
void ClientDataSet::removeStorageRow(int position)
{
    materializeRowIds();
    m_table.removeRow(position);
    m_calc.removeRow(position);
    m_rowIds.erase(m_rowIds.begin() + position);
    if (m_index.isBuilt())
        m_index.rowRemoved(position);
    if (m_hasView) {
        for (int &row : m_view) {
            if (row > position)
                --row;
        }
    }
}

// ---------------------------------------------------------------- values

QVariant ClientDataSet::storedValue(int row, const Field &field) const
{
    const ColumnTable &table = field.isCalculated() ? m_calc : m_table;
    return table.value(row, field.m_column);
}

QVariantList ClientDataSet::dataValues(int row) const
{
    QVariantList out;
    out.reserve(m_dataFields.size());
    for (int fi : m_dataFields)
        out.append(m_table.value(row, m_fields[fi]->m_column));
    return out;
}

QVariantList ClientDataSet::rowBuffer(int row) const
{
    QVariantList out;
    out.reserve(fieldCount());
    for (const auto &f : m_fields)
        out.append(storedValue(row, *f));
    return out;
}

QVariant ClientDataSet::fieldValue(const Field &field) const
{
    if (m_scopeBuffer || (m_scopeRow < 0 && editing()))
        return m_buffer.value(field.index());
    const int row = m_scopeRow >= 0 ? m_scopeRow : currentStorageRow();
    if (row < 0)
        return {};
    return storedValue(row, field);
}

void ClientDataSet::setFieldValue(Field &field, const QVariant &converted)
{
    if (m_calculating && field.isCalculated()) {
        m_calc.setValue(m_scopeRow, field.m_column, converted);
        return;
    }
    if (!editing() || (m_scopeRow >= 0 && !m_scopeBuffer))
        throw DataSetError(QStringLiteral("Conjunto de dados não está em modo de edição."));
    m_buffer[field.index()] = converted;
    notifyData(m_current);
}

bool ClientDataSet::validCell(int viewRow, int fieldIndex) const
{
    return viewRow >= 0 && viewRow < recordCount() && fieldIndex >= 0 && fieldIndex < fieldCount();
}

QVariant ClientDataSet::valueAt(int viewRow, int fieldIndex) const
{
    if (!validCell(viewRow, fieldIndex))
        return {};
    if (bufferShows(viewRow))
        return m_buffer.value(fieldIndex);
    return storedValue(viewToStorage(viewRow), *m_fields[fieldIndex]);
}

QString ClientDataSet::textAt(int viewRow, int fieldIndex, bool display) const
{
    if (!validCell(viewRow, fieldIndex))
        return {};
    const bool buffer = bufferShows(viewRow);
    RowScope scope(this, buffer ? -1 : viewToStorage(viewRow), buffer);
    const Field &f = *m_fields[fieldIndex];
    return display ? f.displayText() : f.editText();
}

QString ClientDataSet::displayTextAt(int viewRow, int fieldIndex) const
{
    return textAt(viewRow, fieldIndex, true);
}

QString ClientDataSet::editTextAt(int viewRow, int fieldIndex) const
{
    return textAt(viewRow, fieldIndex, false);
}

// ---------------------------------------------------------------- calculated fields

void ClientDataSet::recalcRow(int row)
{
    if (m_calcDefs.isEmpty() || !onCalcFields)
        return;
    for (int c = 0; c < m_calc.columnCount(); ++c)
        m_calc.setNull(row, c);
    RowScope scope(this, row, false);
    const bool was = m_calculating;
    m_calculating = true;
    try {
        onCalcFields(*this);
    } catch (...) {
        m_calculating = was;
        throw;
    }
    m_calculating = was;
}

// A filter may use calculated fields: their new values must reach the index.
void ClientDataSet::recalcKeepingIndex(int row)
{
    if (!m_index.isBuilt() || m_calcDefs.isEmpty()) {
        recalcRow(row);
        return;
    }
    const QString oldKey = rowKey(row, m_index.fields());
    try {
        recalcRow(row);
    } catch (...) {
        indexRowChanged(row, oldKey);
        throw;
    }
    indexRowChanged(row, oldKey);
}

void ClientDataSet::recalcAll()
{
    if (m_calcDefs.isEmpty() || !onCalcFields)
        return;
    for (int r = 0; r < m_table.rowCount(); ++r)
        recalcRow(r);
}

// ---------------------------------------------------------------- data sources

void ClientDataSet::attach(DataSource *source)
{
    if (!m_sources.contains(source))
        m_sources.append(source);
}

void ClientDataSet::detach(DataSource *source)
{
    m_sources.removeAll(source);
}

void ClientDataSet::disableControls()
{
    if (m_disableCount++ == 0) {
        m_suppressed = false;
        m_stateWhenDisabled = m_state;
    }
}

void ClientDataSet::enableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0 || !m_suppressed)
        return;
    m_suppressed = false;
    notifyLayout();
    notifyCurrent();
    if (m_state != m_stateWhenDisabled)
        notifyState();
}

// Every data source hears it, unless controls are disabled: then it is only
// remembered, and enableControls() brings the sources up to date at once.
template <typename Emit> void ClientDataSet::notifySources(Emit emitTo)
{
    if (m_disableCount > 0) {
        m_suppressed = true;
        return;
    }
    const QList<DataSource *> sources = m_sources; // a handler may detach one
    for (DataSource *s : sources)
        emitTo(s);
}

void ClientDataSet::notifyState()
{
    notifySources([](DataSource *s) { s->emitState(); });
}

void ClientDataSet::notifyData(int viewRow)
{
    notifySources([viewRow](DataSource *s) { emit s->dataChanged(viewRow); });
}

void ClientDataSet::notifyCurrent()
{
    notifySources([this](DataSource *s) { emit s->currentChanged(m_current); });
}

void ClientDataSet::notifyLayout()
{
    notifySources([](DataSource *s) { emit s->layoutChanged(); });
}

} // namespace prx

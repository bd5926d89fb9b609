#include "SearchModel.h"

#include "dataset/ClientDataSet.h"
#include "services/EditMask.h"

namespace prx {

namespace {
// Separates the columns of a row's filter line; nobody types it.
constexpr QChar columnSeparator(0x1f);
} // namespace

SearchModel::SearchModel(const ClientDataSet &dataSet, bool markColumn, QObject *parent)
    : QAbstractTableModel(parent), m_dataSet(dataSet), m_markColumn(markColumn)
{
    for (int i = 0; i < dataSet.fieldCount(); ++i) {
        const Field &f = dataSet.field(i);
        // The dataset's own mark field is what the mark column stands for:
        // shown as well, it was an empty column titled with its name.
        if (f.isVisible() &&
            !(markColumn && f.name().compare(u"IDMARCADO", Qt::CaseInsensitive) == 0))
            m_fields.append(i);
    }
    m_marks.assign(size_t(dataSet.recordCount()), false);
}

int SearchModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_allRows ? m_dataSet.recordCount() : int(m_rows.size());
}

int SearchModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_fields.size()) + firstFieldColumn();
}

int SearchModel::datasetRow(int modelRow) const
{
    if (modelRow < 0 || modelRow >= rowCount())
        return -1;
    return m_allRows ? modelRow : m_rows[size_t(modelRow)];
}

int SearchModel::modelRow(int datasetRow) const
{
    if (datasetRow < 0 || datasetRow >= m_dataSet.recordCount())
        return -1;
    if (m_allRows)
        return datasetRow;
    const auto it = std::lower_bound(m_rows.begin(), m_rows.end(), datasetRow);
    return it != m_rows.end() && *it == datasetRow ? int(it - m_rows.begin()) : -1;
}

QString SearchModel::cellText(int datasetRow, int fieldIndex) const
{
    const Field &f = m_dataSet.field(fieldIndex);
    QString text = m_dataSet.displayTextAt(datasetRow, fieldIndex);
    // Codes kept without their literals are shown the way they are typed.
    if (f.type() == FieldType::String && !f.editMask().isEmpty() && !f.onGetText)
        text = EditMask(f.editMask()).format(text);
    return text;
}

QVariant SearchModel::data(const QModelIndex &index, int role) const
{
    const int row = datasetRow(index.row());
    if (row < 0)
        return {};
    const int column = index.column() - firstFieldColumn();
    if (column < 0) {
        if (role == Qt::CheckStateRole)
            return isMarked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    const int fieldIndex = m_fields.value(column, -1);
    if (fieldIndex < 0)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cellText(row, fieldIndex);
    case Qt::TextAlignmentRole: {
        const FieldType t = m_dataSet.field(fieldIndex).type();
        const bool number = t == FieldType::Float || t == FieldType::Integer;
        return int((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }
    default:
        return {};
    }
}

QVariant SearchModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const int column = section - firstFieldColumn();
    if (column < 0)
        return QString();
    const int fieldIndex = m_fields.value(column, -1);
    return fieldIndex < 0 ? QVariant() : QVariant(m_dataSet.field(fieldIndex).displayLabel());
}

Qt::ItemFlags SearchModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (m_markColumn && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool SearchModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_markColumn || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    const int row = datasetRow(index.row());
    if (row < 0)
        return false;
    setMarked(row, value.toInt() == Qt::Checked);
    return true;
}

void SearchModel::buildHaystack() const
{
    if (!m_haystack.empty() || m_dataSet.recordCount() == 0)
        return;
    const int count = m_dataSet.recordCount();
    m_haystack.resize(size_t(count));
    for (int r = 0; r < count; ++r) {
        QString line;
        for (int fi : m_fields) {
            line += cellText(r, fi);
            line += columnSeparator;
        }
        m_haystack[size_t(r)] = line.toLower();
    }
}

void SearchModel::setFilterText(const QString &text)
{
    const QString wanted = text.toLower();
    if (wanted == m_filter)
        return;
    beginResetModel();
    if (wanted.isEmpty()) {
        m_allRows = true;
        m_rows.clear();
    } else {
        buildHaystack();
        // A longer text can only narrow what the shorter one let through.
        const bool narrowing = !m_allRows && !m_filter.isEmpty() && wanted.startsWith(m_filter);
        std::vector<int> rows;
        if (narrowing) {
            for (int r : m_rows) {
                if (m_haystack[size_t(r)].contains(wanted))
                    rows.push_back(r);
            }
        } else {
            for (int r = 0; r < int(m_haystack.size()); ++r) {
                if (m_haystack[size_t(r)].contains(wanted))
                    rows.push_back(r);
            }
        }
        m_rows.swap(rows);
        m_allRows = false;
    }
    m_filter = wanted;
    endResetModel();
}

bool SearchModel::isMarked(int datasetRow) const
{
    return datasetRow >= 0 && size_t(datasetRow) < m_marks.size() && m_marks[size_t(datasetRow)];
}

void SearchModel::setMarked(int datasetRow, bool marked)
{
    if (datasetRow < 0 || size_t(datasetRow) >= m_marks.size())
        return;
    m_marks[size_t(datasetRow)] = marked;
    const int row = modelRow(datasetRow);
    if (row >= 0)
        emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void SearchModel::toggleMarked(int modelRow)
{
    const int row = datasetRow(modelRow);
    if (row >= 0)
        setMarked(row, !isMarked(row));
}

void SearchModel::markShown(bool marked)
{
    const int count = rowCount();
    for (int r = 0; r < count; ++r)
        m_marks[size_t(datasetRow(r))] = marked;
    if (count > 0)
        emit dataChanged(index(0, 0), index(count - 1, 0), {Qt::CheckStateRole});
}

QList<int> SearchModel::markedRows() const
{
    QList<int> out;
    for (size_t r = 0; r < m_marks.size(); ++r) {
        if (m_marks[r])
            out.append(int(r));
    }
    return out;
}

} // namespace prx

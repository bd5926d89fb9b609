#include "DBGridModel.h"

#include "DBGrid.h"
#include "DBGridColumn.h"

#include "dataset/ClientDataSet.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace prx {

DBGridModel::DBGridModel(DBGrid &grid) : QAbstractTableModel(&grid), m_grid(grid) {}

int DBGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int DBGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QVariant DBGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.column() >= m_grid.columnCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return m_grid.cellText(index.row(), m_grid.column(index.column()));
    case Qt::TextAlignmentRole:
        return int(m_grid.column(index.column()).alignment() | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant DBGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && section < m_grid.columnCount())
            return m_grid.column(section).title();
        if (role == Qt::TextAlignmentRole)
            return int(Qt::AlignLeft | Qt::AlignVCenter);
        return {};
    }
    if (role == Qt::DecorationRole) {
        const ClientDataSet *ds = m_grid.dataSet();
        if (ds && section == ds->currentRow())
            return indicator();
    }
    if (role == Qt::DisplayRole)
        return QString();
    return {};
}

Qt::ItemFlags DBGridModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The grid itself decides when a cell may be edited.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
}

void DBGridModel::syncRows()
{
    const ClientDataSet *ds = m_grid.dataSet();
    const int rows = ds && ds->isActive() ? ds->recordCount() : 0;
    if (m_columns != m_grid.columnCount()) {
        reset();
        return;
    }
    if (rows > m_rows) {
        beginInsertRows({}, m_rows, rows - 1);
        m_rows = rows;
        endInsertRows();
    } else if (rows < m_rows) {
        beginRemoveRows({}, rows, m_rows - 1);
        m_rows = rows;
        endRemoveRows();
    }
    rowChanged(-1);
    emit headerDataChanged(Qt::Vertical, 0, qMax(0, m_rows - 1));
}

void DBGridModel::reset()
{
    beginResetModel();
    const ClientDataSet *ds = m_grid.dataSet();
    m_rows = ds && ds->isActive() ? ds->recordCount() : 0;
    m_columns = m_grid.columnCount();
    endResetModel();
}

void DBGridModel::rowChanged(int row)
{
    if (m_rows == 0 || m_columns == 0)
        return;
    if (row < 0 || row >= m_rows) {
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1), {Qt::DisplayRole});
        return;
    }
    emit dataChanged(index(row, 0), index(row, m_columns - 1), {Qt::DisplayRole});
    emit headerDataChanged(Qt::Vertical, row, row);
}

void DBGridModel::titlesChanged()
{
    if (m_columns > 0)
        emit headerDataChanged(Qt::Horizontal, 0, m_columns - 1);
}

void DBGridModel::indicatorChanged(int oldRow, int newRow)
{
    for (int row : {oldRow, newRow}) {
        if (row >= 0 && row < m_rows)
            emit headerDataChanged(Qt::Vertical, row, row);
    }
}

QIcon DBGridModel::indicator() const
{
    // A triangle on the current row; a pencil stroke beside it while the row
    // is being edited, a star while it is new.
    const ClientDataSet *ds = m_grid.dataSet();
    const DataSetState state = ds ? ds->state() : DataSetState::Inactive;
    static QIcon icons[3];
    const int which = state == DataSetState::Edit ? 1 : state == DataSetState::Insert ? 2 : 0;
    if (icons[which].isNull()) {
        QPixmap pixmap(12, 12);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor ink(0x30, 0x30, 0x30);
        if (which == 0) {
            QPainterPath path;
            path.moveTo(3, 2);
            path.lineTo(9, 6);
            path.lineTo(3, 10);
            path.closeSubpath();
            p.fillPath(path, ink);
        } else if (which == 1) {
            p.setPen(QPen(ink, 1.6));
            p.drawLine(QPointF(3, 10), QPointF(9, 2));
            p.drawLine(QPointF(2, 10.5), QPointF(5, 10.5));
        } else {
            p.setPen(QPen(ink, 1.5));
            p.drawLine(QPointF(6, 1.5), QPointF(6, 10.5));
            p.drawLine(QPointF(2, 4), QPointF(10, 8));
            p.drawLine(QPointF(2, 8), QPointF(10, 4));
        }
        icons[which] = QIcon(pixmap);
    }
    return icons[which];
}

} // namespace prx

#include "DBGridCursor.h"

#include "DBGrid.h"

namespace prx {

DBGridCursor::DBGridCursor(DBGrid &grid, QAbstractItemModel *model)
    : QItemSelectionModel(model, &grid), m_grid(grid)
{
}

void DBGridCursor::setCurrentIndex(const QModelIndex &index,
                                   QItemSelectionModel::SelectionFlags command)
{
    if (m_placing || !index.isValid()) {
        QItemSelectionModel::setCurrentIndex(index, command);
        return;
    }
    m_grid.requestCell(index.row(), index.column());
}

void DBGridCursor::placeCursor(const QModelIndex &index)
{
    m_placing = true;
    QItemSelectionModel::setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    m_placing = false;
}

} // namespace prx

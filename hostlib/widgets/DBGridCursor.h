#pragma once

#include <QItemSelectionModel>

namespace prx {

class DBGrid;

// The grid's current cell. Every move the view asks for (a click, a key) goes
// to the grid first, which runs the column exit and posts the row and may
// refuse; the cell changes only when the grid says so.
class DBGridCursor : public QItemSelectionModel
{
    Q_OBJECT

public:
    DBGridCursor(DBGrid &grid, QAbstractItemModel *model);

    void setCurrentIndex(const QModelIndex &index,
                         QItemSelectionModel::SelectionFlags command) override;
    // The grid's own moves.
    void placeCursor(const QModelIndex &index);

private:
    DBGrid &m_grid;
    bool m_placing = false;
};

} // namespace prx

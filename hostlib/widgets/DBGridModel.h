#pragma once

#include <QAbstractTableModel>
#include <QIcon>

namespace prx {

class DBGrid;

// The grid's rows and columns over its data source. Nothing is copied: the
// view asks only for the cells it paints, and each is read from the dataset.
// Row-count changes are told to the view as rows added or taken at the end,
// followed by a repaint of every row, so that the view never resets (which
// would close an open cell editor and cost time over a million rows).
class DBGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit DBGridModel(DBGrid &grid);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Brings the row count in line with the dataset and repaints every row.
    void syncRows();
    // Columns came or went: the view starts over.
    void reset();
    void rowChanged(int row); // -1: every row
    void titlesChanged();
    void indicatorChanged(int oldRow, int newRow);

private:
    QIcon indicator() const;

    DBGrid &m_grid;
    int m_rows = 0;
    int m_columns = 0;
};

} // namespace prx

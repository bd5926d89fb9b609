#include "TDBSortGrid.h"

#include <QHeaderView>

namespace prx {

TDBSortGrid::TDBSortGrid(QWidget *parent) : DBGrid(parent)
{
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
}

void TDBSortGrid::titleClicked(DBGridColumn &column)
{
    ClientDataSet *ds = dataSet();
    const Field *f = column.field();
    if (!ds || !ds->isActive() || !f)
        return;
    const bool ascending = ds->sortField() == f->index() ? !ds->sortAscending() : true;
    commitEditor();
    hideEditor();
    ds->sortBy(f->name(), ascending);
}

} // namespace prx

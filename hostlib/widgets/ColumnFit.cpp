#include "ColumnFit.h"

#include "DBGrid.h"
#include "DBGridColumn.h"

#include "dataset/ClientDataSet.h"

#include <QHeaderView>

namespace prx {

void fitColumnTitles(DBGrid &grid)
{
    const QHeaderView *header = grid.horizontalHeader();
    for (int c = 0; c < grid.columnCount() && c < header->count(); ++c) {
        DBGridColumn &column = grid.column(c);
        // The header's own measure: title, margins and, when it sorts, the mark.
        const int needed = header->sectionSizeHint(c);
        if (column.isVisible() && column.width() < needed)
            column.setWidth(needed);
    }
}

void fitColumnContents(DBGrid &grid, int maxWidth)
{
    fitColumnTitles(grid);
    const ClientDataSet *data = grid.dataSet();
    if (!data || !data->isActive())
        return;
    const QFontMetrics fm = grid.fontMetrics();
    // The grid draws a cell's text 2 pixels in from each side; a little more
    // keeps it off the lines.
    const int padding = 8;
    for (int c = 0; c < grid.columnCount(); ++c) {
        DBGridColumn &column = grid.column(c);
        if (!column.isVisible())
            continue;
        int widest = column.width();
        for (int r = 0; r < data->recordCount() && widest < maxWidth; ++r)
            widest = qMax(widest, fm.horizontalAdvance(grid.cellText(r, column)) + padding);
        widest = qMin(widest, qMax(maxWidth, column.width()));
        if (widest > column.width())
            column.setWidth(widest);
    }
}

void setReadOnlyList(DBGrid &grid)
{
    grid.setOptions(DBGrid::Titles | DBGrid::Lines | DBGrid::RowSelect |
                    DBGrid::AlwaysShowSelection | DBGrid::ColumnResize);
    grid.setReadOnly(true);
    QFont bold = grid.horizontalHeader()->font();
    bold.setBold(true);
    grid.horizontalHeader()->setFont(bold);
}

} // namespace prx

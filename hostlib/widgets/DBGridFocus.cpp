#include "DBGridFocus.h"

#include "DBGrid.h"
#include "WidgetUtils.h"

#include <QApplication>

namespace prx {

DBGridFocus &DBGridFocus::instance()
{
    static DBGridFocus *focus = new DBGridFocus; // lives as long as the application
    return *focus;
}

DBGridFocus::DBGridFocus()
{
    connect(qApp, &QApplication::focusChanged, this, &DBGridFocus::focusChanged);
}

void DBGridFocus::add(DBGrid *grid)
{
    m_grids.append(grid);
}

void DBGridFocus::remove(DBGrid *grid)
{
    m_grids.removeAll(grid);
    m_grids.removeAll(nullptr);
}

void DBGridFocus::focusChanged(QWidget *, QWidget *now)
{
    if (!now)
        return; // the application lost the focus: no control of a form changed
    const QList<QPointer<DBGrid>> grids = m_grids;
    for (const QPointer<DBGrid> &grid : grids) {
        if (!grid || !grid->m_focusWithin || widgetBelongsTo(now, grid))
            continue;
        if (formOf(now) != formOf(grid))
            continue; // a dialog or another form: the grid stays its form's control
        if (!grid->focusLeft())
            return; // the grid refused to be left and took the focus back
    }
    for (const QPointer<DBGrid> &grid : grids) {
        if (grid && !grid->m_focusWithin && widgetBelongsTo(QApplication::focusWidget(), grid))
            grid->focusEntered();
    }
}

} // namespace prx

#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QWidget;

namespace prx {

class DBGrid;

// Tells the grids when the focus enters or leaves them, the way the user
// sees it: moving between a grid and its own cell editor or pick list is no
// change, and neither is a message box or another form taking the focus for
// a while. The grid that is left hears of it before the one entered.
class DBGridFocus : public QObject
{
    Q_OBJECT

public:
    static DBGridFocus &instance();
    void add(DBGrid *grid);
    void remove(DBGrid *grid);

private:
    DBGridFocus();
    void focusChanged(QWidget *old, QWidget *now);

    QList<QPointer<DBGrid>> m_grids;
};

} // namespace prx

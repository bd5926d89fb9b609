#pragma once

#include "DBGrid.h"

namespace prx {

// A data grid whose title click sorts the rows by that column, ascending
// first and the other way on the next click, with an arrow in the title. A
// title-click handler that aborts keeps the order as it is.
class TDBSortGrid : public DBGrid
{
    Q_OBJECT

public:
    explicit TDBSortGrid(QWidget *parent = nullptr);

protected:
    void titleClicked(DBGridColumn &column) override;
};

} // namespace prx

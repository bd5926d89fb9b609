#pragma once

#include <QTableView>

namespace prx {

class DBGrid;

// The first columns of a grid kept in view while the grid scrolls sideways
// (the product's code and name beside its prices): a second view over the
// grid's rows, with the grid's cursor and painting, laid over its left edge.
// A click in it moves the grid's cursor; it never takes the focus itself.
class DBGridFrozenView : public QTableView
{
    Q_OBJECT

public:
    DBGridFrozenView(DBGrid &grid, int count);

    int count() const { return m_count; }
    // The width the frozen columns take in the grid's viewport.
    int frozenWidth() const;
    // Takes the grid's column widths, titles and place again.
    void follow();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    DBGrid &m_grid; // not owned: the parent
    int m_count;
};

} // namespace prx

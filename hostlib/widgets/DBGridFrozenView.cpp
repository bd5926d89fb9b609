#include "DBGridFrozenView.h"

#include "DBGrid.h"

#include "services/UserAction.h"

#include <QApplication>
#include <QHeaderView>
#include <QMouseEvent>
#include <QScrollBar>

namespace prx {

DBGridFrozenView::DBGridFrozenView(DBGrid &grid, int count)
    : QTableView(&grid), m_grid(grid), m_count(count)
{
    setObjectName(grid.objectName() + QStringLiteral("Fixas"));
    setModel(grid.model());
    setSelectionModel(grid.selectionModel()); // the grid's cursor: clicks go through it
    setItemDelegate(grid.itemDelegate());
    setFocusPolicy(Qt::NoFocus);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(grid.verticalScrollMode());
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(grid.horizontalHeader()->defaultAlignment());
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setHighlightSections(false);

    connect(horizontalHeader(), &QHeaderView::sectionClicked, &grid,
            [&grid](int section) { grid.titleClick(section); });
    dropColumnSelection(this);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, grid.verticalScrollBar(),
            &QScrollBar::setValue);
    connect(grid.verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
            &QScrollBar::setValue);
    connect(grid.horizontalHeader(), &QHeaderView::sectionResized, this, [this] { follow(); });
    follow();
    show();
}

int DBGridFrozenView::frozenWidth() const
{
    int width = 0;
    for (int c = 0; c < m_count && c < m_grid.model()->columnCount(); ++c) {
        if (!m_grid.isColumnHidden(c))
            width += m_grid.columnWidth(c);
    }
    return width;
}

void DBGridFrozenView::follow()
{
    const int columns = model()->columnCount();
    for (int c = 0; c < columns; ++c) {
        const bool hidden = c >= m_count || m_grid.isColumnHidden(c);
        setColumnHidden(c, hidden);
        if (!hidden)
            setColumnWidth(c, m_grid.columnWidth(c));
    }
    setShowGrid(m_grid.showGrid());
    setPalette(m_grid.palette());

    const QHeaderView *titles = m_grid.horizontalHeader();
    horizontalHeader()->setVisible(titles->isVisible());
    horizontalHeader()->setFixedHeight(titles->height());
    horizontalHeader()->setSortIndicatorShown(titles->isSortIndicatorShown());
    horizontalHeader()->setSortIndicator(titles->sortIndicatorSection(),
                                         titles->sortIndicatorOrder());
    const QHeaderView *rows = m_grid.verticalHeader();
    verticalHeader()->setVisible(rows->isVisible());
    verticalHeader()->setFixedWidth(rows->width());
    verticalHeader()->setDefaultSectionSize(rows->defaultSectionSize());
    verticalHeader()->setMinimumSectionSize(rows->minimumSectionSize());

    const int frame = m_grid.frameWidth();
    const int left = rows->isVisible() ? rows->width() : 0;
    const int top = titles->isVisible() ? titles->height() : 0;
    setGeometry(frame, frame, left + frozenWidth(), top + m_grid.viewport()->height());
    verticalScrollBar()->setRange(m_grid.verticalScrollBar()->minimum(),
                                  m_grid.verticalScrollBar()->maximum());
    verticalScrollBar()->setValue(m_grid.verticalScrollBar()->value());
}

// The focus goes to the grid, as a click on its own cells would give it.
void DBGridFrozenView::mousePressEvent(QMouseEvent *event)
{
    if (!m_grid.hasFocus() && !m_grid.editorHasFocus())
        m_grid.setFocus(Qt::MouseFocusReason);
    QTableView::mousePressEvent(event);
}

void DBGridFrozenView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() &&
        index.row() == m_grid.currentRow() && index.column() == m_grid.selectedIndex()) {
        runUserAction([this] { m_grid.showEditor(); });
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

// The wheel moves the grid's rows, as over the grid itself.
void DBGridFrozenView::wheelEvent(QWheelEvent *event)
{
    QApplication::sendEvent(m_grid.viewport(), event);
}

} // namespace prx

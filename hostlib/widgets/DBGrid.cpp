// The data grid: data source, columns, options and moving around. Editing,
// keys and painting are in DBGridEditing.cpp.
#include "DBGrid.h"

#include "DBGridCursor.h"
#include "DBGridDelegate.h"
#include "DBGridFocus.h"
#include "DBGridFrozenView.h"
#include "DBGridModel.h"

#include "services/UserAction.h"

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QWheelEvent>

namespace prx {

// A table view selects a column when its title is pressed, and makes the cell
// of the row at the top of the view current: here that would move the
// dataset to another record before the title click runs. A title only sorts.
void dropColumnSelection(QTableView *view)
{
    QHeaderView *titles = view->horizontalHeader();
    QObject::disconnect(titles, &QHeaderView::sectionPressed, view, nullptr);
    QObject::disconnect(titles, &QHeaderView::sectionEntered, view, nullptr);
}

DBGrid::DBGrid(QWidget *parent) : QTableView(parent)
{
    m_options = Options(Editing | Tabs | Titles | Lines | ColumnResize | ConfirmDelete);
    m_color = palette().color(QPalette::Base);

    m_model = new DBGridModel(*this);
    m_delegate = new DBGridDelegate(*this);
    setModel(m_model);
    m_cursor = new DBGridCursor(*this, m_model);
    setSelectionModel(m_cursor);
    setItemDelegate(m_delegate);

    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    const int rowHeight = fontMetrics().height() + 6;
    QHeaderView *rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(rowHeight);
    rows->setMinimumSectionSize(rowHeight);
    rows->setFixedWidth(14);
    rows->setHighlightSections(false);
    QHeaderView *titles = horizontalHeader();
    titles->setHighlightSections(false);
    titles->setSectionsClickable(true);
    titles->setMinimumSectionSize(8);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(titles, &QHeaderView::sectionClicked, this, &DBGrid::titleClick);
    dropColumnSelection(this);
    connect(titles, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (section < columnCount() && testOption(ColumnResize))
            m_columns[size_t(section)]->m_width = size;
    });

    DBGridFocus::instance().add(this);
}

DBGrid::~DBGrid()
{
    DBGridFocus::instance().remove(this);
    for (const auto &c : std::as_const(m_sourceConnections))
        disconnect(c);
}

ClientDataSet *DBGrid::dataSet() const
{
    return m_source ? m_source->dataSet() : nullptr;
}

DBGrid *DBGrid::fromWidget(QWidget *widget)
{
    for (QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *grid = qobject_cast<DBGrid *>(w))
            return grid;
    }
    return nullptr;
}

QColor DBGrid::infoColor()
{
    return QApplication::palette().color(QPalette::ToolTipBase);
}

// ---------------------------------------------------------------- data source

void DBGrid::setDataSource(DataSource *source)
{
    if (m_source == source)
        return;
    hideEditor();
    for (const auto &c : std::as_const(m_sourceConnections))
        disconnect(c);
    m_sourceConnections.clear();
    m_source = source;
    if (source) {
        m_sourceConnections
            << connect(source, &DataSource::stateChanged, this, &DBGrid::sourceStateChanged)
            << connect(source, &DataSource::dataChanged, this, &DBGrid::sourceDataChanged)
            << connect(source, &DataSource::currentChanged, this, &DBGrid::sourceCurrentChanged)
            << connect(source, &DataSource::layoutChanged, this, &DBGrid::sourceLayoutChanged)
            // A post asks for the text still in the cell editor before its checks.
            << connect(source, &DataSource::updateRecord, this, &DBGrid::commitEditor,
                       Qt::DirectConnection)
            << connect(source, &QObject::destroyed, this, [this] {
                   // The rows went with their source.
                   m_sourceConnections.clear();
                   hideEditor();
                   sourceLayoutChanged();
               });
    }
    m_lastState = source ? source->state() : DataSetState::Inactive;
    sourceLayoutChanged();
}

void DBGrid::sourceStateChanged()
{
    const ClientDataSet *ds = dataSet();
    const DataSetState state = ds ? ds->state() : DataSetState::Inactive;
    const bool editing = state == DataSetState::Edit || state == DataSetState::Insert;
    const bool wasEditing =
        m_lastState == DataSetState::Edit || m_lastState == DataSetState::Insert;
    m_lastState = state;
    if (editing) {
        if (m_snapshot.isEmpty())
            snapshotRow();
    } else {
        m_snapshot.clear();
        // Posted (the text was handed over first) or cancelled: the editor
        // has nothing left to do.
        if (wasEditing || state == DataSetState::Inactive)
            hideEditor();
    }
    m_model->indicatorChanged(-1, ds ? ds->currentRow() : -1);
    refreshView();
}

void DBGrid::sourceDataChanged(int row)
{
    m_model->rowChanged(row);
    const ClientDataSet *ds = dataSet();
    if (editorActive() && !m_editorModified && !m_committing && ds &&
        (row < 0 || row == ds->currentRow()))
        loadEditorText(); // code changed the value under an untouched editor
}

void DBGrid::sourceCurrentChanged(int row)
{
    if (editorActive() && row != m_lastRow)
        hideEditor();
    m_model->indicatorChanged(m_lastRow, row);
    m_lastRow = row;
    placeCursor();
}

void DBGrid::sourceLayoutChanged()
{
    if (m_autoColumns)
        rebuildAutoColumns();
    m_model->syncRows();
    applyColumnLayout();
    updateSortIndicator();
    const ClientDataSet *ds = dataSet();
    m_lastRow = ds ? ds->currentRow() : -1;
    placeCursor();
}

void DBGrid::rebuildAutoColumns()
{
    QStringList names;
    if (const ClientDataSet *ds = dataSet(); ds && ds->isActive()) {
        for (int i = 0; i < ds->fieldCount(); ++i) {
            if (ds->field(i).isVisible())
                names.append(ds->field(i).name());
        }
    }
    QStringList current;
    for (const auto &c : m_columns)
        current.append(c->fieldName());
    if (names == current)
        return;
    hideEditor();
    m_columns.clear();
    for (const QString &name : std::as_const(names))
        m_columns.push_back(
            std::unique_ptr<DBGridColumn>(new DBGridColumn(this, int(m_columns.size()), name)));
    m_col = qBound(0, m_col, qMax(0, columnCount() - 1));
    m_model->reset();
}

void DBGrid::setFrozenColumns(int count)
{
    delete m_frozen;
    m_frozen = count > 0 ? new DBGridFrozenView(*this, count) : nullptr;
}

int DBGrid::frozenColumns() const
{
    return m_frozen ? m_frozen->count() : 0;
}

void DBGrid::refreshView()
{
    viewport()->update();
    if (m_frozen)
        m_frozen->viewport()->update();
}

void DBGrid::updateGeometries()
{
    QTableView::updateGeometries();
    if (m_frozen)
        m_frozen->follow();
}

// A frozen column is always in view: moving to it never scrolls sideways. A
// cell of the other columns is brought out from under the frozen ones.
void DBGrid::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!m_frozen || !index.isValid() || !m_frozen->isVisible()) {
        QTableView::scrollTo(index, hint);
        return;
    }
    QScrollBar *sideways = horizontalScrollBar();
    const int before = sideways->value();
    QTableView::scrollTo(index, hint);
    if (index.column() < m_frozen->count()) {
        sideways->setValue(before);
        return;
    }
    const int hiddenBy = m_frozen->frozenWidth() - visualRect(index).left();
    if (hiddenBy > 0)
        sideways->setValue(sideways->value() - hiddenBy);
}

void DBGrid::applyColumnLayout()
{
    QHeaderView *titles = horizontalHeader();
    titles->setVisible(testOption(Titles));
    titles->setSectionResizeMode(testOption(ColumnResize) ? QHeaderView::Interactive
                                                          : QHeaderView::Fixed);
    setShowGrid(testOption(Lines));
    for (int i = 0; i < columnCount(); ++i) {
        const DBGridColumn &c = column(i);
        setColumnHidden(i, !c.isVisible());
        if (c.isVisible() && columnWidth(i) != c.width())
            setColumnWidth(i, c.width());
    }
    // The cursor never rests in a hidden column.
    if (m_col < columnCount() && !column(m_col).isVisible()) {
        const int visible = nextVisibleColumn(m_col, 1);
        m_col = visible >= 0 ? visible : qMax(0, nextVisibleColumn(m_col, -1));
        placeCursor();
    }
    m_model->titlesChanged();
    if (m_frozen)
        m_frozen->follow();
}

void DBGrid::columnChanged(DBGridColumn &changed, bool layout)
{
    if (layout)
        applyColumnLayout();
    if (editorActive() && m_editorCol == changed.index() && (changed.isReadOnly() || !layout))
        hideEditor(); // its kind of editor, or whether it may edit, changed under it
    refreshView();
}

void DBGrid::updateSortIndicator()
{
    QHeaderView *titles = horizontalHeader();
    if (!titles->isSortIndicatorShown())
        return;
    const ClientDataSet *ds = dataSet();
    int section = -1;
    if (ds && ds->isActive() && ds->sortField() >= 0) {
        if (DBGridColumn *c = columnByField(ds->field(ds->sortField()).name()))
            section = c->index();
    }
    titles->setSortIndicator(section,
                             ds && ds->sortAscending() ? Qt::AscendingOrder : Qt::DescendingOrder);
}

// ---------------------------------------------------------------- columns

DBGridColumn &DBGrid::addColumn(const QString &fieldName, const QString &title, int width)
{
    if (m_autoColumns) {
        hideEditor();
        m_columns.clear();
        m_autoColumns = false;
        m_col = 0;
    }
    m_columns.push_back(
        std::unique_ptr<DBGridColumn>(new DBGridColumn(this, int(m_columns.size()), fieldName)));
    DBGridColumn &c = *m_columns.back();
    if (!title.isNull()) {
        c.m_title = title;
        c.m_titleSet = true;
    }
    c.m_width = width;
    m_model->reset();
    applyColumnLayout();
    placeCursor();
    return c;
}

void DBGrid::clearColumns()
{
    hideEditor();
    m_columns.clear();
    m_autoColumns = true;
    m_col = 0;
    sourceLayoutChanged();
}

DBGridColumn *DBGrid::columnByField(QStringView fieldName) const
{
    for (const auto &c : m_columns) {
        if (fieldName.compare(c->fieldName(), Qt::CaseInsensitive) == 0)
            return c.get();
    }
    return nullptr;
}

// ---------------------------------------------------------------- options

void DBGrid::setOptions(Options options)
{
    m_options = options;
    if (!testOption(Editing))
        hideEditor();
    applyColumnLayout();
    refreshView();
}

void DBGrid::setOption(Option option, bool on)
{
    setOptions(on ? (m_options | option) : (m_options & ~Options(option)));
}

void DBGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    if (readOnly)
        hideEditor();
    refreshView();
}

void DBGrid::setColor(const QColor &color)
{
    m_color = color;
    refreshView();
}

// ---------------------------------------------------------------- current cell

int DBGrid::currentRow() const
{
    const ClientDataSet *ds = dataSet();
    return ds && ds->isActive() ? ds->currentRow() : -1;
}

Field *DBGrid::selectedField() const
{
    const DBGridColumn *c = selectedColumn();
    return c ? c->field() : nullptr;
}

DBGridColumn *DBGrid::selectedColumn() const
{
    return m_col >= 0 && m_col < columnCount() ? m_columns[size_t(m_col)].get() : nullptr;
}

void DBGrid::setSelectedIndex(int index)
{
    goTo(currentRow(), index);
}

void DBGrid::placeCursor()
{
    const int row = currentRow();
    if (row < 0 || row >= m_model->rowCount() || columnCount() == 0) {
        m_cursor->placeCursor(QModelIndex());
        refreshView();
        return;
    }
    const QModelIndex index = m_model->index(row, qBound(0, m_col, columnCount() - 1));
    m_cursor->placeCursor(index);
    // Only the row is brought into view: a programmatic move of the dataset
    // must not scroll the grid sideways.
    if (!isColumnHidden(index.column()))
        scrollTo(index);
    refreshView();
}

int DBGrid::nextVisibleColumn(int from, int step) const
{
    for (int c = from + step; c >= 0 && c < columnCount(); c += step) {
        if (column(c).isVisible())
            return c;
    }
    return -1;
}

int DBGrid::rowsPerPage() const
{
    return qMax(1, viewport()->height() / qMax(1, verticalHeader()->defaultSectionSize()) - 1);
}

void DBGrid::requestCell(int row, int column)
{
    runUserAction([&] { goTo(row, column); });
}

// Writes what is being typed, runs the column exit, moves the dataset (which
// posts the row being edited) and runs the column entry. Whatever refuses
// leaves the cell where it was.
void DBGrid::goTo(int row, int columnIndex)
{
    ClientDataSet *ds = dataSet();
    if (columnCount() == 0)
        return;
    columnIndex = qBound(0, columnIndex, columnCount() - 1);
    const int oldCol = m_col;
    commitEditor();
    if (columnIndex != oldCol && !m_inColExit) {
        if (onColExit) {
            m_inColExit = true;
            try {
                onColExit(*this);
            } catch (...) {
                m_inColExit = false;
                throw;
            }
            m_inColExit = false;
        }
        if (m_col != oldCol)
            return; // the handler chose the column itself
    }
    if (ds && ds->isActive() && row >= 0 && row != ds->currentRow()) {
        hideEditor();
        int target = row;
        if (ds->state() == DataSetState::Insert && !rowModified()) {
            // A new row nobody filled in is not worth keeping.
            const int from = ds->currentRow();
            ds->cancel();
            if (target > from)
                --target;
        }
        target = qMin(target, ds->recordCount() - 1);
        if (target >= 0)
            ds->moveTo(target);
    }
    if (columnIndex != m_col) {
        hideEditor();
        m_col = columnIndex;
        placeCursor();
        if (onColEnter)
            onColEnter(*this);
    } else {
        placeCursor();
    }
}

void DBGrid::moveRows(int delta, bool appendAtEnd)
{
    runUserAction([&] {
        ClientDataSet *ds = dataSet();
        if (!ds || !ds->isActive())
            return;
        const int count = ds->recordCount();
        const int row = ds->currentRow();
        if (delta > 0 && row >= count - 1) {
            // Past the last row a new one is added only by the Down key where
            // the grid allows it, and never after a new row still untouched.
            const bool pristineNew = ds->state() == DataSetState::Insert && !rowModified();
            if (appendAtEnd && testOption(AllowInsert) && canModifyRows() && !pristineNew) {
                commitEditor();
                hideEditor();
                ds->append();
            }
            return;
        }
        goTo(qBound(0, row + delta, qMax(0, count - 1)), m_col);
    });
}

void DBGrid::moveColumns(int step, bool wrapRows)
{
    runUserAction([&] {
        int next = nextVisibleColumn(m_col, step);
        if (next >= 0) {
            goTo(currentRow(), next);
            return;
        }
        if (!wrapRows)
            return;
        ClientDataSet *ds = dataSet();
        if (!ds || !ds->isActive())
            return;
        const int row = ds->currentRow();
        const int first = nextVisibleColumn(-1, 1);
        const int last = nextVisibleColumn(columnCount(), -1);
        if (step > 0 && row >= ds->recordCount() - 1) {
            const bool pristineNew = ds->state() == DataSetState::Insert && !rowModified();
            if (testOption(AllowInsert) && canModifyRows() && !pristineNew) {
                goTo(row, first);
                if (m_col == first) {
                    hideEditor();
                    ds->append();
                }
            }
            return;
        }
        if (step < 0 && row <= 0)
            return;
        goTo(row + step, step > 0 ? first : last);
    });
}

// ---------------------------------------------------------------- focus

void DBGrid::focusEntered()
{
    m_focusWithin = true;
    refreshView();
    if (onEnter)
        runUserAction([this] { onEnter(*this); });
}

// The text being typed goes into the row (or a new row nobody filled in is
// dropped) before the focus may leave; a refusal brings the focus back.
bool DBGrid::focusLeft()
{
    m_focusWithin = false;
    bool ok = runUserAction([this] {
        ClientDataSet *ds = dataSet();
        if (testOption(CancelOnExit) && ds && ds->state() == DataSetState::Insert &&
            !rowModified()) {
            hideEditor();
            ds->cancel();
        } else {
            commitEditor();
        }
        hideEditor();
    });
    if (ok && onExit)
        ok = runUserAction([this] { onExit(*this); });
    if (!ok) {
        m_focusWithin = true;
        setFocus(Qt::OtherFocusReason);
    }
    refreshView();
    return ok;
}

// The wheel moves the current row, as the arrow keys do: what is under the
// cursor is what the commands act on.
void DBGrid::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0 || event->modifiers() != Qt::NoModifier) {
        QTableView::wheelEvent(event);
        return;
    }
    event->accept();
    moveRows(-notches * qMax(1, QApplication::wheelScrollLines()));
}

void DBGrid::focusInEvent(QFocusEvent *event)
{
    QTableView::focusInEvent(event);
    refreshView();
}

void DBGrid::focusOutEvent(QFocusEvent *event)
{
    QTableView::focusOutEvent(event);
    refreshView();
}

// ---------------------------------------------------------------- helpers

int IndiceCol(const DBGrid &grid, const QString &fieldName)
{
    const DBGridColumn *c = grid.columnByField(fieldName);
    return c ? c->index() : -1;
}

QString GridText(const DBGrid &grid, const QString &fieldName, bool displayText)
{
    const int col = IndiceCol(grid, fieldName);
    if (col >= 0 && grid.editorActive() && grid.selectedIndex() == col)
        return grid.editorText();
    const ClientDataSet *ds = grid.dataSet();
    const Field *f = ds ? ds->findField(fieldName) : nullptr;
    if (!f || !ds->isActive() || ds->isEmpty())
        return {};
    return displayText ? f->displayText() : f->editText();
}

} // namespace prx

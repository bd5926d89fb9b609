#pragma once

#include "DBGridColumn.h"

#include "dataset/DataSource.h"

#include <QPointer>
#include <QTableView>

#include <functional>
#include <memory>
#include <vector>

class QLineEdit;

namespace prx {

class DBGridCursor;
class DBGridDelegate;
class DBGridFrozenView;
class DBGridModel;

// A grid over a data source: one row per row of the dataset, one column per
// grid column (or per visible field when no column was added). The current
// cell follows the dataset's current row and moving in the grid moves the
// dataset. Cells are edited in place: typing or F2 puts the row into edit and
// opens a line editor that follows the field's edit mask, or a list for a
// column with a pick list; the text is written through the field's set-text
// step when the cell is left, and the row is posted when another row is
// chosen. Esc drops the cell's text, a second Esc cancels the row.
//
// Every event handler runs inside the user-action guard: a handler that
// throws (prx::Abort or anything else) stops the move, key or sort that
// raised it.
class DBGrid : public QTableView
{
    Q_OBJECT

public:
    enum Option : quint32
    {
        Editing = 0x1,             // cells may be edited in place
        RowSelect = 0x2,           // the whole current row is highlighted
        AlwaysShowSelection = 0x4, // the highlight stays while the grid has no focus
        Tabs = 0x8,                // Tab moves between cells instead of leaving the grid
        ConfirmDelete = 0x10,      // Ctrl+Delete asks before deleting the row
        CancelOnExit = 0x20,       // leaving the grid drops a new row nobody filled in
        AllowInsert = 0x40,        // Insert, Down past the last row and Tab past the
                                   // last cell add rows
        Titles = 0x80,             // the title row is shown
        Lines = 0x100,             // lines between cells
        ColumnResize = 0x200,      // the user may resize columns
    };
    Q_DECLARE_FLAGS(Options, Option)

    enum DrawFlag
    {
        Selected = 0x1,
        Focused = 0x2
    };
    Q_DECLARE_FLAGS(DrawState, DrawFlag)

    using Event = std::function<void(DBGrid &)>;
    using ColumnEvent = std::function<void(DBGrid &, DBGridColumn &)>;
    // The typed character may be changed; a null character drops it.
    using KeyPressEvent = std::function<void(DBGrid &, QChar &key)>;
    // The key (a Qt::Key) may be changed; 0 drops it.
    using KeyDownEvent = std::function<void(DBGrid &, int &key, Qt::KeyboardModifiers)>;
    // Paints one cell instead of the grid. `row` is the row in view; read the
    // row's values with valueAt()/displayTextAt() (the dataset's fields show
    // the current row, not the one being painted).
    using DrawCellEvent = std::function<void(DBGrid &, QPainter &, const QRect &, DBGridColumn &,
                                             int row, DrawState)>;

    explicit DBGrid(QWidget *parent = nullptr);
    ~DBGrid() override;

    void setDataSource(DataSource *source);
    DataSource *dataSource() const { return m_source; }
    ClientDataSet *dataSet() const;

    // --- columns
    DBGridColumn &addColumn(const QString &fieldName, const QString &title = {}, int width = 0);
    void clearColumns(); // back to one column per visible field
    int columnCount() const { return int(m_columns.size()); }
    DBGridColumn &column(int index) const { return *m_columns.at(size_t(index)); }
    DBGridColumn *columnByField(QStringView fieldName) const;

    // --- options
    void setOptions(Options options);
    Options options() const { return m_options; }
    void setOption(Option option, bool on = true);
    bool testOption(Option option) const { return m_options.testFlag(option); }
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    // Background of the cells that are not highlighted.
    void setColor(const QColor &color);
    QColor color() const { return m_color; }
    static QColor infoColor();

    // The first `count` columns stay in view when the grid scrolls sideways;
    // 0 lets every column scroll.
    void setFrozenColumns(int count);
    int frozenColumns() const;

    // --- current cell
    int currentRow() const;
    int selectedIndex() const { return m_col; }
    // Moves to the column as the user would: the text being typed is written,
    // the column exit and entry events run; a refusal reaches the caller.
    void setSelectedIndex(int index);
    Field *selectedField() const;
    DBGridColumn *selectedColumn() const;

    // --- the cell editor
    bool editorActive() const;
    bool editorHasFocus() const;
    QString editorText() const; // as shown; "" when nothing was typed in a masked cell
    QWidget *editor() const { return m_editor; }
    // Opens the editor on the current cell, when the cell can be edited; the
    // row goes into edit only when the user changes the text. False when the
    // cell cannot be edited.
    bool showEditor();
    // Writes the editor's text into its field, if the user changed it.
    void commitEditor();
    void hideEditor(); // without writing

    // --- painting, for draw handlers
    void defaultDrawColumnCell(QPainter &painter, const QRect &rect, DBGridColumn &column, int row,
                               DrawState state);
    void drawCellText(QPainter &painter, const QRect &rect, const QString &text,
                      Qt::Alignment alignment, int margin = 2);
    void drawFocusRect(QPainter &painter, const QRect &rect);
    QString cellText(int row, const DBGridColumn &column) const;
    QVariant valueAt(int row, QStringView fieldName) const;
    QString displayTextAt(int row, QStringView fieldName) const;
    QString editTextAt(int row, QStringView fieldName) const;

    // The grid that holds `widget` (its editor, a list it opened), if any.
    static DBGrid *fromWidget(QWidget *widget);

    Event onEnter, onExit, onColEnter, onColExit, onEditButtonClick;
    KeyPressEvent onKeyPress;
    KeyDownEvent onKeyDown;
    ColumnEvent onTitleClick, onCellClick;
    DrawCellEvent onDrawColumnCell;

protected:
    // After a title click that no handler refused; the sort grid sorts here.
    virtual void titleClicked(DBGridColumn &column);

    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    void updateGeometries() override;

private:
    friend class DBGridColumn;
    friend class DBGridCursor;
    friend class DBGridDelegate;
    friend class DBGridModel;
    friend class DBGridFocus;
    friend class DBGridFrozenView;

    // Data source signals.
    void sourceStateChanged();
    void sourceDataChanged(int row);
    void sourceCurrentChanged(int row);
    void sourceLayoutChanged();
    void rebuildAutoColumns();
    void applyColumnLayout();
    void columnChanged(DBGridColumn &column, bool layout);
    void updateSortIndicator();

    // Moving (DBGrid.cpp).
    void requestCell(int row, int column);
    void goTo(int row, int column);
    void placeCursor();
    int nextVisibleColumn(int from, int step) const;
    int rowsPerPage() const;
    void moveRows(int delta, bool appendAtEnd = false);
    void moveColumns(int step, bool wrapRows);

    // Focus (DBGrid.cpp).
    void focusEntered();
    bool focusLeft();

    // Editing (DBGridEditing.cpp).
    bool rowEditing() const;
    bool canEditCell() const;
    // A key field (tag 1) takes text only while its row is being inserted:
    // its editor is then read-only, so that neither keys nor a paste, a drop
    // or an input method can change the key of a saved row.
    bool keyLocked(const Field *field) const;
    QLineEdit *editorLine() const; // the text part of the open editor, if any
    bool canModifyRows() const;
    void ensureEditing();
    QWidget *createCellEditor(QWidget *parent, int column);
    QString editorStoredText() const;
    void loadEditorText();
    bool widgetBelongsToEditor(const QWidget *widget) const;
    bool editorKey(QKeyEvent *event);
    bool gridKey(QKeyEvent *event);
    bool pickListKey(QKeyEvent *event, int key);
    bool passKeyDown(int &key, Qt::KeyboardModifiers modifiers);
    bool passKeyPress(QChar &ch);
    void typeIntoEditor(const QString &text);
    void escape();
    void deleteRow();
    void snapshotRow();
    bool rowModified() const;
    void editButtonClick();
    QRect editButtonRect(const QRect &cell) const;
    void titleClick(int section);

    // Painting (DBGridPainting.cpp).
    // Repaints the cells, in the frozen columns too.
    void refreshView();
    void paintCell(QPainter &painter, const QRect &rect, int row, int column);

    QPointer<DataSource> m_source; // not owned
    QList<QMetaObject::Connection> m_sourceConnections;
    std::vector<std::unique_ptr<DBGridColumn>> m_columns;
    bool m_autoColumns = true;
    DBGridModel *m_model;                 // owned (child)
    DBGridDelegate *m_delegate;           // owned (child)
    DBGridCursor *m_cursor;               // owned (child)
    DBGridFrozenView *m_frozen = nullptr; // owned (child), when columns are frozen
    Options m_options;
    bool m_readOnly = false;
    QColor m_color;
    int m_col = 0;
    int m_lastRow = -1;
    bool m_inColExit = false;
    bool m_focusWithin = false;

    QPointer<QWidget> m_editor; // owned by the view while open
    int m_editorCol = -1;
    bool m_editorModified = false;
    bool m_committing = false;
    bool m_loadingEditor = false;
    bool m_forwarding = false; // a key the grid hands on to its editor
    DataSetState m_lastState = DataSetState::Inactive;
    QVariantList m_snapshot; // the row's values when its edit began
    QPersistentModelIndex m_pressed;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DBGrid::Options)
Q_DECLARE_OPERATORS_FOR_FLAGS(DBGrid::DrawState)

// The index of the grid column bound to the field, -1 when none is.
int IndiceCol(const DBGrid &grid, const QString &fieldName);
// The text being edited in the field's column while its editor is open;
// otherwise the field's text (shown text when displayText is true, else its
// edit text).
QString GridText(const DBGrid &grid, const QString &fieldName, bool displayText = false);
// Keeps a press on a title of the view (the grid or its frozen columns) from
// selecting that column and moving the current record.
void dropColumnSelection(QTableView *view);

} // namespace prx

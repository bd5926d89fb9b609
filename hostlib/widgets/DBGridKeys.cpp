// The data grid: keys and mouse.
#include "DBGrid.h"
#include "PickListEditor.h"

#include "services/UserAction.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

namespace prx {

// ---------------------------------------------------------------- keys

bool DBGrid::passKeyDown(int &key, Qt::KeyboardModifiers modifiers)
{
    if (!onKeyDown)
        return true;
    int changed = key;
    if (!runUserAction([&] { onKeyDown(*this, changed, modifiers); }) || changed == 0)
        return false;
    key = changed;
    return true;
}

bool DBGrid::passKeyPress(QChar &ch)
{
    if (!onKeyPress)
        return true;
    QChar changed = ch;
    if (!runUserAction([&] { onKeyPress(*this, changed); }) || changed.isNull())
        return false;
    ch = changed;
    return true;
}

void DBGrid::keyPressEvent(QKeyEvent *event)
{
    if (!gridKey(event))
        event->ignore();
}

// Keys while the grid itself has the focus. False for keys it leaves to its
// parents.
bool DBGrid::gridKey(QKeyEvent *event)
{
    int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!passKeyDown(key, modifiers))
        return true;
    const bool ctrl = modifiers & Qt::ControlModifier;
    if (pickListKey(event, key))
        return true;
    ClientDataSet *ds = dataSet();
    switch (key) {
    case Qt::Key_Up:
        moveRows(-1);
        return true;
    case Qt::Key_Down:
        moveRows(1, true);
        return true;
    case Qt::Key_PageUp:
        moveRows(-rowsPerPage());
        return true;
    case Qt::Key_PageDown:
        moveRows(rowsPerPage());
        return true;
    case Qt::Key_Home:
        if (ctrl)
            requestCell(0, m_col);
        else
            requestCell(currentRow(), nextVisibleColumn(-1, 1));
        return true;
    case Qt::Key_End:
        if (ctrl)
            requestCell(ds ? ds->recordCount() - 1 : 0, m_col);
        else
            requestCell(currentRow(), nextVisibleColumn(columnCount(), -1));
        return true;
    case Qt::Key_Left:
        moveColumns(-1, false);
        return true;
    case Qt::Key_Right:
        moveColumns(1, false);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!testOption(Tabs) || ctrl)
            return false;
        moveColumns(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier) ? 1 : -1, true);
        return true;
    case Qt::Key_Escape:
        if (!rowEditing())
            return false;
        escape();
        return true;
    case Qt::Key_F2:
        runUserAction([this] { showEditor(); });
        return true;
    case Qt::Key_Insert:
        if (modifiers == Qt::NoModifier && testOption(AllowInsert) && canModifyRows()) {
            runUserAction([this] {
                commitEditor();
                hideEditor();
                dataSet()->insert();
            });
            return true;
        }
        return false;
    case Qt::Key_Delete:
        if (ctrl) {
            deleteRow();
            return true;
        }
        return false;
    default:
        break;
    }

    QChar ch;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        ch = QLatin1Char('\r');
    else if (key == Qt::Key_Backspace)
        ch = QLatin1Char('\b');
    else if (!event->text().isEmpty() && event->text().at(0).isPrint() &&
             !(modifiers & (Qt::ControlModifier | Qt::AltModifier)))
        ch = event->text().at(0);
    else
        return false;
    if (ch == QLatin1Char('\r') && ctrl) {
        editButtonClick();
        return true;
    }
    if (!passKeyPress(ch))
        return true;
    runUserAction([&] {
        if (ch == QLatin1Char('\r')) {
            if (showEditor()) {
                if (auto *combo = qobject_cast<QComboBox *>(m_editor.data()))
                    combo->showPopup();
            }
        } else if (ch == QLatin1Char('\b') || ch.isPrint()) {
            // A locked key takes no text; its read-only editor hands the key
            // back here, where it ends.
            if (!canEditCell() || keyLocked(selectedField()))
                return;
            ensureEditing();
            if (!showEditor())
                return;
            if (ch == QLatin1Char('\b')) {
                QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
                m_forwarding = true;
                QApplication::sendEvent(m_editor, &back);
                m_forwarding = false;
            } else {
                typeIntoEditor(QString(ch));
            }
        }
    });
    return true;
}

// The keys that work a pick list, while the grid itself has the focus:
// Enter, F4 and Alt+Down open the list, a letter chooses an entry (see
// PickListEditor). None of them is text, so none goes to the key-press
// handler, which keeps free text out of these columns. True when taken.
bool DBGrid::pickListKey(QKeyEvent *event, int key)
{
    const DBGridColumn *c = selectedColumn();
    if (!c || c->pickList().isEmpty())
        return false;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool opens =
        ((key == Qt::Key_Return || key == Qt::Key_Enter) && modifiers == Qt::NoModifier) ||
        (key == Qt::Key_F4 && modifiers == Qt::NoModifier) ||
        ((key == Qt::Key_Down || key == Qt::Key_Up) && modifiers == Qt::AltModifier);
    const QString text = event->text();
    const bool letter = !opens && !text.isEmpty() && text.front().isPrint() &&
                        !text.front().isSpace() &&
                        !(modifiers & (Qt::ControlModifier | Qt::AltModifier));
    if (!opens && !letter)
        return false;
    runUserAction([&] {
        if (!canEditCell() || (letter && keyLocked(c->field())))
            return;
        if (!showEditor())
            return;
        auto *pick = qobject_cast<PickListEditor *>(m_editor.data());
        if (!pick)
            return;
        if (opens)
            pick->showPopup();
        else
            pick->chooseByKey(text);
    });
    return true;
}

// Keys typed into the open cell editor. True when the grid took the key.
bool DBGrid::editorKey(QKeyEvent *event)
{
    int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (!passKeyDown(key, modifiers))
        return true;
    const bool ctrl = modifiers & Qt::ControlModifier;
    auto *combo = qobject_cast<QComboBox *>(m_editor.data());
    if (auto *pick = qobject_cast<PickListEditor *>(combo)) {
        // Letters choose an entry and Enter ends the cell (or takes the entry
        // marked in the open list): the list's own keys, never text for the
        // key-press handler.
        const QString text = event->text();
        if (!text.isEmpty() && text.front().isPrint() && !text.front().isSpace() &&
            !(modifiers & (Qt::ControlModifier | Qt::AltModifier)))
            return false;
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !ctrl) {
            if (pick->view()->isVisible())
                return false;
            if (runUserAction([this] { commitEditor(); }))
                hideEditor();
            return true;
        }
    }
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        if (modifiers & Qt::AltModifier)
            return false; // opens the pick list
        const int page = rowsPerPage();
        const int delta = key == Qt::Key_Up       ? -1
                          : key == Qt::Key_Down   ? 1
                          : key == Qt::Key_PageUp ? -page
                                                  : page;
        moveRows(delta, key == Qt::Key_Down);
        return true;
    }
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!testOption(Tabs) || ctrl) {
            if (runUserAction([this] { commitEditor(); }))
                hideEditor();
            return false;
        }
        moveColumns(key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier) ? 1 : -1, true);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // At the edge of the text, or over a text wholly selected, the arrows
        // go on to the next cell.
        QLineEdit *line = combo ? combo->lineEdit() : qobject_cast<QLineEdit *>(m_editor.data());
        if (!line || (modifiers & ~Qt::KeypadModifier))
            return false;
        const bool all = line->hasSelectedText() && line->selectedText() == line->text();
        const bool edge = !line->hasSelectedText() &&
                          (key == Qt::Key_Left ? line->cursorPosition() == 0
                                               : line->cursorPosition() >= line->text().size());
        if (!all && !edge)
            return false;
        moveColumns(key == Qt::Key_Left ? -1 : 1, false);
        return true;
    }
    case Qt::Key_Escape:
        hideEditor(); // the text typed is dropped; the row stays as it was
        return true;
    case Qt::Key_F4:
        return false;
    default:
        break;
    }

    QChar ch;
    const QString text = event->text();
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        ch = QLatin1Char('\r');
    else if (key == Qt::Key_Backspace)
        ch = QLatin1Char('\b');
    else if (!text.isEmpty() && text.at(0).isPrint() &&
             !(modifiers & (Qt::ControlModifier | Qt::AltModifier)))
        ch = text.at(0);

    if (ch.isNull()) {
        // Keys that change the text without typing a character.
        const bool changes = key == Qt::Key_Delete ||
                             (ctrl && (key == Qt::Key_V || key == Qt::Key_X)) ||
                             ((modifiers & Qt::ShiftModifier) && key == Qt::Key_Insert);
        if (changes && !runUserAction([this] { ensureEditing(); }))
            return true;
        return false;
    }
    if (ch == QLatin1Char('\r') && ctrl) {
        editButtonClick();
        return true;
    }
    const QChar typed = ch;
    if (!passKeyPress(ch))
        return true;
    if (ch == QLatin1Char('\r')) {
        if (combo && combo->view()->isVisible())
            return false;
        if (runUserAction([this] { commitEditor(); }))
            hideEditor();
        return true;
    }
    if (!runUserAction([this] { ensureEditing(); }))
        return true;
    if (ch != typed) {
        typeIntoEditor(QString(ch));
        return true;
    }
    return false;
}

bool DBGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress && !m_forwarding)
        return editorKey(static_cast<QKeyEvent *>(event));
    return QTableView::eventFilter(watched, event);
}

// ---------------------------------------------------------------- mouse

void DBGrid::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    m_pressed = index;
    if (event->button() == Qt::LeftButton && index.isValid() && index.row() == currentRow() &&
        index.column() == m_col) {
        const DBGridColumn &c = column(m_col);
        if (c.buttonStyle() == DBGridColumn::ButtonStyle::Ellipsis && !editorActive() &&
            editButtonRect(visualRect(index)).contains(event->position().toPoint())) {
            setFocus(Qt::MouseFocusReason);
            editButtonClick();
            return;
        }
    }
    QTableView::mousePressEvent(event);
}

void DBGrid::mouseReleaseEvent(QMouseEvent *event)
{
    QTableView::mouseReleaseEvent(event);
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || !index.isValid() || index != m_pressed)
        return;
    if (index.row() != currentRow() || index.column() != m_col)
        return; // the move was refused
    if (onCellClick)
        runUserAction([&] { onCellClick(*this, column(index.column())); });
}

void DBGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && index.row() == currentRow() &&
        index.column() == m_col) {
        runUserAction([this] { showEditor(); });
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

} // namespace prx

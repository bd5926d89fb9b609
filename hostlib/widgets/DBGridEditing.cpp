// The data grid: the cell editor and the row being edited.
#include "DBGrid.h"

#include "DBGridFrozenView.h"
#include "DBGridModel.h"
#include "MaskEdit.h"
#include "PickListEditor.h"
#include "ToolIcons.h"
#include "WidgetUtils.h"

#include "dataset/Abort.h"
#include "services/HostUi.h"
#include "services/UserAction.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>

namespace prx {

namespace {

// The characters typed into a masked text, without literals and blanks.
QString typedChars(const QString &maskText, const QString &shown)
{
    QStringList parts = maskText.split(QLatin1Char(';'));
    if (parts.size() < 2)
        parts.append(QStringLiteral("0"));
    else
        parts[1] = QStringLiteral("0");
    return EditMask(parts.join(QLatin1Char(';'))).storedFromEdit(shown);
}

} // namespace

bool DBGrid::rowEditing() const
{
    const ClientDataSet *ds = dataSet();
    return ds && (ds->state() == DataSetState::Edit || ds->state() == DataSetState::Insert);
}

// ---------------------------------------------------------------- editor

bool DBGrid::canModifyRows() const
{
    const ClientDataSet *ds = dataSet();
    return ds && ds->isActive() && testOption(Editing) && !m_readOnly;
}

bool DBGrid::canEditCell() const
{
    if (!canModifyRows() || m_col < 0 || m_col >= columnCount())
        return false;
    const DBGridColumn &c = column(m_col);
    const Field *f = c.field();
    if (!c.isVisible() || c.isReadOnly() || !f || f->isReadOnly() || f->isCalculated())
        return false;
    const ClientDataSet *ds = dataSet();
    return !ds->isEmpty() || testOption(AllowInsert);
}

QLineEdit *DBGrid::editorLine() const
{
    if (auto *combo = qobject_cast<QComboBox *>(m_editor.data()))
        return combo->lineEdit();
    return qobject_cast<QLineEdit *>(m_editor.data());
}

bool DBGrid::keyLocked(const Field *field) const
{
    const ClientDataSet *ds = dataSet();
    return field && field->tag() == 1 && ds && ds->state() != DataSetState::Insert;
}

// The row goes into edit at the first change the user makes, as a click or
// an Enter that only opens the editor must not start an edit.
void DBGrid::ensureEditing()
{
    ClientDataSet *ds = dataSet();
    if (rowEditing())
        return;
    if (!canEditCell())
        abortSilently();
    if (ds->isEmpty())
        ds->append();
    else
        ds->edit();
}

bool DBGrid::editorActive() const
{
    return m_editor && !m_editor->isHidden();
}

bool DBGrid::editorHasFocus() const
{
    return editorActive() && widgetBelongsToEditor(QApplication::focusWidget());
}

bool DBGrid::widgetBelongsToEditor(const QWidget *widget) const
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (w == m_editor)
            return true;
    }
    return false;
}

QWidget *DBGrid::createCellEditor(QWidget *parent, int columnIndex)
{
    const DBGridColumn &c = column(columnIndex);
    const Field *f = c.field();
    QWidget *editor = nullptr;
    QLineEdit *line = nullptr;
    if (!c.pickList().isEmpty()) {
        auto *combo = new PickListEditor(parent);
        combo->addItems(c.pickList());
        combo->beforeChange = [this] { return runUserAction([this] { ensureEditing(); }); };
        line = combo->lineEdit();
        editor = combo;
    } else {
        // A masked cell types like every masked edit: never past the first
        // free position.
        line = new MaskEdit(parent);
        line->setFrame(false);
        const EditMask &mask = c.editMask();
        if (!mask.isEmpty())
            line->setInputMask(mask.qtInputMask());
        else if (f && f->type() == FieldType::String && f->size() > 0 && !f->onSetText)
            line->setMaxLength(f->size()); // a set-text step may take longer words

        if (c.buttonStyle() == DBGridColumn::ButtonStyle::Ellipsis) {
            QAction *button =
                line->addAction(toolIcon(ToolIcon::Ellipsis), QLineEdit::TrailingPosition);
            button->setToolTip(QStringLiteral("Pesquisar"));
            connect(button, &QAction::triggered, this, &DBGrid::editButtonClick);
        }
        editor = line;
    }
    line->setAlignment(c.alignment() | Qt::AlignVCenter);
    line->setContextMenuPolicy(Qt::NoContextMenu);
    line->setDragEnabled(false);
    line->setAcceptDrops(false);
    connect(line, &QLineEdit::textChanged, this, [this] {
        if (!m_loadingEditor)
            m_editorModified = true;
    });
    editor->setAutoFillBackground(true);
    editor->installEventFilter(this);
    m_editor = editor;
    m_editorCol = columnIndex;
    return editor;
}

bool DBGrid::showEditor()
{
    if (editorActive())
        return true;
    if (!canEditCell())
        return false;
    if (dataSet()->isEmpty())
        ensureEditing();
    const int row = currentRow();
    if (row < 0)
        return false;
    placeCursor();
    const QModelIndex index = m_model->index(row, m_col);
    if (m_frozen && m_col < m_frozen->count()) {
        // The editor opens in the grid itself: the frozen columns make way
        // for it while it is open.
        horizontalScrollBar()->setValue(0);
        m_frozen->hide();
    }
    scrollTo(index);
    if (!QAbstractItemView::edit(index, QAbstractItemView::AllEditTriggers, nullptr))
        return false;
    loadEditorText();
    return editorActive();
}

void DBGrid::loadEditorText()
{
    if (!m_editor || m_editorCol < 0 || m_editorCol >= columnCount())
        return;
    const DBGridColumn &c = column(m_editorCol);
    const Field *f = c.field();
    QString text;
    try {
        text = f ? f->editText() : QString();
    } catch (...) {
        text.clear();
    }
    const EditMask &mask = c.editMask();
    if (!mask.isEmpty() && !mask.storesLiterals() &&
        mask.editFromStored(mask.storedFromEdit(text)) != text)
        text = mask.editFromStored(text); // a stored value, not already shown with its literals
    m_loadingEditor = true;
    if (auto *combo = qobject_cast<QComboBox *>(m_editor.data())) {
        combo->setCurrentIndex(combo->findText(text));
        combo->setEditText(text);
        combo->lineEdit()->selectAll();
    } else if (auto *line = qobject_cast<QLineEdit *>(m_editor.data())) {
        line->setText(text);
        line->selectAll();
    }
    if (QLineEdit *line = editorLine())
        line->setReadOnly(keyLocked(f));
    m_loadingEditor = false;
    m_editorModified = false;
}

QString DBGrid::editorText() const
{
    if (!editorActive())
        return {};
    if (auto *combo = qobject_cast<QComboBox *>(m_editor.data()))
        return combo->currentText();
    auto *line = qobject_cast<QLineEdit *>(m_editor.data());
    if (!line)
        return {};
    if (!line->inputMask().isEmpty()) {
        const Field *f = column(m_editorCol).field();
        if (f && typedChars(f->editMask(), line->displayText()).isEmpty())
            return {};
        return line->displayText();
    }
    return line->text();
}

QString DBGrid::editorStoredText() const
{
    auto *line = qobject_cast<QLineEdit *>(m_editor.data());
    if (!line || line->inputMask().isEmpty() || qobject_cast<QComboBox *>(m_editor.data()))
        return editorText();
    const QString shown = editorText();
    // A masked cell left blank means no value, not a row of literals.
    return shown.isEmpty() ? QString() : column(m_editorCol).editMask().storedFromEdit(shown);
}

void DBGrid::commitEditor()
{
    if (!editorActive() || !m_editorModified || m_committing)
        return;
    if (!rowEditing() || m_editorCol < 0 || m_editorCol >= columnCount())
        return;
    Field *f = column(m_editorCol).field();
    if (!f)
        return;
    if (keyLocked(f)) {
        m_editorModified = false; // whatever reached a locked key is dropped
        return;
    }
    const QString text = editorStoredText();
    m_committing = true;
    try {
        f->setText(text);
    } catch (...) {
        m_committing = false;
        throw;
    }
    m_committing = false;
    m_editorModified = false;
}

void DBGrid::hideEditor()
{
    m_editorModified = false;
    m_editorCol = -1;
    if (m_frozen)
        m_frozen->show();
    if (!m_editor)
        return;
    QWidget *editor = m_editor;
    m_editor = nullptr;
    const bool hadFocus = widgetBelongsTo(QApplication::focusWidget(), editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    if (hadFocus && isVisible())
        setFocus(Qt::OtherFocusReason);
}

void DBGrid::typeIntoEditor(const QString &text)
{
    if (!editorActive())
        return;
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    m_forwarding = true;
    QApplication::sendEvent(m_editor, &press);
    m_forwarding = false;
}

// ---------------------------------------------------------------- rows

void DBGrid::snapshotRow()
{
    m_snapshot.clear();
    const ClientDataSet *ds = dataSet();
    if (!ds || ds->currentRow() < 0)
        return;
    for (int i = 0; i < ds->fieldCount(); ++i)
        m_snapshot.append(ds->valueAt(ds->currentRow(), i));
}

bool DBGrid::rowModified() const
{
    if (m_editorModified)
        return true;
    const ClientDataSet *ds = dataSet();
    if (!ds || ds->currentRow() < 0 || m_snapshot.size() != ds->fieldCount())
        return true;
    for (int i = 0; i < ds->fieldCount(); ++i) {
        if (ds->valueAt(ds->currentRow(), i) != m_snapshot.at(i))
            return true;
    }
    return false;
}

void DBGrid::escape()
{
    runUserAction([this] {
        ClientDataSet *ds = dataSet();
        if (rowEditing())
            ds->cancel();
    });
}

void DBGrid::deleteRow()
{
    runUserAction([this] {
        ClientDataSet *ds = dataSet();
        if (!canModifyRows() || ds->isEmpty())
            return;
        hideEditor();
        if (testOption(ConfirmDelete) &&
            HostUi::instance().messageBox(QStringLiteral("Excluir registro?"),
                                          MsgKind::Confirmation, {MsgYes, MsgNo}) != MsgYes)
            return;
        ds->deleteRecord();
    });
}

void DBGrid::editButtonClick()
{
    runUserAction([this] {
        if (onEditButtonClick)
            onEditButtonClick(*this);
    });
}

QRect DBGrid::editButtonRect(const QRect &cell) const
{
    const int width = qMin(18, cell.width() / 2);
    return QRect(cell.right() - width + 1, cell.top() + 1, width - 1, cell.height() - 2);
}

void DBGrid::titleClick(int section)
{
    if (section < 0 || section >= columnCount())
        return;
    DBGridColumn &c = column(section);
    const bool ok = runUserAction([&] {
        if (onTitleClick)
            onTitleClick(*this, c);
    });
    if (ok)
        runUserAction([&] { titleClicked(c); });
    updateSortIndicator();
}

void DBGrid::titleClicked(DBGridColumn &) {}

} // namespace prx

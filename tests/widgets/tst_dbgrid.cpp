#include "GridData.h"
#include "GuiHelpers.h"
#include "ScriptedHostUi.h"

#include "dataset/Abort.h"
#include "dataset/DataSetError.h"
#include "dataset/DataSource.h"
#include "services/UserAction.h"
#include "widgets/DBGrid.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"
#include "widgets/WidgetUtils.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

using namespace prx;
using namespace prx::test;

namespace {

// Keys go where the user's keys would: to the widget with the focus.
void type(const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

void key(Qt::Key k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(QApplication::focusWidget(), k, modifiers);
}

} // namespace

class TestDBGrid : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void gridAndDataSetFollowEachOther();
    void typingEditsAndLeavingTheRowPosts();
    void setTextHandlerRunsWhenTheCellIsLeft();
    void openingTheEditorAloneStartsNoEdit();
    void abortInColumnExitKeepsTheColumn();
    void refusedPostKeepsTheRowInEditAndTheGridOnIt();
    void refusedTextKeepsTheCellAndShowsWhy();
    void postFromOutsideTakesTheTextBeingTyped();
    void flatButtonLeavesTheFocusInTheEditor();
    void escapeDropsTheTextThenTheRow();
    void pickListEditing();
    void keyPressHandlerChangesOrDropsKeys();
    void keyDownHandlerDropsKeys();
    void rowsAreAddedOnlyWhereAllowed();
    void wheelMovesTheCurrentRow();
    void untouchedNewRowIsDroppedOnLeaving();
    void deleteAsksFirst();
    void maskedCellsShowAndStoreTheirForms();
    void editButtonRaisesItsEvent();
    void failingExitKeepsTheFocus();
    void drawHandlerPaintsWithRowAndState();
    void sortGridSortsAndTitleAbortPreventsIt();
    void gridTextAndColumnIndex();
    void sourceGoneEmptiesTheGrid();
    void editingFollowsColumnFieldAndGridSettings_data();
    void editingFollowsColumnFieldAndGridSettings();
    void hiddenColumnsAreSkipped();
    // The key of a saved row (a field tagged 1) changed by any way text can
    // reach the cell: typed, pasted, or committed by an input method. A new
    // row takes it all.
    void keyFieldTakesTextOnlyOnNewRows_data();
    void keyFieldTakesTextOnlyOnNewRows();
    // Frozen columns scrolled away with the rest, or a cell moved to left
    // under them; a click on them moves the grid's cursor.
    void frozenColumnsStayInView();
    void millionRowsReadOnlyWhatIsShown();
    // A title click that makes the row at the top of the view the current
    // record (and scrolls it away), through the grid's titles or the frozen
    // ones.
    void titleClickKeepsTheSelectedRecord_data();
    void titleClickKeepsTheSelectedRecord();
    // Pick-list cells that open only on F2 or a double-click, or take
    // letters as free text, or none when a key-press handler drops them.
    void pickListByKeyboard_data();
    void pickListByKeyboard();
    // A masked cell whose click lands past its first free position, where
    // every key is lost.
    void maskedCellTypesFromTheFirstFreePosition();

private:
    QWidget *m_window = nullptr;
    DBGrid *m_grid = nullptr;
    QLineEdit *m_other = nullptr;
    DataSource *m_source = nullptr;
    std::unique_ptr<ClientDataSet> m_ds;
    std::unique_ptr<ScriptedHostUi> m_ui;
};

void TestDBGrid::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    m_ds = makeItems(10);
    m_window = new QWidget;
    m_window->resize(700, 400);
    auto *layout = new QVBoxLayout(m_window);
    m_grid = new DBGrid(m_window);
    m_other = new QLineEdit(m_window);
    layout->addWidget(m_grid);
    layout->addWidget(m_other);
    m_source = new DataSource(m_ds.get(), m_window);
    m_grid->setDataSource(m_source);
    QVERIFY(showAndActivate(m_window));
    m_grid->setFocus();
    QTRY_VERIFY(m_grid->hasFocus());
}

void TestDBGrid::cleanup()
{
    delete m_window;
    m_window = nullptr;
    m_ds.reset();
    m_ui.reset();
}

// The grid showing another row than the dataset, or a click that does not move it.
void TestDBGrid::gridAndDataSetFollowEachOther()
{
    m_ds->moveTo(5);
    QCOMPARE(m_grid->currentIndex().row(), 5);
    const QRect cell = m_grid->visualRect(m_grid->model()->index(7, 1));
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_ds->currentRow(), 7);
    QCOMPARE(m_grid->selectedIndex(), 1);
    key(Qt::Key_Down);
    QCOMPARE(m_ds->currentRow(), 8);
    key(Qt::Key_Home, Qt::ControlModifier);
    QCOMPARE(m_ds->currentRow(), 0);
    QCOMPARE(m_grid->currentIndex().row(), 0);
    m_ds->last();
    QCOMPARE(m_grid->currentIndex().row(), 9);
}

// Typed text lost, or a row change that does not post.
void TestDBGrid::typingEditsAndLeavingTheRowPosts()
{
    m_ds->moveTo(2);
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Pao"));
    QVERIFY(m_grid->editorActive());
    QCOMPARE(m_grid->editorText(), QStringLiteral("Pao"));
    QCOMPARE(m_ds->state(), DataSetState::Edit);
    key(Qt::Key_Down);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->currentRow(), 3);
    QVERIFY(!m_grid->editorActive());
    QCOMPARE(m_ds->valueAt(2, 1).toString(), QStringLiteral("Pao"));
    QCOMPARE(m_ds->changeCount(), 1);
}

// A set-text step skipped when the grid writes a cell.
void TestDBGrid::setTextHandlerRunsWhenTheCellIsLeft()
{
    m_ds->moveTo(1); // ATIVO "N"
    m_grid->setSelectedIndex(4);
    type(QStringLiteral("Sim"));
    QCOMPARE(m_ds->fieldByName(u"ATIVO").asString(), QStringLiteral("N"));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(m_grid->selectedIndex(), 3);
    QCOMPARE(m_ds->fieldByName(u"ATIVO").asString(), QStringLiteral("S"));
    QCOMPARE(m_ds->state(), DataSetState::Edit);
}

// F2 or Enter alone putting the row into edit (its start-of-edit steps would
// change the row although the user typed nothing).
void TestDBGrid::openingTheEditorAloneStartsNoEdit()
{
    int edits = 0;
    m_ds->beforeEdit = [&](ClientDataSet &) { ++edits; };
    m_grid->setSelectedIndex(1);
    key(Qt::Key_F2);
    QVERIFY(m_grid->editorActive());
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    key(Qt::Key_Escape);
    QVERIFY(!m_grid->editorActive());
    key(Qt::Key_Return);
    QVERIFY(m_grid->editorActive());
    key(Qt::Key_Return);
    QCOMPARE(edits, 0);
    type(QStringLiteral("x"));
    QCOMPARE(edits, 1);
    QCOMPARE(m_ds->state(), DataSetState::Edit);
}

// A column exit that refuses and still lets the cursor move.
void TestDBGrid::abortInColumnExitKeepsTheColumn()
{
    int entered = 0;
    m_grid->onColExit = [](DBGrid &grid) {
        if (grid.selectedIndex() == 1)
            throw Abort();
    };
    m_grid->onColEnter = [&](DBGrid &) { ++entered; };
    m_grid->setSelectedIndex(1);
    QCOMPARE(entered, 1);
    key(Qt::Key_Tab);
    QCOMPARE(m_grid->selectedIndex(), 1);
    const QRect cell = m_grid->visualRect(m_grid->model()->index(0, 3));
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_grid->selectedIndex(), 1);
    QCOMPARE(entered, 1);
    QVERIFY(m_ui->errors().isEmpty()); // the abort is silent
    // A handler that refuses by moving the focus to another column wins.
    m_grid->onColExit = [](DBGrid &grid) {
        if (grid.selectedIndex() == 1) {
            grid.setSelectedIndex(4);
            throw Abort();
        }
    };
    key(Qt::Key_Tab);
    QCOMPARE(m_grid->selectedIndex(), 4);
}

// A refused post that moves the grid anyway, or loses the row's edit.
void TestDBGrid::refusedPostKeepsTheRowInEditAndTheGridOnIt()
{
    m_ds->beforePost = [](ClientDataSet &ds) {
        if (ds.fieldByName(u"NOME").asString().isEmpty())
            throw DataSetError(QStringLiteral("Nome deve ser informado."));
    };
    m_ds->moveTo(4);
    m_grid->setSelectedIndex(1);
    key(Qt::Key_F2);
    key(Qt::Key_Backspace);
    QCOMPARE(m_ds->state(), DataSetState::Edit);
    key(Qt::Key_Down);
    QCOMPARE(m_ds->currentRow(), 4);
    QCOMPARE(m_grid->currentIndex().row(), 4);
    QCOMPARE(m_ds->state(), DataSetState::Edit);
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Nome deve ser informado.")});
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), QString());
    // A click on another row is refused the same way.
    const QRect cell = m_grid->visualRect(m_grid->model()->index(6, 1));
    QTest::mouseClick(m_grid->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_ds->currentRow(), 4);
    QCOMPARE(m_ui->errors().size(), 2);
    // Corrected, the same move goes through.
    type(QStringLiteral("Broa"));
    key(Qt::Key_Down);
    QCOMPARE(m_ds->currentRow(), 5);
    QCOMPARE(m_ds->valueAt(4, 1).toString(), QStringLiteral("Broa"));
}

// A text the field refuses written anyway, or the cursor moving off it.
void TestDBGrid::refusedTextKeepsTheCellAndShowsWhy()
{
    m_grid->setSelectedIndex(2);
    type(QStringLiteral("12x"));
    key(Qt::Key_Tab);
    QCOMPARE(m_grid->selectedIndex(), 2);
    QVERIFY(m_grid->editorActive());
    QCOMPARE(m_ui->errors().size(), 1);
    QVERIFY(m_ui->errors().first().contains(QStringLiteral("12x")));
    QCOMPARE(m_ds->fieldByName(u"PRECO").asFloat(), 1.5);
}

// The Confirm command posting the row without the text still in the editor.
void TestDBGrid::postFromOutsideTakesTheTextBeingTyped()
{
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Esfiha"));
    QVERIFY(m_grid->editorActive());
    m_ds->post();
    QCOMPARE(m_ds->valueAt(0, 1).toString(), QStringLiteral("Esfiha"));
    QVERIFY(!m_grid->editorActive());
    // A text the field refuses refuses the post, before its checks run.
    bool checked = false;
    m_ds->beforePost = [&](ClientDataSet &) { checked = true; };
    m_grid->setSelectedIndex(2);
    type(QStringLiteral("abc"));
    QVERIFY_THROWS_EXCEPTION(DataSetError, m_ds->post());
    QVERIFY(!checked);
    QCOMPARE(m_ds->state(), DataSetState::Edit);
}

// A toolbar button that takes the focus away from the cell being edited.
void TestDBGrid::flatButtonLeavesTheFocusInTheEditor()
{
    auto *confirm = new TButtonFlat(QStringLiteral("Confirmar"), QStringLiteral("Confirmar"),
                                    QIcon(), m_window);
    m_window->layout()->addWidget(confirm);
    connect(confirm, &QToolButton::clicked, m_window, [this] { m_ds->post(); });
    confirm->show();
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Kibe"));
    QWidget *editor = QApplication::focusWidget();
    QVERIFY(m_grid->editorHasFocus());
    QTest::mouseClick(confirm, Qt::LeftButton);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->valueAt(0, 1).toString(), QStringLiteral("Kibe"));
    QVERIFY(QApplication::focusWidget() == editor || QApplication::focusWidget() == m_grid);
    QVERIFY(widgetBelongsTo(QApplication::focusWidget(), m_grid));
}

// Esc that cancels the whole row at once, or leaves typed text behind.
void TestDBGrid::escapeDropsTheTextThenTheRow()
{
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Torta"));
    QVERIFY(m_grid->editorActive());
    key(Qt::Key_Escape);
    QVERIFY(!m_grid->editorActive());
    QCOMPARE(m_ds->state(), DataSetState::Edit);
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), itemName(0));
    key(Qt::Key_Escape);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->changeCount(), 0);
}

// A pick list that cannot be used, or whose choice is not written.
void TestDBGrid::pickListEditing()
{
    m_grid->addColumn(QStringLiteral("NOME"));
    DBGridColumn &ativo = m_grid->addColumn(QStringLiteral("ATIVO"));
    ativo.setPickList({QStringLiteral("Sim"), QStringLiteral("Não")});
    m_grid->setSelectedIndex(1);
    QCOMPARE(m_ds->fieldByName(u"ATIVO").asString(), QStringLiteral("S"));
    key(Qt::Key_Return);
    auto *combo = qobject_cast<QComboBox *>(m_grid->editor());
    QVERIFY(combo);
    QCOMPARE(combo->currentText(), QStringLiteral("Sim"));
    QTRY_VERIFY(combo->view()->isVisible());
    QCOMPARE(m_ds->state(), DataSetState::Edit); // opening the list may change the value
    QTest::keyClick(combo->view(), Qt::Key_Down);
    QTest::keyClick(combo->view(), Qt::Key_Return);
    QTRY_VERIFY(!combo->view()->isVisible());
    QCOMPARE(combo->currentText(), QStringLiteral("Não"));
    key(Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(m_ds->fieldByName(u"ATIVO").asString(), QStringLiteral("N"));
    QCOMPARE(m_grid->cellText(0, ativo), QStringLiteral("Não"));
}

// A key-press handler whose change or drop is ignored.
void TestDBGrid::keyPressHandlerChangesOrDropsKeys()
{
    m_grid->onKeyPress = [](DBGrid &grid, QChar &ch) {
        if (grid.selectedField()->name() == QLatin1String("CODIGO") && !ch.isDigit())
            ch = QChar();
        else
            ch = ch.toUpper();
    };
    m_grid->setSelectedIndex(0);
    type(QStringLiteral("a"));
    QVERIFY(!m_grid->editorActive());
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    type(QStringLiteral("7b"));
    QCOMPARE(m_grid->editorText(), QStringLiteral("7"));
    key(Qt::Key_Escape);
    key(Qt::Key_Escape);
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("pao"));
    QCOMPARE(m_grid->editorText(), QStringLiteral("PAO"));
}

// A key-down handler that cannot keep the grid from moving.
void TestDBGrid::keyDownHandlerDropsKeys()
{
    int seen = 0;
    m_grid->onKeyDown = [&](DBGrid &, int &k, Qt::KeyboardModifiers) {
        ++seen;
        if (k == Qt::Key_Down)
            k = 0;
        if (k == Qt::Key_Up)
            throw Abort();
    };
    m_ds->moveTo(3);
    key(Qt::Key_Down);
    key(Qt::Key_Up);
    QCOMPARE(m_ds->currentRow(), 3);
    key(Qt::Key_PageDown);
    QVERIFY(m_ds->currentRow() > 3);
    QCOMPARE(seen, 3);
}

// A grid that adds rows by itself, or cannot add them where allowed.
void TestDBGrid::rowsAreAddedOnlyWhereAllowed()
{
    m_ds->last();
    key(Qt::Key_Down);
    key(Qt::Key_Insert);
    QCOMPARE(m_ds->recordCount(), 10);
    QCOMPARE(m_ds->state(), DataSetState::Browse);

    m_grid->setOption(DBGrid::AllowInsert);
    key(Qt::Key_Down);
    QCOMPARE(m_ds->state(), DataSetState::Insert);
    QCOMPARE(m_ds->recordCount(), 11);
    QCOMPARE(m_grid->currentIndex().row(), 10);
    key(Qt::Key_Down); // never a second row after one still untouched
    QCOMPARE(m_ds->recordCount(), 11);
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Novo"));
    key(Qt::Key_Up);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->recordCount(), 11);
    QCOMPARE(m_ds->valueAt(10, 1).toString(), QStringLiteral("Novo"));
}

// A wheel that scrolls away from the row the commands act on, or adds rows.
void TestDBGrid::wheelMovesTheCurrentRow()
{
    m_grid->setOption(DBGrid::AllowInsert);
    auto wheel = [this](int notches) {
        const QPointF at = m_grid->viewport()->rect().center();
        QWheelEvent event(at, m_grid->viewport()->mapToGlobal(at), QPoint(),
                          QPoint(0, notches * 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(m_grid->viewport(), &event);
    };
    const int step = QApplication::wheelScrollLines();
    wheel(-1);
    QCOMPARE(m_ds->currentRow(), step);
    QCOMPARE(m_grid->currentIndex().row(), step);
    wheel(1);
    QCOMPARE(m_ds->currentRow(), 0);
    wheel(-10);
    QCOMPARE(m_ds->currentRow(), 9);
    wheel(-1);
    QCOMPARE(m_ds->recordCount(), 10);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
}

// Empty rows posted because the user only passed over them.
void TestDBGrid::untouchedNewRowIsDroppedOnLeaving()
{
    m_grid->setOptions(m_grid->options() | DBGrid::AllowInsert | DBGrid::CancelOnExit);
    m_ds->moveTo(4);
    key(Qt::Key_Insert);
    QCOMPARE(m_ds->state(), DataSetState::Insert);
    QCOMPARE(m_ds->currentRow(), 4);
    key(Qt::Key_Down); // moving on drops the new row and lands on the row below it
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->recordCount(), 10);
    QCOMPARE(m_ds->currentRow(), 4);
    QCOMPARE(m_ds->fieldByName(u"CODIGO").asString(), QStringLiteral("0005"));

    key(Qt::Key_Insert);
    m_other->setFocus(); // leaving the grid drops it too
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->recordCount(), 10);

    m_grid->setFocus();
    key(Qt::Key_Insert);
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Quibe"));
    m_other->setFocus(); // a row the user filled in stays, with its text
    QCOMPARE(m_ds->state(), DataSetState::Insert);
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), QStringLiteral("Quibe"));
}

// A row deleted without the question, or despite a no.
void TestDBGrid::deleteAsksFirst()
{
    m_ds->moveTo(2);
    m_ui->answerQuestion(MsgNo);
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ds->recordCount(), 10);
    QCOMPARE(m_ui->messages().size(), 1);
    QCOMPARE(m_ui->messages().first().kind, MsgKind::Confirmation);
    m_ui->answerQuestion(MsgYes);
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ds->recordCount(), 9);
    QCOMPARE(m_ds->valueAt(2, 0).toString(), QStringLiteral("0004"));
    m_grid->onKeyDown = [](DBGrid &, int &k, Qt::KeyboardModifiers mods) {
        if (k == Qt::Key_Delete && (mods & Qt::ControlModifier))
            k = 0;
    };
    key(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ui->messages().size(), 2);
    QCOMPARE(m_ds->recordCount(), 9);
}

// Masked codes shown without their literals, or stored with them.
void TestDBGrid::maskedCellsShowAndStoreTheirForms()
{
    QCOMPARE(m_grid->cellText(0, m_grid->column(3)), QStringLiteral("08:00"));
    m_grid->setSelectedIndex(3);
    key(Qt::Key_F2);
    QCOMPARE(m_grid->editorText(), QStringLiteral("08:00"));
    QCOMPARE(GridText(*m_grid, QStringLiteral("HORA")), QStringLiteral("08:00"));
    type(QStringLiteral("1730"));
    key(Qt::Key_Return);
    QCOMPARE(m_ds->fieldByName(u"HORA").asString(), QStringLiteral("1730"));
    // A masked cell emptied stores no value, not its literals.
    key(Qt::Key_F2);
    auto *line = qobject_cast<QLineEdit *>(m_grid->editor());
    QVERIFY(line);
    line->selectAll();
    key(Qt::Key_Delete);
    QCOMPARE(m_grid->editorText(), QString());
    key(Qt::Key_Return);
    QVERIFY(m_ds->fieldByName(u"HORA").asString().isEmpty());
}

// An edit button that cannot be reached from the keyboard or the editor.
void TestDBGrid::editButtonRaisesItsEvent()
{
    int clicks = 0;
    m_grid->onEditButtonClick = [&](DBGrid &grid) {
        ++clicks;
        QCOMPARE(grid.selectedField()->name(), QStringLiteral("CODIGO"));
    };
    m_grid->column(0).setButtonStyle(DBGridColumn::ButtonStyle::Ellipsis);
    key(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(clicks, 1);
    key(Qt::Key_F2);
    auto *line = qobject_cast<QLineEdit *>(m_grid->editor());
    QVERIFY(line && !line->actions().isEmpty());
    line->actions().first()->trigger();
    QCOMPARE(clicks, 2);
}

// Focus leaving a grid whose exit step refused.
void TestDBGrid::failingExitKeepsTheFocus()
{
    int entered = 0, left = 0;
    m_grid->onEnter = [&](DBGrid &) { ++entered; };
    m_grid->onExit = [&](DBGrid &grid) {
        ++left;
        if (grid.dataSet()->state() != DataSetState::Browse)
            throw Abort();
    };
    m_other->setFocus();
    QCOMPARE(left, 1);
    m_grid->setFocus();
    QCOMPARE(entered, 1);
    m_grid->setSelectedIndex(1);
    type(QStringLiteral("Empada"));
    m_other->setFocus();
    QCOMPARE(left, 2);
    QVERIFY(widgetBelongsTo(QApplication::focusWidget(), m_grid));
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), QStringLiteral("Empada"));
    QCOMPARE(entered, 1); // the focus came back; the grid was not entered anew
    // A message box of the grid's own handler takes the focus for a while
    // without the grid being left.
    m_ds->post();
    m_grid->onColExit = [](DBGrid &) { MensErro(QStringLiteral("Coluna inválida."), true); };
    key(Qt::Key_Tab);
    QCOMPARE(left, 2);
}

// A draw handler painting the wrong row, or a failing one breaking the grid.
void TestDBGrid::drawHandlerPaintsWithRowAndState()
{
    QList<QPair<int, QString>> painted;
    int selected = 0;
    m_grid->onDrawColumnCell = [&](DBGrid &grid, QPainter &p, const QRect &rect,
                                   DBGridColumn &column, int row, DBGrid::DrawState state) {
        painted.append({row, grid.displayTextAt(row, u"CODIGO")});
        if (state.testFlag(DBGrid::Selected)) {
            ++selected;
            QCOMPARE(row, grid.dataSet()->currentRow());
        }
        if (row == 3)
            throw DataSetError(QStringLiteral("falha"));
        grid.defaultDrawColumnCell(p, rect, column, row, state);
    };
    m_ds->moveTo(2);
    m_grid->grab();
    QVERIFY(!painted.isEmpty());
    for (const auto &cell : std::as_const(painted))
        QCOMPARE(cell.second, m_ds->displayTextAt(cell.first, 0));
    QVERIFY(selected >= 1);
    QVERIFY(m_ui->errors().isEmpty());
}

// A title click that sorts against a refusal, or does not toggle the order.
void TestDBGrid::sortGridSortsAndTitleAbortPreventsIt()
{
    TDBSortGrid sorted;
    DataSource source(m_ds.get());
    sorted.setDataSource(&source);
    sorted.onTitleClick = [](DBGrid &, DBGridColumn &column) {
        if (column.fieldName() == QLatin1String("PRECO"))
            throw Abort();
    };
    sorted.resize(600, 300);
    sorted.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sorted));
    QHeaderView *titles = sorted.horizontalHeader();
    auto clickTitle = [&](int section) {
        const int x = titles->sectionViewportPosition(section) + titles->sectionSize(section) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
    };
    m_ds->moveTo(0);
    const QString first = m_ds->fieldByName(u"CODIGO").asString();
    clickTitle(1);
    QCOMPARE(m_ds->sortField(), m_ds->fieldByName(u"NOME").index());
    QVERIFY(m_ds->sortAscending());
    QCOMPARE(titles->sortIndicatorSection(), 1);
    for (int r = 1; r < m_ds->recordCount(); ++r)
        QVERIFY(m_ds->valueAt(r - 1, 1).toString().compare(m_ds->valueAt(r, 1).toString(),
                                                           Qt::CaseInsensitive) <= 0);
    QCOMPARE(m_ds->fieldByName(u"CODIGO").asString(), first); // the current row stays
    QCOMPARE(sorted.currentIndex().row(), m_ds->currentRow());
    clickTitle(1);
    QVERIFY(!m_ds->sortAscending());
    QCOMPARE(titles->sortIndicatorOrder(), Qt::DescendingOrder);
    clickTitle(2);
    QCOMPARE(m_ds->sortField(), m_ds->fieldByName(u"NOME").index());
    QCOMPARE(titles->sortIndicatorSection(), 1);
}

// A validation that cannot find its column or the text being typed in it.
void TestDBGrid::gridTextAndColumnIndex()
{
    QCOMPARE(IndiceCol(*m_grid, QStringLiteral("preco")), 2);
    QCOMPARE(IndiceCol(*m_grid, QStringLiteral("NADA")), -1);
    m_grid->setSelectedIndex(1);
    QCOMPARE(GridText(*m_grid, QStringLiteral("NOME")), itemName(0));
    type(QStringLiteral("Bolo"));
    QCOMPARE(GridText(*m_grid, QStringLiteral("NOME")), QStringLiteral("Bolo"));
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), itemName(0));
    QCOMPARE(GridText(*m_grid, QStringLiteral("PRECO"), true), QStringLiteral("1,50"));
    DBGrid *found = DBGrid::fromWidget(m_grid->editor());
    QCOMPARE(found, m_grid);
}

// A grid left showing rows of a data source that is gone.
void TestDBGrid::sourceGoneEmptiesTheGrid()
{
    QCOMPARE(m_grid->model()->rowCount(), 10);
    delete m_source;
    m_source = nullptr;
    QCOMPARE(m_grid->model()->rowCount(), 0);
    QCOMPARE(m_grid->currentRow(), -1);
    m_grid->grab(); // paints without a source
}

void TestDBGrid::editingFollowsColumnFieldAndGridSettings_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("editable");
    QTest::newRow("plain column") << QString() << true;
    QTest::newRow("read-only column") << QStringLiteral("column") << false;
    QTest::newRow("read-only field") << QStringLiteral("field") << false;
    QTest::newRow("editing switched off") << QStringLiteral("option") << false;
    QTest::newRow("read-only grid") << QStringLiteral("grid") << false;
    QTest::newRow("switched off and on again") << QStringLiteral("toggled") << true;
}

// A cell typed into although its column, its field or the grid forbids it
// (the screens switch these while the user works).
void TestDBGrid::editingFollowsColumnFieldAndGridSettings()
{
    QFETCH(QString, setting);
    QFETCH(bool, editable);
    m_grid->setSelectedIndex(1);
    if (setting == QLatin1String("column"))
        m_grid->column(1).setReadOnly(true);
    else if (setting == QLatin1String("field"))
        m_ds->fieldByName(u"NOME").setReadOnly(true);
    else if (setting == QLatin1String("option"))
        m_grid->setOption(DBGrid::Editing, false);
    else if (setting == QLatin1String("grid"))
        m_grid->setReadOnly(true);
    else if (setting == QLatin1String("toggled")) {
        m_grid->setOption(DBGrid::Editing, false);
        m_grid->setOption(DBGrid::Editing, true);
    }
    type(QStringLiteral("Kibe"));
    key(Qt::Key_F2);
    QCOMPARE(m_grid->editorActive(), editable);
    QCOMPARE(m_ds->state(), editable ? DataSetState::Edit : DataSetState::Browse);
    key(Qt::Key_Down);
    QCOMPARE(m_ds->valueAt(0, 1).toString(), editable ? QStringLiteral("Kibe") : itemName(0));
}

// The cursor landing in a column the screen hid.
void TestDBGrid::hiddenColumnsAreSkipped()
{
    m_grid->column(0).setVisible(false);
    QCOMPARE(m_grid->selectedIndex(), 1);
    m_grid->column(2).setVisible(false);
    key(Qt::Key_Tab);
    QCOMPARE(m_grid->selectedIndex(), 3);
    key(Qt::Key_Left);
    QCOMPARE(m_grid->selectedIndex(), 1);
    key(Qt::Key_Left);
    QCOMPARE(m_grid->selectedIndex(), 1);
    QVERIFY(m_grid->isColumnHidden(0));
    m_grid->column(0).setVisible(true);
    key(Qt::Key_Home);
    QCOMPARE(m_grid->selectedIndex(), 0);
}

// A grid that reads every row, which a million rows would not survive.
void TestDBGrid::millionRowsReadOnlyWhatIsShown()
{
    QElapsedTimer timer;
    timer.start();
    auto large = makeLarge(1000000);
    const qint64 loadMs = timer.elapsed();
    int reads = 0;
    large->fieldByName(u"NOME").onGetText = [&](Field &f, QString &text, bool) {
        ++reads;
        text = f.asString();
    };
    DataSource source(large.get());
    timer.restart();
    m_grid->setDataSource(&source);
    m_grid->grab();
    const qint64 bindMs = timer.elapsed();
    QVERIFY2(reads > 0 && reads < 500, qPrintable(QString::number(reads)));
    reads = 0;
    timer.restart();
    key(Qt::Key_End, Qt::ControlModifier);
    m_grid->grab();
    const qint64 lastMs = timer.elapsed();
    QCOMPARE(large->currentRow(), 999999);
    QVERIFY2(reads < 500, qPrintable(QString::number(reads)));
    timer.restart();
    large->moveTo(500000);
    key(Qt::Key_Down);
    m_grid->grab();
    const qint64 moveMs = timer.elapsed();
    QCOMPARE(m_grid->currentIndex().row(), 500001);
    qInfo("1,000,000 rows: load %lld ms, bind and paint %lld ms, to last row %lld ms, "
          "one row down %lld ms",
          loadMs, bindMs, lastMs, moveMs);
    m_grid->setDataSource(m_source);
}

void TestDBGrid::keyFieldTakesTextOnlyOnNewRows_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("newRow");
    for (const char *how : {"typed", "ctrl+v", "shift+insert", "input method"}) {
        QTest::addRow("%s, saved row", how) << QString::fromLatin1(how) << false;
        QTest::addRow("%s, new row", how) << QString::fromLatin1(how) << true;
    }
}

void TestDBGrid::keyFieldTakesTextOnlyOnNewRows()
{
    QFETCH(QString, how);
    QFETCH(bool, newRow);
    m_grid->setOption(DBGrid::AllowInsert);
    m_ds->fieldByName(u"CODIGO").setTag(1);
    m_ds->moveTo(2);
    if (newRow)
        m_ds->append();
    m_grid->setSelectedIndex(0);
    key(Qt::Key_F2);
    QVERIFY(m_grid->editorActive());
    QVERIFY(m_grid->editorHasFocus());
    QApplication::clipboard()->setText(QStringLiteral("9999"));
    auto *line = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    QVERIFY(line);
    line->selectAll();
    if (how == u"typed") {
        type(QStringLiteral("9999"));
    } else if (how == u"ctrl+v") {
        key(Qt::Key_V, Qt::ControlModifier);
    } else if (how == u"shift+insert") {
        key(Qt::Key_Insert, Qt::ShiftModifier);
    } else {
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("9999"));
        QApplication::sendEvent(line, &commit);
    }
    m_grid->commitEditor();
    const QString code = m_ds->fieldByName(u"CODIGO").asString();
    QCOMPARE(code, newRow ? QStringLiteral("9999") : QStringLiteral("0003"));
    if (newRow)
        m_ds->cancel();
    QCOMPARE(m_ds->valueAt(2, 0).toString(), QStringLiteral("0003"));
}

void TestDBGrid::frozenColumnsStayInView()
{
    m_window->resize(260, 300);
    for (int c = 0; c < m_grid->columnCount(); ++c)
        m_grid->column(c).setWidth(120);
    m_grid->setFrozenColumns(1);
    QTest::qWait(20);
    auto *frozen = m_grid->findChild<QTableView *>();
    QVERIFY(frozen && frozen->isVisible());
    QCOMPARE(frozen->horizontalHeader()->sectionSize(0), 120);

    key(Qt::Key_End); // the last column, far right
    QCOMPARE(m_grid->selectedIndex(), m_grid->columnCount() - 1);
    QVERIFY(m_grid->horizontalScrollBar()->value() > 0);
    QVERIFY(frozen->isVisible());
    // The second column, brought back into view, shows beside the frozen one.
    key(Qt::Key_Home);
    key(Qt::Key_Right);
    QCOMPARE(m_grid->selectedIndex(), 1);
    QVERIFY(m_grid->visualRect(m_grid->model()->index(m_ds->currentRow(), 1)).left() >= 120);

    // A click on a frozen cell moves the grid's cursor there.
    key(Qt::Key_End);
    const QRect cell = frozen->visualRect(frozen->model()->index(4, 0));
    QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_ds->currentRow(), 4);
    QCOMPARE(m_grid->selectedIndex(), 0);
    QVERIFY(m_grid->hasFocus());
    grabScreenshot(m_window, QStringLiteral("dbgrid-frozen.png"));
}

void TestDBGrid::titleClickKeepsTheSelectedRecord_data()
{
    QTest::addColumn<int>("frozen");
    QTest::newRow("grid titles") << 0;
    QTest::newRow("frozen titles") << 3;
}

void TestDBGrid::titleClickKeepsTheSelectedRecord()
{
    QFETCH(int, frozen);
    auto ds = makeItems(60);
    DataSource source(ds.get());
    QWidget window;
    auto *grid = new TDBSortGrid(&window);
    TDBSortGrid &sorted = *grid;
    sorted.setDataSource(&source);
    sorted.setFrozenColumns(frozen);
    window.resize(600, 220);
    (new QVBoxLayout(&window))->addWidget(grid);
    QVERIFY(showAndActivate(&window));
    sorted.setFocus();
    QTRY_VERIFY(sorted.hasFocus());
    QStringList scrolledTo;
    ds->afterScroll = [&](ClientDataSet &d) {
        scrolledTo.append(d.fieldByName(u"CODIGO").asString());
    };
    QTest::keyClick(&sorted, Qt::Key_Home, Qt::ControlModifier);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(&sorted, Qt::Key_Down);
    const QString chosen = ds->fieldByName(u"CODIGO").asString();
    scrolledTo.clear();
    QHeaderView *titles = frozen > 0 ? sorted.findChild<QTableView *>()->horizontalHeader()
                                     : sorted.horizontalHeader();
    const int price = sorted.columnByField(u"PRECO")->index();
    for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
        const int x = titles->sectionViewportPosition(price) + titles->sectionSize(price) / 2;
        QTest::mouseClick(titles->viewport(), Qt::LeftButton, {}, QPoint(x, titles->height() / 2));
        QCOMPARE(sorted.horizontalHeader()->sortIndicatorOrder(), order);
        QCOMPARE(ds->fieldByName(u"CODIGO").asString(), chosen);
        QCOMPARE(sorted.currentIndex().row(), ds->currentRow());
        const QRect row = sorted.visualRect(sorted.currentIndex());
        QVERIFY(sorted.viewport()->rect().contains(row.center()));
    }
    for (const QString &code : std::as_const(scrolledTo))
        QCOMPARE(code, chosen); // the details never load for another record
}

void TestDBGrid::pickListByKeyboard_data()
{
    QTest::addColumn<bool>("editorFirst"); // F2 before the keys
    QTest::addColumn<int>("opener");       // a key that opens the list, or 0
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("letters");
    QTest::addColumn<QString>("chosen");
    const QString friday = QStringLiteral("Sexta-feira");
    QTest::newRow("Enter opens") << false << int(Qt::Key_Return) << 0 << QString() << friday;
    QTest::newRow("F4 opens") << false << int(Qt::Key_F4) << 0 << QString() << friday;
    QTest::newRow("Alt+Down opens")
        << false << int(Qt::Key_Down) << int(Qt::AltModifier) << QString() << friday;
    QTest::newRow("F4 in the editor") << true << int(Qt::Key_F4) << 0 << QString() << friday;
    QTest::newRow("Alt+Down in the editor")
        << true << int(Qt::Key_Down) << int(Qt::AltModifier) << QString() << friday;
    QTest::newRow("S: the next with S") << false << 0 << 0 << "S"
                                        << "Sábado";
    QTest::newRow("S again: round to the first") << false << 0 << 0 << "SS"
                                                 << "Segunda-feira";
    QTest::newRow("letters in a row") << false << 0 << 0 << "qui"
                                      << "Quinta-feira";
    QTest::newRow("accent typed") << false << 0 << 0 << "tê"
                                  << "Terça-feira";
    QTest::newRow("in the open editor") << true << 0 << 0 << "d"
                                        << "Domingo";
    QTest::newRow("no entry with the letter") << false << 0 << 0 << "x" << friday;
}

void TestDBGrid::pickListByKeyboard()
{
    QFETCH(bool, editorFirst);
    QFETCH(int, opener);
    QFETCH(int, modifiers);
    QFETCH(QString, letters);
    QFETCH(QString, chosen);
    const QStringList days = {"Domingo",      "Segunda-feira", "Terça-feira", "Quarta-feira",
                              "Quinta-feira", "Sexta-feira",   "Sábado"};
    m_grid->addColumn(QStringLiteral("CODIGO"));
    m_grid->addColumn(QStringLiteral("NOME")).setPickList(days);
    m_grid->addColumn(QStringLiteral("PRECO"));
    // As the screens do: nothing typed reaches a value that comes from a list.
    int handled = 0;
    m_grid->onKeyPress = [&](DBGrid &grid, QChar &ch) {
        ++handled;
        if (grid.selectedField()->name() == QLatin1String("NOME"))
            ch = QChar();
    };
    m_ds->edit();
    m_ds->fieldByName(u"NOME").setAsString(QStringLiteral("Sexta-feira"));
    m_ds->post();
    m_grid->setSelectedIndex(1);
    if (editorFirst)
        key(Qt::Key_F2);
    if (opener) {
        key(Qt::Key(opener), Qt::KeyboardModifiers(modifiers));
        auto *combo = qobject_cast<QComboBox *>(m_grid->editor());
        QVERIFY(combo);
        QTRY_VERIFY(combo->view()->isVisible());
        QTest::keyClick(combo->view(), Qt::Key_Escape);
        QTRY_VERIFY(!combo->view()->isVisible());
    }
    for (const QChar c : letters) // accented letters too, as a keyboard sends them
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(),
                            Qt::Key(c.toUpper().unicode()), QString(c), Qt::NoModifier);
    if (!letters.isEmpty() && chosen != QLatin1String("Sexta-feira"))
        QCOMPARE(m_ds->state(), DataSetState::Edit);
    if (opener == 0 && chosen == QLatin1String("Sexta-feira"))
        QCOMPARE(m_ds->state(), DataSetState::Browse); // nothing chosen, no edit
    QCOMPARE(handled, 0);
    key(Qt::Key_Tab);
    QCOMPARE(m_grid->selectedIndex(), 2);
    QCOMPARE(m_ds->fieldByName(u"NOME").asString(), chosen);
}

void TestDBGrid::maskedCellTypesFromTheFirstFreePosition()
{
    m_grid->setSelectedIndex(3);
    key(Qt::Key_F2);
    auto *line = qobject_cast<QLineEdit *>(m_grid->editor());
    QVERIFY(line);
    key(Qt::Key_Delete); // the whole hour was selected
    QCOMPARE(m_grid->editorText(), QString());
    QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(line->width() - 4, line->height() / 2));
    type(QStringLiteral("1730"));
    QCOMPARE(m_grid->editorText(), QStringLiteral("17:30"));
    key(Qt::Key_Tab);
    QCOMPARE(m_ds->fieldByName(u"HORA").asString(), QStringLiteral("1730"));
}

QTEST_MAIN(TestDBGrid)
#include "tst_dbgrid.moc"

#include "GridData.h"
#include "GuiHelpers.h"
#include "ScriptedHostUi.h"

#include "dataset/Abort.h"
#include "dataset/DataSetError.h"
#include "dataset/DataSource.h"
#include "forms/TfrmDadosGerRel.h"
#include "forms/TfrmPadrao.h"
#include "forms/TfrmRotiGeral.h"
#include "services/UserAction.h"
#include "widgets/DBGrid.h"
#include "widgets/DBText.h"
#include "widgets/TButtonFlat.h"

#include <QAction>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {

// A screen that counts what the base form runs.
class CountingScreen : public TfrmPadrao
{
public:
    int created = 0, activated = 0, closed = 0, destroyed = 0, refreshed = 0, navigated = 0;
    QList<int> keys;
    bool refuseClose = false;
    std::function<void()> refresh;
    std::function<void(int &)> keyDown;

    void FormCreate() override
    {
        TfrmPadrao::FormCreate();
        ++created;
    }
    void FormActivate() override { ++activated; }
    void FormClose() override
    {
        ++closed;
        if (refuseClose)
            throw Abort();
    }
    void FormDestroy() override { ++destroyed; }
    void sbtVerificarClick() override
    {
        ++refreshed;
        if (refresh)
            refresh();
    }
    void dbnPadraoClick(DBNavigator::Button) override { ++navigated; }
    void FormKeyDown(int &key, Qt::KeyboardModifiers) override
    {
        keys.append(key);
        if (keyDown)
            keyDown(key);
    }
};

int routinesDestroyed = 0;

class CountingRoutine : public TfrmRotiGeral
{
public:
    int confirmed = 0, closed = 0;
    bool refuseClose = false;
    void sbtConfirmaClick() override { ++confirmed; }
    void FormClose() override
    {
        ++closed;
        if (refuseClose)
            MensErro(QStringLiteral("Rotina em andamento."), true);
    }
    void FormDestroy() override { ++routinesDestroyed; }
};

} // namespace

class TestBaseForms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonsTakeTheStateOfTheirMenuTwins();
    void buttonAndMenuRunTheSameGuardedHandler();
    void formSeesEveryKeyFirst();
    void typingIntoAClosedCellKeepsTheFirstCharacter();
    void lifeOfTheFormInTheWorkArea();
    void refusedCloseKeepsTheForm();
    void pagesFollowTheirMenuEntries();
    void plainCommandsActOnTheListDataSet();
    void keyboardDeleteOnlyFromBrowse();
    void statusBarShowsNameCodeAndRow();
    void routineDialog();
    void reportDialog();
    void screenshotOfAFilledScreen();

private:
    std::unique_ptr<ScriptedHostUi> m_ui;
    std::unique_ptr<ClientDataSet> m_ds;
};

void TestBaseForms::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    m_ds = makeItems(25);
}

void TestBaseForms::cleanup()
{
    m_ds.reset();
    m_ui.reset();
}

// A toolbar button that stays enabled while its menu entry forbids the command.
void TestBaseForms::buttonsTakeTheStateOfTheirMenuTwins()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    screen.initialize();
    QVERIFY(screen.sbtIncluir->isEnabled());
    QVERIFY(!screen.sbtConfirmar->isEnabled());
    m_ds->edit(); // the state change recomputes the menu entries, the buttons follow
    QVERIFY(!screen.mnuIncluir->isEnabled());
    QVERIFY(!screen.sbtIncluir->isEnabled());
    QVERIFY(screen.sbtConfirmar->isEnabled());
    QVERIFY(screen.sbtCancelar->isEnabled());
    m_ds->cancel();
    screen.mnuVerificar->setEnabled(false);
    QVERIFY(screen.sbtVerificar->isEnabled());
    screen.buttonsFollowMenus();
    QVERIFY(!screen.sbtVerificar->isEnabled());
    screen.show();
    QTest::mouseClick(screen.sbtVerificar, Qt::LeftButton);
    QCOMPARE(screen.refreshed, 0);
    screen.setBrowseControlEnabled(false);
    QVERIFY(!screen.mnuProcurar->isEnabled());
    QVERIFY(!screen.sbtProcurar->isEnabled());
}

// A command that runs unguarded (an error escaping into the event loop) or
// differently from the menu.
void TestBaseForms::buttonAndMenuRunTheSameGuardedHandler()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    screen.show();
    QTest::mouseClick(screen.sbtVerificar, Qt::LeftButton);
    screen.mnuVerificar->trigger();
    QCOMPARE(screen.refreshed, 2);
    screen.refresh = [] { throw DataSetError(QStringLiteral("Servidor indisponível.")); };
    screen.mnuVerificar->trigger();
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Servidor indisponível.")});
    screen.refresh = [] { throw Abort(); };
    QTest::mouseClick(screen.sbtVerificar, Qt::LeftButton);
    QCOMPARE(screen.refreshed, 4);
    QCOMPARE(m_ui->errors().size(), 1);
}

// Keys that reach the control before the form could drop or change them.
void TestBaseForms::formSeesEveryKeyFirst()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    QVERIFY(showAndActivate(&screen));
    screen.dbgPadrao->setFocus();
    QTRY_VERIFY(screen.dbgPadrao->hasFocus());
    screen.keyDown = [](int &key) {
        if (key == Qt::Key_Down)
            key = 0;
        else if (key == Qt::Key_F8)
            key = Qt::Key_PageDown;
        else if (key == Qt::Key_F9)
            throw Abort();
    };
    QTest::keyClick(screen.dbgPadrao, Qt::Key_Down);
    QCOMPARE(m_ds->currentRow(), 0);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_F9);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_F8);
    QVERIFY(m_ds->currentRow() > 0);
    QCOMPARE(screen.keys, (QList<int>{Qt::Key_Down, Qt::Key_F9, Qt::Key_F8}));
    // Keys in the grid's cell editor are the form's too.
    screen.dbgPadrao->setSelectedIndex(1);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_F2);
    QVERIFY(screen.dbgPadrao->editorHasFocus());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A);
    QCOMPARE(screen.keys.last(), int(Qt::Key_A));
    QCOMPARE(screen.keys.size(), 5);
}

// The grid opens a closed cell by handing the typed text on without a key
// code; the form's key filter must let that through, or the first character
// of every entry is lost.
void TestBaseForms::typingIntoAClosedCellKeepsTheFirstCharacter()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    QVERIFY(showAndActivate(&screen));
    screen.dbgPadrao->setFocus();
    QTRY_VERIFY(screen.dbgPadrao->hasFocus());
    screen.dbgPadrao->setSelectedIndex(1);
    QVERIFY(!screen.dbgPadrao->editorActive());
    QTest::keyClicks(screen.dbgPadrao, "Xy");
    QVERIFY(screen.dbgPadrao->editorActive());
    QCOMPARE(screen.dbgPadrao->editorText(), QStringLiteral("Xy"));
}

// A form whose creation, activation or freeing is missed in the host's work
// area, or that leaves an empty child window behind.
void TestBaseForms::lifeOfTheFormInTheWorkArea()
{
    QMainWindow main;
    auto *area = new QMdiArea(&main);
    main.setCentralWidget(area);
    main.resize(900, 600);
    QVERIFY(showAndActivate(&main));
    QPointer<CountingScreen> first = new CountingScreen;
    first->initialize();
    first->initialize();
    QCOMPARE(first->created, 1);
    QMdiSubWindow *firstWindow = area->addSubWindow(first);
    firstWindow->show();
    QTRY_COMPARE(first->activated, 1);
    QPointer<CountingScreen> second = new CountingScreen; // created when first shown
    area->addSubWindow(second)->show();
    QCOMPARE(second->created, 1);
    QTRY_COMPARE(second->activated, 1);
    area->setActiveSubWindow(firstWindow);
    QTRY_COMPARE(first->activated, 2);
    QCOMPARE(second->activated, 1);

    QPointer<QMdiSubWindow> frame = firstWindow;
    QTest::mouseClick(first->sbtFechar, Qt::LeftButton);
    QCOMPARE(first->closed, 1);
    QCOMPARE(first->destroyed, 1);
    QTRY_VERIFY(!first);
    QTRY_VERIFY(!frame);
    QCOMPARE(area->subWindowList().size(), 1);
    // Closing the child window closes the form the same way.
    const int *closed = &second->closed;
    Q_UNUSED(closed);
    area->subWindowList().first()->close();
    QTRY_VERIFY(!second);
    QCOMPARE(area->subWindowList().size(), 0);
}

// A close the screen refused that frees the form anyway.
void TestBaseForms::refusedCloseKeepsTheForm()
{
    QPointer<CountingScreen> screen = new CountingScreen;
    screen->show();
    screen->refuseClose = true;
    QVERIFY(!screen->close());
    QTest::qWait(10);
    QVERIFY(screen);
    QVERIFY(screen->isVisible());
    QCOMPARE(screen->destroyed, 0);
    screen->refuseClose = false;
    QVERIFY(screen->close());
    QTRY_VERIFY(!screen);
}

// Page menu entries out of step with the pages, or opening a disabled page.
void TestBaseForms::pagesFollowTheirMenuEntries()
{
    CountingScreen screen;
    screen.initialize();
    QVERIFY(screen.mnuFolhaDados->isChecked());
    screen.mnuFormulario->trigger();
    QCOMPARE(screen.pgcPadrao->currentWidget(), screen.tshFormulario);
    QVERIFY(screen.mnuFormulario->isChecked());
    QVERIFY(!screen.mnuFolhaDados->isChecked());
    screen.pgcPadrao->setCurrentWidget(screen.tshFolhaDados);
    QVERIFY(screen.mnuFolhaDados->isChecked());
    screen.setPageEnabled(screen.tshFormulario, false);
    QVERIFY(!screen.mnuFormulario->isEnabled());
    screen.mnuFormularioClick();
    QCOMPARE(screen.pgcPadrao->currentWidget(), screen.tshFolhaDados);
    QVERIFY(!screen.mnuFormulario->isChecked());
}

// The plain commands of a one-dataset screen acting on another dataset, or
// deleting without the question.
void TestBaseForms::plainCommandsActOnTheListDataSet()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    screen.initialize();
    screen.show();
    QTest::mouseClick(screen.sbtIncluir, Qt::LeftButton);
    QCOMPARE(m_ds->state(), DataSetState::Insert);
    QCOMPARE(m_ds->currentRow(), 25);
    QTest::mouseClick(screen.sbtCancelar, Qt::LeftButton);
    QCOMPARE(m_ds->recordCount(), 25);
    m_ds->moveTo(3);
    m_ui->answerQuestion(MsgNo, QStringLiteral("Confirma exclusão?"));
    QTest::mouseClick(screen.sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ds->recordCount(), 25);
    m_ui->answerQuestion(MsgYes);
    screen.mnuExcluir->trigger();
    QCOMPARE(m_ds->recordCount(), 24);
    QTest::mouseClick(screen.sbtAlterar, Qt::LeftButton);
    m_ds->fieldByName(u"NOME").setAsString(QStringLiteral("Pão"));
    QTest::mouseClick(screen.sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_ds->state(), DataSetState::Browse);
    QCOMPARE(m_ds->valueAt(3, 1).toString(), QStringLiteral("Pão"));
}

// A row deleted from the keyboard in the middle of an edit.
void TestBaseForms::keyboardDeleteOnlyFromBrowse()
{
    CountingScreen screen;
    screen.dtsPadrao->setDataSet(m_ds.get());
    QVERIFY(showAndActivate(&screen));
    screen.dbgPadrao->setFocus();
    m_ds->edit();
    QTest::keyClick(screen.dbgPadrao, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ui->messages().size(), 0);
    m_ds->cancel();
    m_ui->answerQuestion(MsgYes);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ds->recordCount(), 24);
    screen.dbgPadrao->setReadOnly(true);
    QTest::keyClick(screen.dbgPadrao, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ds->recordCount(), 24);
    QCOMPARE(m_ui->pendingAnswers(), 0);
}

// A status bar that shows a stale row, or a navigator click the screen never hears of.
void TestBaseForms::statusBarShowsNameCodeAndRow()
{
    CountingScreen screen;
    screen.setCaption(QStringLiteral("Tabela de Preços"));
    screen.setScreenCode(QStringLiteral("PRX51700"));
    screen.dtsPadrao->setDataSet(m_ds.get());
    screen.dbtNome->setDataSource(screen.dtsPadrao);
    screen.dbtNome->setDataField(QStringLiteral("NOME"));
    QCOMPARE(screen.windowTitle(), QStringLiteral("Tabela de Preços"));
    QCOMPARE(screen.lblCodTela->text(), QStringLiteral("PRX51700"));
    QCOMPARE(screen.dbtNome->text(), itemName(0));
    screen.dbnPadrao->button(DBNavigator::Button::Last)->click();
    QCOMPARE(m_ds->currentRow(), 24);
    QCOMPARE(screen.dbtNome->text(), itemName(24));
    QCOMPARE(screen.dbgPadrao->currentIndex().row(), 24);
    QCOMPARE(screen.navigated, 1);
}

// A routine dialog whose confirm does not run, whose close cannot be refused,
// or that is not freed (the creators that build it once rely on that).
void TestBaseForms::routineDialog()
{
    QPointer<CountingRoutine> routine = new CountingRoutine;
    routine->setCaption(QStringLiteral("Alteração Automática"));
    routine->setScreenCode(QStringLiteral("PRX51706"));
    int confirmedInside = -1;
    onNextModal([&](QWidget *modal) {
        auto *dialog = static_cast<CountingRoutine *>(modal);
        QTest::mouseClick(dialog->sbtConfirma, Qt::LeftButton);
        confirmedInside = dialog->confirmed;
        dialog->refuseClose = true;
        QTest::keyClick(dialog, Qt::Key_Escape);
        QVERIFY(dialog->isVisible());
        dialog->refuseClose = false;
        QTest::mouseClick(dialog->sbtFechar, Qt::LeftButton);
    });
    routine->exec();
    QCOMPARE(confirmedInside, 1);
    QVERIFY(routine); // still there when exec returns: the creator may touch it
    QCOMPARE(routine->closed, 2);
    QCOMPARE(m_ui->errors(), QStringList{QStringLiteral("Rotina em andamento.")});
    QCOMPARE(routinesDestroyed, 0);
    QTRY_VERIFY(!routine);
    QCOMPARE(routinesDestroyed, 1);
}

// A report dialog without its parameters area or its preview command.
void TestBaseForms::reportDialog()
{
    struct Report : TfrmDadosGerRel
    {
        int shown = 0;
        void btnVisualizarClick() override { ++shown; }
    };
    Report report;
    report.setTitle(QStringLiteral("Inconsistências de Preços Copiados"));
    auto *branch = new QLabel(QStringLiteral("0001"));
    report.addParameter(QStringLiteral("Filial:"), branch);
    QCOMPARE(branch->parentWidget(), report.grbParametros);
    report.show();
    QTest::mouseClick(report.btnVisualizar, Qt::LeftButton);
    QCOMPARE(report.shown, 1);
    QCOMPARE(report.windowTitle(), QStringLiteral("Inconsistências de Preços Copiados"));
    report.setAttribute(Qt::WA_DeleteOnClose, false); // on the stack here
    QTest::mouseClick(report.btnFechar, Qt::LeftButton);
    QVERIFY(!report.isVisible());
}

// The screen as the user sees it: written to a file to be looked at.
void TestBaseForms::screenshotOfAFilledScreen()
{
    CountingScreen screen;
    screen.setCaption(QStringLiteral("Tabela de Preços"));
    screen.setScreenCode(QStringLiteral("PRX51700"));
    screen.tshFolhaDados->parentWidget(); // pages keep their names
    screen.pgcPadrao->setTabText(0, QStringLiteral("Tabela de Preços"));
    screen.pgcPadrao->setTabText(1, QStringLiteral("Itens da Tabela de Preços"));
    screen.dtsPadrao->setDataSet(m_ds.get());
    screen.dbgPadrao->setColor(DBGrid::infoColor());
    screen.dbgPadrao->addColumn(QStringLiteral("CODIGO"), {}, 70);
    screen.dbgPadrao->addColumn(QStringLiteral("NOME"), {}, 220);
    screen.dbgPadrao->addColumn(QStringLiteral("PRECO"), {}, 90);
    screen.dbgPadrao->addColumn(QStringLiteral("HORA"), {}, 70);
    screen.dbgPadrao->addColumn(QStringLiteral("ATIVO"), {}, 70)
        .setPickList({QStringLiteral("Sim"), QStringLiteral("Não")});
    screen.dbtNome->setDataSource(screen.dtsPadrao);
    screen.dbtNome->setDataField(QStringLiteral("NOME"));
    screen.initialize();
    screen.resize(980, 560);
    QVERIFY(showAndActivate(&screen));
    screen.dbgPadrao->setFocus();
    m_ds->moveTo(6);
    screen.dbgPadrao->setSelectedIndex(1);
    QString path;
    QVERIFY(grabScreenshot(&screen, QStringLiteral("prx-tfrmpadrao.png"), &path));
    qInfo("screenshot: %s", qPrintable(path));
    QVERIFY(QFileInfo(path).size() > 10000);
}

QTEST_MAIN(TestBaseForms)
#include "tst_baseforms.moc"

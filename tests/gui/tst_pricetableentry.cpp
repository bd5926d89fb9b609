#include "FaultProxy.h"
#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ScreenSteps.h"
#include "ScriptedHostUi.h"
#include "ServerFixture.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "widgets/MaskEdit.h"
#include "widgets/TButtonFlat.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTest>

using namespace prx;
using prx::test::FaultProxy;
using prx::test::ScriptedHostUi;
using prx::test::ServerFixture;

namespace {

const QDate kProcessingDate(2031, 3, 15);

const QString kEndBeforeStart =
    QStringLiteral("Data final de vigência deve ser maior que a data inicial de vigência.");

QString dateKeys(const QDate &date)
{
    return date.toString(QStringLiteral("ddMMyyyy"));
}

} // namespace

// Entry of price tables and validity periods through the real widgets and a
// real server; the server's answers can be turned into errors on the way.
class PriceTableEntryTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // A typed table code is kept at its stored width, letters never reach
    // it, a code the branch has is refused at once, and a missing code or
    // name stops the save; Ctrl+Enter saves and goes on with a new row.
    void tableEntry();
    // Keys typed into the code of a saved table change nothing.
    void savedCodeIsLocked();
    // A save the server refuses leaves no row on the screen that the
    // server does not have.
    void refusedSaveUndoesTheRow_data();
    void refusedSaveUndoesTheRow();
    // A new period starts the day after the table's last one ends, or on the
    // processing date for a table without periods, and is saved at once.
    void newPeriodStart_data();
    void newPeriodStart();
    // A missing end stops the save first; an end on or before the start is
    // refused on leaving the cell and again on saving.
    void endBeforeStartRefused();
    // A second period in force is refused before the overlap is asked; a
    // period that only overlaps is refused by the server's answer.
    void periodChecksInOrder_data();
    void periodChecksInOrder();
    // An error of the overlap check must stop the save, not read as "no
    // conflict".
    void overlapCheckErrorStopsTheSave();
    // A period of an assigned table stays, and the first kind of assignment
    // found is the one named; an unassigned one is deleted.
    void periodDeletion_data();
    void periodDeletion();
    // Deleting a table takes its period with it, and both leave the server.
    void tableDeletion();
    // A table that another period or an assignment keeps is refused before
    // anything is deleted: its period and prices stay.
    void tableDeletionRefusedUpFront_data();
    void tableDeletionRefusedUpFront();
    // Ctrl+Delete in the table grid deletes nothing and asks nothing.
    void ctrlDeleteNeverDeletesATable();
    // Pasted text never reaches the code of a saved table.
    void pasteCannotChangeASavedCode();
    // A new table that goes away (cancelled, or refused by the server)
    // leaves the periods of the table now in focus on show.
    void droppedNewTableShowsTheRowsPeriods_data();
    void droppedNewTableShowsTheRowsPeriods();
    // With the focus in the table grid the commands act on the tables, also
    // on a table without periods; Tab past the last column reaches the
    // period grid, where they act on the periods.
    void commandsFollowTheGridInUse();
    // Print loads the price list module, which opens on the screen's
    // branch, table and period.
    void printOpensPriceList();

private:
    bool execSql(const QString &statement);
    int countRows(const QString &statement);
    static void type(const QString &text);
    static void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    static void typeIntoCell(DBGrid *grid, const QString &text);
    bool selectTable(TfrmTabePreco *form, const QString &code);

    ServerFixture m_server;
    FaultProxy m_proxy;
    std::unique_ptr<ScriptedHostUi> m_ui;
};

void PriceTableEntryTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    QVERIFY(m_proxy.start(m_server.host(), m_server.port()));
    const QStringList tables = {
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '050', 'Vazia')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '051', 'Janeiro')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '052', 'Ordem')",
        "INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', '053', 'Livre')",
    };
    for (const QString &sql : tables)
        QVERIFY(execSql(sql));
    for (const char *table : {"051", "052", "053"}) {
        QVERIFY(execSql(QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                                       "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', '%1', "
                                       "'2031-01-01 00:00:00', '2031-01-31 00:00:00', '1')")
                            .arg(QLatin1String(table))));
    }
}

void PriceTableEntryTest::cleanupTestCase()
{
    m_server.stop();
}

void PriceTableEntryTest::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    m_proxy.clearFailures();
    test::setHostBranch();
    HostState &state = HostState::instance();
    state.processingDate = kProcessingDate;
    state.serverHost = m_server.host();
    state.serverPort = m_proxy.port();
}

void PriceTableEntryTest::cleanup()
{
    QPointer<TfrmTabePreco> form = Cli_prx51700::frmTabePreco;
    if (form) {
        // Whatever a test left half typed is dropped without a question.
        form->cdsTabeVend->cancelUpdates();
        form->cdsTabePrec->cancelUpdates();
        form->close();
        QTRY_VERIFY(form.isNull());
    }
    QVERIFY(m_ui->busyBalanced());
    QCOMPARE(m_ui->pendingAnswers(), 0);
    m_ui.reset();
}

bool PriceTableEntryTest::execSql(const QString &statement)
{
    return test::execFixtureSql(m_server.databaseFile(), statement);
}

int PriceTableEntryTest::countRows(const QString &statement)
{
    return test::countFixtureRows(m_server.databaseFile(), statement);
}

// Keys go where the user's would: to the control in focus (a cell editor
// once one is open).
void PriceTableEntryTest::type(const QString &text)
{
    for (const QChar ch : text)
        QTest::keyClick(QApplication::focusWidget(), ch.toLatin1());
}

void PriceTableEntryTest::press(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
}

// Replaces the text of the grid's current cell as a user would: F2 opens
// the cell, or a Backspace for the code column, which opens on the keys of a
// code only.
void PriceTableEntryTest::typeIntoCell(DBGrid *grid, const QString &text)
{
    QTest::keyClick(grid, Qt::Key_F2);
    if (!grid->editorActive())
        QTest::keyClick(grid, Qt::Key_Backspace);
    if (auto *line = qobject_cast<QLineEdit *>(grid->editor())) {
        line->setFocus();
        line->selectAll();
    }
    type(text);
}

bool PriceTableEntryTest::selectTable(TfrmTabePreco *form, const QString &code)
{
    return form->cdsTabePrec->locate(u"CDTABEPREC", code);
}

void PriceTableEntryTest::tableEntry()
{
    TfrmTabePreco *form = test::openPriceTableScreen();
    QVERIFY(form);
    QVERIFY(test::chooseBranch(form, QStringLiteral("1")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    const int tables = form->cdsTabePrec->recordCount();

    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Insert);
    QCOMPARE(form->cdsTabePrec->fieldByName(u"CDFILIAL").asString(), QStringLiteral("0001"));
    QCOMPARE(form->dbgPadrao->selectedField()->name(), QStringLiteral("CDTABEPREC"));

    // Nothing typed: the post names the missing code.
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList{"Código deve ser informado."});
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Insert);

    // A code the branch has is refused on leaving the column, which is
    // selected again.
    typeIntoCell(form->dbgPadrao, QStringLiteral("1"));
    press(Qt::Key_Tab);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("001"));
    QCOMPARE(m_ui->lastText(), QStringLiteral("Tabela de preço já cadastrada."));
    QCOMPARE(form->dbgPadrao->selectedField()->name(), QStringLiteral("CDTABEPREC"));

    // Letters never reach the code; the digits are widened to three.
    typeIntoCell(form->dbgPadrao, QStringLiteral("x7y"));
    press(Qt::Key_Tab);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("007"));
    QCOMPARE(form->dbgPadrao->selectedField()->name(), QStringLiteral("NMTABEPREC"));

    m_ui->clearRecord();
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList{"Nome deve ser informado."});
    QCOMPARE(form->dbgPadrao->selectedField()->name(), QStringLiteral("NMTABEPREC"));

    // Saved at once, and entry goes on with a new row.
    m_ui->clearRecord();
    typeIntoCell(form->dbgPadrao, QStringLiteral("Sete"));
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDFILIAL = '0001' AND CDTABEPREC = '007' "
                       "AND NMTABEPREC = 'Sete'"),
             1);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Insert);
    QCOMPARE(form->cdsTabePrec->recordCount(), tables + 2);
    QVERIFY(HostState::instance().changedTables().contains(QStringLiteral("TABEPREC")));

    QVERIFY(form->sbtCancelar->isEnabled());
    m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
    QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
    QCOMPARE(form->cdsTabePrec->recordCount(), tables + 1);
}

void PriceTableEntryTest::savedCodeIsLocked()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("002")));
    form->dbgPadrao->setSelectedIndex(0);
    type(QStringLiteral("9a"));
    press(Qt::Key_Backspace);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
    QVERIFY(!form->dbgPadrao->editorActive());

    // Even with its cell open, Delete and Backspace leave the code alone.
    type(QStringLiteral("9")); // unlocks the column, and is dropped itself
    QTest::keyClick(form->dbgPadrao, Qt::Key_F2);
    QVERIFY(form->dbgPadrao->editorHasFocus());
    press(Qt::Key_Home);
    press(Qt::Key_Delete);
    press(Qt::Key_End);
    press(Qt::Key_Backspace);
    QCOMPARE(form->dbgPadrao->editorText(), QStringLiteral("002"));
    form->dbgPadrao->commitEditor();
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("002"));
    QCOMPARE(m_ui->messages().size(), 0);
}

void PriceTableEntryTest::refusedSaveUndoesTheRow_data()
{
    QTest::addColumn<bool>("period");
    QTest::newRow("new table") << false;
    QTest::newRow("new period") << true;
}

void PriceTableEntryTest::refusedSaveUndoesTheRow()
{
    QFETCH(bool, period);
    const QString refusal = QStringLiteral("Registro alterado por outro usuário.");
    m_proxy.failMethod(period ? QStringLiteral("SetTabeVend") : QStringLiteral("SetTabePrec"),
                       refusal);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    const int tables = form->cdsTabePrec->recordCount();
    if (!period) {
        QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
        typeIntoCell(form->dbgPadrao, QStringLiteral("8"));
        press(Qt::Key_Tab);
        typeIntoCell(form->dbgPadrao, QStringLiteral("Oito"));
        press(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(m_ui->errors(), QStringList{refusal});
        QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
        QCOMPARE(form->cdsTabePrec->recordCount(), tables);
        QVERIFY(!form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("008")));
        QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDTABEPREC = '008'"), 0);
        return;
    }
    QVERIFY(selectTable(form, QStringLiteral("053")));
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    const int periods = form->cdsTabeVend->recordCount();
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    form->dbgTabeVend->setSelectedIndex(1);
    typeIntoCell(form->dbgTabeVend, dateKeys(QDate(2031, 2, 20)));
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList{refusal});
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Browse);
    QCOMPARE(form->cdsTabeVend->recordCount(), periods);
    QCOMPARE(form->cdsTabeVend->changeCount(), 0);
    QCOMPARE(countRows("SELECT 1 FROM TABEVEND WHERE CDTABEPREC = '053'"), periods);
}

void PriceTableEntryTest::newPeriodStart_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QDate>("start");
    QTest::newRow("first period") << "050" << kProcessingDate;
    QTest::newRow("after one ending 31/01") << "051" << QDate(2031, 2, 1);
}

void PriceTableEntryTest::newPeriodStart()
{
    QFETCH(QString, table);
    QFETCH(QDate, start);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, table));
    const int periods = form->cdsTabeVend->recordCount();
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());

    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Insert);
    QCOMPARE(form->cdsTabeVendDTINIVGPREC->asDateTime().date(), start);
    QCOMPARE(form->cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), table);
    // The pending period shows as a change of its table.
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Edit);
    QVERIFY(form->mnuConfirmar->isEnabled());

    // The start is computed, never typed.
    form->dbgTabeVend->setSelectedIndex(0);
    type(QStringLiteral("01012030"));
    QCOMPARE(form->cdsTabeVendDTINIVGPREC->asDateTime().date(), start);

    press(Qt::Key_Tab);
    typeIntoCell(form->dbgTabeVend, dateKeys(start.addDays(40)));
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Browse);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
    QVERIFY(selectTable(form, table)); // the refresh went back to the first table
    QCOMPARE(form->cdsTabeVend->recordCount(), periods + 1);
    QCOMPARE(countRows(QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = '0001' AND "
                                      "CDTABEPREC = '%1' AND DTINIVGPREC LIKE '%2%'")
                           .arg(table, start.toString(Qt::ISODate))),
             1);
}

void PriceTableEntryTest::endBeforeStartRefused()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("052")));
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    const int pesqCalls = m_proxy.callCount(QStringLiteral("GetPesqDataVigente"));
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    const QDate start = form->cdsTabeVendDTINIVGPREC->asDateTime().date();
    form->dbgTabeVend->setSelectedIndex(1);

    // Without an end nothing else is checked, and the items stay out of reach.
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList{"Data final de vigência deve ser informada."});
    QCOMPARE(m_proxy.callCount(QStringLiteral("GetPesqDataVigente")), pesqCalls);
    QVERIFY(!form->isPageEnabled(form->tshFormulario));
    QVERIFY(!form->mnuFormulario->isEnabled());
    m_ui->clearRecord();

    // The same day as the start is not after it.
    typeIntoCell(form->dbgTabeVend, dateKeys(start));
    press(Qt::Key_Tab);
    QCOMPARE(m_ui->errors(), QStringList{kEndBeforeStart});
    QCOMPARE(form->dbgTabeVend->selectedField()->name(), QStringLiteral("DTFINVGPREC"));

    typeIntoCell(form->dbgTabeVend, dateKeys(start.addDays(-3)));
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), (QStringList{kEndBeforeStart, kEndBeforeStart}));
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Insert);

    // Clearing the end keeps the date typed before.
    typeIntoCell(form->dbgTabeVend, QString());
    press(Qt::Key_Backspace);
    form->dbgTabeVend->commitEditor();
    QCOMPARE(form->cdsTabeVendDTFINVGPREC->asDateTime().date(), start.addDays(-3));
    QCOMPARE(countRows("SELECT 1 FROM TABEVEND WHERE CDTABEPREC = '052'"), 1);
}

void PriceTableEntryTest::periodChecksInOrder_data()
{
    QTest::addColumn<int>("endOffset"); // days from today for the first period's new end
    QTest::addColumn<QString>("message");
    QTest::newRow("two in force") << 5 << "Tabela de Preço só pode ter uma Data Vigente.";
    QTest::newRow("overlap only") << -10
                                  << "Operação bloqueada!  A data final da vigência está em "
                                     "conflito com o período de outra vigência.";
}

void PriceTableEntryTest::periodChecksInOrder()
{
    QFETCH(int, endOffset);
    QFETCH(QString, message);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("001")));
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    form->cdsTabeVend->first(); // ended a month ago; the next one is in force
    const QDateTime end = form->cdsTabeVendDTFINVGPREC->asDateTime();
    const int saves = m_proxy.callCount(QStringLiteral("SetTabeVend"));

    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Edit);
    QCOMPARE(form->dbgTabeVend->selectedField()->name(), QStringLiteral("DTFINVGPREC"));
    typeIntoCell(form->dbgTabeVend, dateKeys(QDate::currentDate().addDays(endOffset)));
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Edit);
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetTabeVend")), saves);

    m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
    QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Browse);
    QCOMPARE(form->cdsTabeVendDTFINVGPREC->asDateTime(), end);
}

void PriceTableEntryTest::overlapCheckErrorStopsTheSave()
{
    const QString failure = QStringLiteral("Falha ao consultar os períodos de vigência.");
    m_proxy.failMethod(QStringLiteral("getTabePrecData"), failure);
    const int saves = m_proxy.callCount(QStringLiteral("SetTabeVend"));
    const int checks = m_proxy.callCount(QStringLiteral("getTabePrecData"));
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("052")));
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    form->dbgTabeVend->setSelectedIndex(1);
    typeIntoCell(form->dbgTabeVend, dateKeys(QDate(2031, 3, 31)));
    press(Qt::Key_Return, Qt::ControlModifier);

    QCOMPARE(m_ui->errors(), QStringList{failure});
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Insert);
    QCOMPARE(m_proxy.callCount(QStringLiteral("getTabePrecData")), checks + 1);
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetTabeVend")), saves);
    QCOMPARE(countRows("SELECT 1 FROM TABEVEND WHERE CDTABEPREC = '052'"), 1);
}

void PriceTableEntryTest::periodDeletion_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("message");
    // Table 002 is assigned to a store and to clients; 003 to a client
    // branch and to clients.
    QTest::newRow("store before client")
        << "002"
        << "Período de Vigência não poderá ser excluido. Esta Tabela de Preço está parametrizada "
           "por Loja.";
    QTest::newRow("client branch first")
        << "003"
        << "Período de Vigência não poderá ser excluido. Esta Tabela de Preço está parametrizada "
           "por Cliente Filial.";
    QTest::newRow("not assigned") << "051"
                                  << "";
}

void PriceTableEntryTest::periodDeletion()
{
    QFETCH(QString, table);
    QFETCH(QString, message);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, table));
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    form->cdsTabeVend->last();
    const int periods = form->cdsTabeVend->recordCount();
    const QString stored =
        QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = '0001' AND CDTABEPREC = '%1'")
            .arg(table);
    QCOMPARE(countRows(stored), periods);

    m_ui->answerQuestion(MsgYes, QStringLiteral("Confirma exclusão do período de vigência?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    if (message.isEmpty()) {
        QCOMPARE(m_ui->errors(), QStringList());
        QCOMPARE(form->cdsTabeVend->recordCount(), periods - 1);
        QCOMPARE(countRows(stored), periods - 1);
    } else {
        QCOMPARE(m_ui->errors(), QStringList{message});
        QCOMPARE(form->cdsTabeVend->recordCount(), periods);
        QCOMPARE(countRows(stored), periods);
    }
}

void PriceTableEntryTest::tableDeletion()
{
    QVERIFY(execSql("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                    "VALUES ('0001', '054', 'Descartada')"));
    QVERIFY(execSql("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                    "IDSITVGPREC) VALUES ('0001', '054', '2031-05-01 00:00:00', "
                    "'2031-05-31 00:00:00', '1')"));
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    const int tables = form->cdsTabePrec->recordCount();
    QVERIFY(selectTable(form, QStringLiteral("054")));
    QCOMPARE(form->cdsTabeVend->recordCount(), 1);

    // No is the cautious answer: nothing changes.
    m_ui->answerQuestion(MsgNo, QStringLiteral("Confirma exclusão da tabela de venda?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->recordCount(), tables);

    m_ui->answerQuestion(MsgYes, QStringLiteral("Confirma exclusão da tabela de venda?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsTabePrec->recordCount(), tables - 1);
    QVERIFY(!form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("054")));
    QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDTABEPREC = '054'"), 0);
    QCOMPARE(countRows("SELECT 1 FROM TABEVEND WHERE CDTABEPREC = '054'"), 0);
}

void PriceTableEntryTest::tableDeletionRefusedUpFront_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("message");
    QTest::newRow("another period")
        << "056"
        << "Exclusão não permitida. A tabela de preço possui outros períodos de vigência; "
           "exclua-os antes de excluir a tabela.";
    QTest::newRow("assigned") << "057"
                              << "Exclusão não permitida. Esta Tabela de Preço está parametrizada "
                                 "por Cliente, Loja ou Filial.";
}

void PriceTableEntryTest::tableDeletionRefusedUpFront()
{
    QFETCH(QString, table);
    QFETCH(QString, message);
    QVERIFY(execSql(QStringLiteral("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                                   "VALUES ('0001', '%1', 'Mantida')")
                        .arg(table)));
    for (const char *start : {"2032-01-01", "2032-02-01"}) {
        if (table == u"057" && QLatin1String(start) == QLatin1String("2032-02-01"))
            break; // one period only: the assignment alone keeps it
        QVERIFY(execSql(QStringLiteral("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                                       "DTFINVGPREC, IDSITVGPREC) VALUES ('0001', '%1', "
                                       "'%2 00:00:00', '%2 00:00:00', '1')")
                            .arg(table, QLatin1String(start))));
    }
    if (table == u"057") {
        QVERIFY(execSql("INSERT INTO TABPRECFILI (CDFILIAL, CDFILTABPR, CDTABEPREC) "
                        "VALUES ('0002', '0001', '057')"));
    }
    const QString periods =
        QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDTABEPREC = '%1'").arg(table);
    const int stored = countRows(periods);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, table));
    m_ui->answerQuestion(MsgYes, QStringLiteral("Confirma exclusão da tabela de venda?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(countRows(periods), stored);
    QCOMPARE(form->cdsTabeVend->recordCount(), stored);
    QCOMPARE(countRows(QStringLiteral("SELECT 1 FROM TABEPREC WHERE CDTABEPREC = '%1'").arg(table)),
             1);
}

void PriceTableEntryTest::ctrlDeleteNeverDeletesATable()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("050")));
    const int tables = form->cdsTabePrec->recordCount();
    QTest::keyClick(form->dbgPadrao, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ui->messages().size(), 0);
    QCOMPARE(form->cdsTabePrec->recordCount(), tables);
    QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDTABEPREC = '050'"), 1);
}

void PriceTableEntryTest::pasteCannotChangeASavedCode()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("002")));
    form->dbgPadrao->setSelectedIndex(0);
    type(QStringLiteral("9")); // unlocks the code column, and is dropped itself
    QTest::keyClick(form->dbgPadrao, Qt::Key_F2);
    QVERIFY(form->dbgPadrao->editorHasFocus());
    QApplication::clipboard()->setText(QStringLiteral("777"));
    press(Qt::Key_V, Qt::ControlModifier);
    press(Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(form->dbgPadrao->editorText(), QStringLiteral("002"));
    form->dbgPadrao->commitEditor();
    press(Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("002"));
    QCOMPARE(form->cdsTabePrec->changeCount(), 0);
    QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDFILIAL = '0001' AND CDTABEPREC = '777'"),
             0);
}

void PriceTableEntryTest::droppedNewTableShowsTheRowsPeriods_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("cancelled") << false;
    QTest::newRow("refused by the server") << true;
}

void PriceTableEntryTest::droppedNewTableShowsTheRowsPeriods()
{
    QFETCH(bool, refused);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("051")));
    QCOMPARE(form->cdsTabeVend->recordCount(), 1);
    QTest::mouseClick(form->sbtIncluir, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Insert);
    QCOMPARE(form->cdsTabeVend->recordCount(), 0);
    if (refused) {
        m_proxy.failMethod(QStringLiteral("SetTabePrec"), QStringLiteral("Recusado."));
        typeIntoCell(form->dbgPadrao, QStringLiteral("8"));
        press(Qt::Key_Tab);
        typeIntoCell(form->dbgPadrao, QStringLiteral("Oito"));
        press(Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(m_ui->errors(), QStringList{"Recusado."});
    } else {
        m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
        QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    }
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);
    const QString table = form->cdsTabePrecCDTABEPREC->asString();
    QVERIFY(!table.isEmpty());
    const int periods =
        countRows(QStringLiteral("SELECT 1 FROM TABEVEND WHERE CDFILIAL = '0001' AND "
                                 "CDTABEPREC = '%1'")
                      .arg(table));
    QVERIFY(periods > 0);
    QCOMPARE(form->cdsTabeVend->recordCount(), periods);
    QCOMPARE(form->cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), table);
}

void PriceTableEntryTest::commandsFollowTheGridInUse()
{
    QVERIFY(execSql("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                    "VALUES ('0001', '058', 'Sem vigência')"));
    QVERIFY(execSql("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                    "IDSITVGPREC) VALUES ('0001', '059', '2031-06-01 00:00:00', "
                    "'2031-06-30 00:00:00', '1')"));
    QVERIFY(execSql("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                    "VALUES ('0001', '059', 'Com vigência')"));
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(selectTable(form, QStringLiteral("059")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());

    // Arrowing onto a table without periods keeps the table commands on.
    press(Qt::Key_Up);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("058"));
    QCOMPARE(form->cdsTabeVend->recordCount(), 0);
    QVERIFY(form->sbtAlterar->isEnabled());
    QVERIFY(form->sbtExcluir->isEnabled());
    QVERIFY(form->sbtVerificar->isEnabled());
    QVERIFY(form->sbtProcurar->isEnabled());
    m_ui->answerQuestion(MsgYes, QStringLiteral("Confirma exclusão da tabela de venda?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(countRows("SELECT 1 FROM TABEPREC WHERE CDTABEPREC = '058'"), 0);

    // Back on a table with periods, Alter still alters the table.
    QVERIFY(selectTable(form, QStringLiteral("059")));
    QVERIFY(form->dbgPadrao->hasFocus());
    QVERIFY(form->sbtAlterar->isEnabled());
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Edit);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Browse);
    m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
    QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->state(), DataSetState::Browse);

    // Tab past the name reaches the periods, and the commands follow them.
    form->dbgPadrao->setSelectedIndex(1);
    press(Qt::Key_Tab);
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Edit);
    m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
    QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Browse);
}

void PriceTableEntryTest::printOpensPriceList()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    const QString table = form->cdsTabePrecCDTABEPREC->asString();
    // Not the period the list would choose by itself (the one in force).
    form->cdsTabeVend->last();
    const QString period = form->cdsTabeVendDTINIVGPREC->asDateTime().toString(u"dd/MM/yyyy");
    QString title, branch, shownTable, shownPeriod;
    test::onNextModal([&](QWidget *modal) {
        title = modal->windowTitle();
        if (auto *edit = modal->findChild<QLineEdit *>(QStringLiteral("medCdFilial")))
            branch = edit->text();
        if (auto *edit = modal->findChild<QLineEdit *>(QStringLiteral("medCdTabePrec")))
            shownTable = edit->text();
        if (auto *combo = modal->findChild<QComboBox *>(QStringLiteral("cmbVigencia")))
            shownPeriod = combo->currentText();
        modal->close();
    });
    QTest::mouseClick(form->sbtImprimir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(title, QStringLiteral("Lista de Preços"));
    QCOMPARE(branch, QStringLiteral("0001"));
    QVERIFY(!table.isEmpty());
    QCOMPARE(shownTable, table);
    QVERIFY2(shownPeriod.startsWith(period), qPrintable(shownPeriod + " / " + period));
}

QTEST_MAIN(PriceTableEntryTest)
#include "tst_pricetableentry.moc"

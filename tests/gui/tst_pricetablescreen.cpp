#include "FixtureSql.h"
#include "GuiHelpers.h"
#include "ScreenSteps.h"
#include "ScriptedHostUi.h"
#include "ServerFixture.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/ScreenTexts.h"
#include "pricetable/TfrmTabePreco.h"
#include "widgets/DBText.h"
#include "widgets/MaskEdit.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTabWidget>
#include <QTest>

using namespace prx;
using prx::test::ScriptedHostUi;
using prx::test::ServerFixture;

class PriceTableScreenTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    // Opening fills the branch from the host; leaving the branch loads its
    // tables and the periods of the first table, once, with the screen
    // state that goes with them.
    void opensAndLoadsTheBranch();
    // A code typed short is widened before the lookup; an unknown or empty
    // code is refused with its message and keeps the focus on the code.
    void branchValidation_data();
    void branchValidation();
    // The detail page loads the period's items and differentiated prices,
    // and below each item only that item's differentiated prices show.
    void detailPageFollowsTheItem();
    // A branch without tables must not take a period typed into the grid.
    void emptyBranchLocksThePeriodGrid();
    // Component prices of a branch that forbids them cannot be altered.
    void restrictedBranchCannotAlterComponents_data();
    void restrictedBranchCannotAlterComponents();
    // The approval buttons follow the period's state and keep theirs when
    // there is no period.
    void approvalButtonsFollowThePeriod();
    // While a period is typed the approval buttons are off: a state change
    // reloads the periods and would drop what was typed.
    void approvalWaitsForTheTypedPeriod();
    // The period in force today is the current one once a table's periods
    // load, not the oldest.
    void periodInForceIsCurrent();
    // Ctrl+Tab / Ctrl+PgDown and Ctrl+PgUp switch pages, into their grids.
    void pagesByKeyboard();
    // On the detail page the commands act on the price items: Alter and
    // Confirm save the item, Cancel brings its price back, Delete clears the
    // product's prices on the server.
    void itemCommands();
    // Find searches the dataset of the grid in focus, and Refresh reloads
    // the list page.
    void findFollowsTheFocus();
    // F12 alone jumps to the first control of the panel that follows the
    // pages in tab order (the branch code), not onto the page tabs; with
    // Shift, Ctrl or Alt held it leaves the focus where it was.
    void f12JumpsPastThePages_data();
    void f12JumpsPastThePages();
    // Approving a period with products without a tax rate lists them and
    // leaves the period as it was; releasing it changes its state at once.
    // (Changes the demo data: runs last.)
    void approveAndRelease();

private:
    bool execSql(const QString &statement);
    QVariant storedPrice(const QString &product, const QDate &start);

    ServerFixture m_server;
    std::unique_ptr<ScriptedHostUi> m_ui;
};

void PriceTableScreenTest::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    // A branch of the chain that has no price table yet.
    QVERIFY(execSql(QStringLiteral(
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDSEGMER, IDPRECDIFCOM, CDGRPRODPDV, "
        "IDUTMODPRODFIL) VALUES ('0009', 'Filial Nova', '00001', 'S', 'GRP0001', 'N')")));
}

void PriceTableScreenTest::cleanupTestCase()
{
    m_server.stop();
}

void PriceTableScreenTest::init()
{
    m_ui = std::make_unique<ScriptedHostUi>();
    test::setHostBranch();
}

void PriceTableScreenTest::cleanup()
{
    QPointer<TfrmTabePreco> form = Cli_prx51700::frmTabePreco;
    if (form) {
        form->close();
        QTRY_VERIFY(form.isNull());
    }
    QVERIFY(m_ui->busyBalanced());
    m_ui.reset();
}

bool PriceTableScreenTest::execSql(const QString &statement)
{
    return test::execFixtureSql(m_server.databaseFile(), statement);
}

// The consumer price the server holds for the product in table 001 of
// branch 0001; an invalid value when it has no row.
QVariant PriceTableScreenTest::storedPrice(const QString &product, const QDate &start)
{
    return test::fixtureValue(
        m_server.databaseFile(),
        QStringLiteral("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                       "CDTABEPREC = '001' AND CDPRODUTO = :product AND CDPRPAITABPR = :parent "
                       "AND DTINIVGPREC LIKE :start"),
        {{QStringLiteral(":product"), product},
         {QStringLiteral(":parent"), product},
         {QStringLiteral(":start"), start.toString(Qt::ISODate) + QLatin1Char('%')}});
}

void PriceTableScreenTest::opensAndLoadsTheBranch()
{
    TfrmTabePreco *form = test::openPriceTableScreen();
    QVERIFY(form);
    QCOMPARE(form->medCdFilial->text(), QStringLiteral("0001"));
    QCOMPARE(form->edtNmFilial->text(), QStringLiteral("Restaurante Centro"));
    QVERIFY(form->medCdFilial->hasFocus());
    QVERIFY(!form->cdsTabePrec->isActive());
    QVERIFY(!form->isPageEnabled(form->tshFormulario));

    QTest::keyClick(form->medCdFilial, Qt::Key_Tab);
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsTabePrec->recordCount(), 3);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("001"));
    QCOMPARE(form->cdsTabeVend->recordCount(), 3);
    QCOMPARE(form->cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), QStringLiteral("001"));
    QCOMPARE(form->edtModProduto->text(), QStringLiteral("Filial utiliza módulo de produtos."));
    QVERIFY(form->edtSegmento->text().startsWith(QStringLiteral("00001 - ")));
    QVERIFY(form->edtGrupoProd->text().startsWith(QStringLiteral("GRP0001 - ")));
    QVERIFY(form->isPageEnabled(form->tshFormulario));
    QVERIFY(form->mnuFormulario->isEnabled());
    QVERIFY(form->sbtImport->isEnabled());
    QVERIFY(form->mnuImpExp->isEnabled());
    QVERIFY(form->mnuIncluir->isEnabled() && form->sbtIncluir->isEnabled());
    QVERIFY(!form->mnuConfirmar->isEnabled() && !form->sbtConfirmar->isEnabled());
    for (QAction *bulk : {form->mnuAtualizaPreco, form->mnuProdPro, form->mnuCadPrecoDif})
        QVERIFY2(bulk->isEnabled(), qPrintable(bulk->objectName()));
    QVERIFY(form->btfAtualizaPreco->isEnabled());
    QCOMPARE(form->dbtNome->text(), QStringLiteral("Balcão")); // the name the period carries

    // Every period says whether it is in force today and shows its state as a word.
    for (int row = 0; row < form->cdsTabeVend->recordCount(); ++row) {
        form->cdsTabeVend->moveTo(row);
        const bool inForce =
            pricetable::inForce(wallClockToday(), form->cdsTabeVendDTINIVGPREC->asDateTime(),
                                form->cdsTabeVendDTFINVGPREC->asDateTime());
        QCOMPARE(form->cdsTabeVend->fieldByName(u"Situacao").asString(),
                 inForce ? QStringLiteral("Ativa") : QStringLiteral("Inativa"));
        const QString status = form->cdsTabeVend->fieldByName(u"IDSITVGPREC").asString();
        QCOMPARE(form->cdsTabeVend->fieldByName(u"IDSITVGPREC").displayText(),
                 pricetable::codingText(pricetable::statusCodings(), form->msgPadrao, status));
        QVERIFY(!form->cdsTabeVend->fieldByName(u"IDSITVGPREC").displayText().isEmpty());
    }
    form->cdsTabeVend->first();

    // Another table brings its own periods.
    form->cdsTabePrec->moveTo(1);
    QCOMPARE(form->cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), QStringLiteral("002"));
    form->cdsTabePrec->first();
    QVERIFY(m_ui->busyBalanced());

    QString shot;
    QVERIFY(test::grabScreenshot(form, QStringLiteral("prx51700-lista.png"), &shot));
    qInfo("list page: %s", qPrintable(shot));
}

void PriceTableScreenTest::branchValidation_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("message");
    QTest::newRow("short code") << "2"
                                << "0002"
                                << "";
    QTest::newRow("unknown") << "99"
                             << "0099"
                             << "Filial não cadastrada.";
    QTest::newRow("empty") << ""
                           << ""
                           << "Filial deve ser informada.";
}

void PriceTableScreenTest::branchValidation()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, message);
    TfrmTabePreco *form = test::openPriceTableScreen();
    QVERIFY(form);
    QVERIFY(test::chooseBranch(form, typed));
    QTRY_COMPARE(form->medCdFilial->text(), shown);
    if (message.isEmpty()) {
        QTRY_VERIFY(form->dbgPadrao->hasFocus());
        QCOMPARE(m_ui->errors(), QStringList());
        QCOMPARE(form->edtNmFilial->text(), QStringLiteral("Loja Shopping Iguatemi"));
        QCOMPARE(form->edtModProduto->text(),
                 QStringLiteral("Filial não utiliza módulo de produtos."));
        QCOMPARE(form->cdsTabePrec->fieldByName(u"CDFILIAL").asString(), shown);
    } else {
        QTRY_COMPARE(m_ui->errors(), QStringList{message});
        QVERIFY(form->medCdFilial->hasFocus());
        QVERIFY(!form->cdsTabePrec->isActive());
        QVERIFY(!form->isPageEnabled(form->tshFormulario));
        QCOMPARE(form->edtNmFilial->text(), QString());
    }
}

void PriceTableScreenTest::detailPageFollowsTheItem()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    form->cdsTabeVend->moveTo(1); // the period in force in the demo chain
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(form->cdsItemPreco->recordCount() > 0);
    QVERIFY(form->cdsPrecoHora->isActive());
    QCOMPARE(form->pgcItemPreco->currentWidget(), form->tshProduto);
    QVERIFY(!form->sbtImport->isEnabled());
    QVERIFY(form->mnuFormulario->isChecked() && !form->mnuFolhaDados->isChecked());
    QVERIFY(form->mnuCopPrecoDif->isEnabled());

    // Only the differentiated prices of the item in focus show, whatever
    // the item; counted here from all the rows the period holds.
    const ColumnTable &all = form->cdsPrecoHora->data();
    const int product = all.indexOf(u"CDPRODUTO");
    const int parent = all.indexOf(u"CDPRPAITABPR");
    QVERIFY(all.rowCount() > 0);
    int itemsWithPrices = 0;
    int composite = -1;
    int plain = -1;
    for (int row = 0; row < form->cdsItemPreco->recordCount(); ++row) {
        form->cdsItemPreco->moveTo(row);
        const QString code = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
        const QString owner = form->cdsItemPreco->fieldByName(u"CDPRPAITABPR").asString();
        int expected = 0;
        for (int r = 0; r < all.rowCount(); ++r)
            expected += all.string(r, product) == code && all.string(r, parent) == owner;
        QCOMPARE(form->cdsPrecoHora->recordCount(), expected);
        for (int shown = 0; shown < form->cdsPrecoHora->recordCount(); ++shown)
            QCOMPARE(form->cdsPrecoHora->valueAt(shown, product).toString(), code);
        itemsWithPrices += expected > 0;
        const bool isComposite = form->cdsItemPreco->fieldByName(u"NRCOMPPROD").asFloat() > 0;
        (isComposite ? composite : plain) = row;
        QCOMPARE(form->pgcItemPreco->isTabEnabled(form->pgcItemPreco->indexOf(form->tshComposicao)),
                 isComposite);
        QCOMPARE(form->mnuComposicao->isEnabled(), isComposite);
    }
    QVERIFY(itemsWithPrices > 0);
    QVERIFY(composite >= 0 && plain >= 0);

    // The composition of a composite item loads when its page is shown.
    form->cdsItemPreco->moveTo(composite);
    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    QVERIFY(form->cdsItemPrecoComp->recordCount() > 0);
    QCOMPARE(form->cdsItemPrecoComp->fieldByName(u"CDPRPAITABPR").asString(),
             form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString());
    QVERIFY(form->mnuComposicao->isChecked() && !form->mnuProduto->isChecked());
    form->pgcItemPreco->setCurrentWidget(form->tshProduto);

    // Show an item with differentiated prices for the picture.
    for (int row = 0; row < form->cdsItemPreco->recordCount(); ++row) {
        form->cdsItemPreco->moveTo(row);
        if (form->cdsPrecoHora->recordCount() > 0)
            break;
    }
    form->dbsItemPreco->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));
    QCOMPARE(m_ui->errors(), QStringList());
    QString shot;
    QVERIFY(test::grabScreenshot(form, QStringLiteral("prx51700-itens.png"), &shot));
    qInfo("detail page: %s", qPrintable(shot));
}

void PriceTableScreenTest::emptyBranchLocksThePeriodGrid()
{
    TfrmTabePreco *form = test::openPriceTableScreen();
    QVERIFY(form);
    QVERIFY(test::chooseBranch(form, QStringLiteral("9")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(form->cdsTabePrec->isActive() && form->cdsTabePrec->isEmpty());
    QVERIFY(form->cdsTabeVend->isActive() && form->cdsTabeVend->isEmpty());
    QVERIFY(!form->isPageEnabled(form->tshFormulario));
    QVERIFY(form->mnuIncluir->isEnabled()); // a first table may be added

    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    QVERIFY(!form->mnuIncluir->isEnabled());
    QVERIFY(!form->sbtIncluir->isEnabled());
    QVERIFY(form->dbgTabeVend->isReadOnly());

    form->dbgPadrao->setFocus();
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QVERIFY(form->mnuIncluir->isEnabled());
    QVERIFY(form->sbtIncluir->isEnabled());
    QVERIFY(!form->dbgTabeVend->isReadOnly());
}

void PriceTableScreenTest::restrictedBranchCannotAlterComponents_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("alter");
    QTest::newRow("restricted") << "N" << false;
    QTest::newRow("allowed") << "S" << true;
}

void PriceTableScreenTest::restrictedBranchCannotAlterComponents()
{
    QFETCH(QString, flag);
    QFETCH(bool, alter);
    QVERIFY(execSql(
        QStringLiteral("UPDATE FILIAL SET IDPRECDIFCOM = '%1' WHERE CDFILIAL = '0001'").arg(flag)));
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    QVERIFY(form->cdsItemPreco->locate(u"NRCOMPPROD", 3.0));
    QVERIFY(form->mnuAlterar->isEnabled()); // the items themselves can be altered

    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    QVERIFY(form->cdsItemPrecoComp->recordCount() > 0);
    form->dbgItPrecoComp->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("4"));
    QCOMPARE(form->mnuAlterar->isEnabled(), alter);
    QCOMPARE(form->sbtAlterar->isEnabled(), alter);

    // Nor can a component row be put into edit behind the commands' back.
    try {
        form->cdsItemPrecoComp->edit();
    } catch (...) {
    }
    QCOMPARE(form->cdsItemPrecoComp->state() == DataSetState::Edit, alter);
    if (alter)
        form->cdsItemPrecoComp->cancel();
    // Back to the detail page, the product sub-page is shown again and the
    // commands are those of its grid.
    form->pgcPadrao->setCurrentWidget(form->tshFolhaDados);
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    QCOMPARE(form->pgcItemPreco->currentWidget(), form->tshProduto);
    QVERIFY(form->mnuAlterar->isEnabled());
    QVERIFY(
        execSql(QStringLiteral("UPDATE FILIAL SET IDPRECDIFCOM = 'S' WHERE CDFILIAL = '0001'")));
}

void PriceTableScreenTest::approvalWaitsForTheTypedPeriod()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")));
    QVERIFY(form->cdsTabeVend->locate(u"IDSITVGPREC", QStringLiteral("3")));
    QVERIFY(form->btnLibDig->isEnabled() && form->btnAprDig->isEnabled());
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Edit);
    const QDateTime typed = form->cdsTabeVendDTFINVGPREC->asDateTime().addDays(1);
    form->cdsTabeVendDTFINVGPREC->setAsDateTime(typed);
    QVERIFY(!form->btnLibDig->isEnabled() && !form->btnAprDig->isEnabled());
    QTest::mouseClick(form->btnLibDig, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVend->state(), DataSetState::Edit);
    QCOMPARE(form->cdsTabeVendDTFINVGPREC->asDateTime(), typed);
    form->cdsTabeVend->cancel();
    form->cdsTabePrec->cancelUpdates();
    QVERIFY(form->btnLibDig->isEnabled() && form->btnAprDig->isEnabled());
}

void PriceTableScreenTest::periodInForceIsCurrent()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    const QDate today = QDate::currentDate();
    for (const char *table : {"001", "002"}) {
        QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QString::fromLatin1(table)));
        QVERIFY(form->cdsTabeVend->recordCount() > 1);
        QVERIFY(form->cdsTabeVend->currentRow() > 0);
        QVERIFY(form->cdsTabeVendDTINIVGPREC->asDateTime().date() <= today);
        QVERIFY(form->cdsTabeVendDTFINVGPREC->asDateTime().date() >= today);
    }
}

void PriceTableScreenTest::pagesByKeyboard()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QTest::keyClick(form->dbgPadrao, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(form->pgcPadrao->currentWidget(), form->tshFormulario);
    QTRY_VERIFY(form->dbsItemPreco->hasFocus());
    QCOMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));
    QTest::keyClick(form->dbsItemPreco, Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(form->pgcPadrao->currentWidget(), form->tshFolhaDados);
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QTest::keyClick(form->dbgPadrao, Qt::Key_PageDown, Qt::ControlModifier);
    QCOMPARE(form->pgcPadrao->currentWidget(), form->tshFormulario);
    QTRY_VERIFY(form->dbsItemPreco->hasFocus());
    QCOMPARE(m_ui->errors(), QStringList());
}

void PriceTableScreenTest::approvalButtonsFollowThePeriod()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);

    // Every period of every table of the branch: the states the demo chain
    // has cover all four.
    struct Expected
    {
        bool release;
        bool approve;
    };
    const QHash<QString, Expected> expected = {
        {"1", {true, false}}, {"2", {false, false}}, {"3", {true, true}}, {"4", {true, false}}};
    QSet<QString> seen;
    QString releasedTable;
    int releasedRow = -1;
    for (int table = 0; table < form->cdsTabePrec->recordCount(); ++table) {
        form->cdsTabePrec->moveTo(table);
        for (int row = 0; row < form->cdsTabeVend->recordCount(); ++row) {
            form->cdsTabeVend->moveTo(row);
            const QString status = form->cdsTabeVend->fieldByName(u"IDSITVGPREC").asString();
            QVERIFY2(expected.contains(status), qPrintable(status));
            QCOMPARE(form->btnLibDig->isEnabled(), expected[status].release);
            QCOMPARE(form->btnAprDig->isEnabled(), expected[status].approve);
            seen.insert(status);
            if (status == QLatin1String("2")) {
                releasedTable = form->cdsTabePrecCDTABEPREC->asString();
                releasedRow = row;
            }
        }
    }
    QCOMPARE(seen.size(), 4);

    // Without a period the buttons keep what they showed: both on here...
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")));
    QVERIFY(form->cdsTabeVend->locate(u"IDSITVGPREC", QStringLiteral("3")));
    QVERIFY(form->btnLibDig->isEnabled() && form->btnAprDig->isEnabled());
    QVERIFY(test::chooseBranch(form, QStringLiteral("0009")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QVERIFY(form->cdsTabeVend->isEmpty());
    QVERIFY(form->btnLibDig->isEnabled() && form->btnAprDig->isEnabled());

    // ...and both off after a released period.
    QVERIFY(test::chooseBranch(form, QStringLiteral("0001")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", releasedTable));
    form->cdsTabeVend->moveTo(releasedRow);
    QVERIFY(!form->btnLibDig->isEnabled() && !form->btnAprDig->isEnabled());
    QVERIFY(test::chooseBranch(form, QStringLiteral("0009")));
    QTRY_VERIFY(form->dbgPadrao->hasFocus());
    QVERIFY(!form->btnLibDig->isEnabled() && !form->btnAprDig->isEnabled());
    QCOMPARE(m_ui->errors(), QStringList());
}

void PriceTableScreenTest::itemCommands()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")));
    form->cdsTabeVend->moveTo(1);
    const QDate start = form->cdsTabeVendDTINIVGPREC->asDateTime().date();
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    form->dbsItemPreco->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("1"));

    // A plain priced item without differentiated prices.
    Field &price = form->cdsItemPreco->fieldByName(u"VRPRECITEM");
    int row = 0;
    for (; row < form->cdsItemPreco->recordCount(); ++row) {
        form->cdsItemPreco->moveTo(row);
        if (!price.isNull() && form->cdsItemPreco->fieldByName(u"NRCOMPPROD").asFloat() == 0 &&
            form->cdsPrecoHora->recordCount() == 0)
            break;
    }
    QVERIFY(row < form->cdsItemPreco->recordCount());
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    QVERIFY(storedPrice(product, start).isValid());

    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Edit);
    QCOMPARE(form->dbsItemPreco->selectedField()->name(), QStringLiteral("VRPRECITEM"));
    price.setAsFloat(12.34);
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Browse);
    QCOMPARE(storedPrice(product, start).toDouble(), 12.34);

    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    price.setAsFloat(99.0);
    m_ui->answerQuestion(MsgYes, QStringLiteral("Cancelar operação?"));
    QTest::mouseClick(form->sbtCancelar, Qt::LeftButton);
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Browse);
    QCOMPARE(price.asFloat(), 12.34);

    m_ui->answerQuestion(
        MsgYes, QStringLiteral("Deseja limpar a parametrização de preço do produto selecionado?"));
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_ui->pendingAnswers(), 0);
    QVERIFY(!storedPrice(product, start).isValid());
    QVERIFY(form->cdsItemPreco->locate(u"CDPRODUTO", product));
    QVERIFY(price.isNull()); // reloaded: the product is listed without prices
}

void PriceTableScreenTest::findFollowsTheFocus()
{
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);

    m_ui->findRow(QStringLiteral("CDTABEPREC"), QStringLiteral("003"));
    QTest::mouseClick(form->sbtProcurar, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("003"));
    QCOMPARE(form->cdsTabeVend->fieldByName(u"CDTABEPREC").asString(), QStringLiteral("003"));

    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());
    form->cdsTabeVend->last();
    const QDateTime wanted = form->cdsTabeVendDTINIVGPREC->asDateTime();
    form->cdsTabeVend->first();
    QVERIFY(form->cdsTabeVendDTINIVGPREC->asDateTime() != wanted);
    m_ui->findRow(QStringLiteral("DTINIVGPREC"), wanted);
    QTest::mouseClick(form->sbtProcurar, Qt::LeftButton);
    QCOMPARE(form->cdsTabeVendDTINIVGPREC->asDateTime(), wanted);
    QCOMPARE(form->cdsTabePrecCDTABEPREC->asString(), QStringLiteral("003"));

    // A table added behind the screen's back shows after Refresh.
    QVERIFY(execSql(QStringLiteral("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) "
                                   "VALUES ('0001', '090', 'Externa')")));
    const int tables = form->cdsTabePrec->recordCount();
    QTest::mouseClick(form->sbtVerificar, Qt::LeftButton);
    QCOMPARE(form->cdsTabePrec->recordCount(), tables + 1);
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(execSql(QStringLiteral("DELETE FROM TABEPREC WHERE CDTABEPREC = '090'")));
}

void PriceTableScreenTest::f12JumpsPastThePages_data()
{
    QTest::addColumn<Qt::KeyboardModifiers>("held");
    QTest::addColumn<bool>("moves");
    QTest::newRow("alone") << Qt::KeyboardModifiers(Qt::NoModifier) << true;
    QTest::newRow("shift") << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
    QTest::newRow("ctrl") << Qt::KeyboardModifiers(Qt::ControlModifier) << false;
    QTest::newRow("alt") << Qt::KeyboardModifiers(Qt::AltModifier) << false;
}

void PriceTableScreenTest::f12JumpsPastThePages()
{
    QFETCH(Qt::KeyboardModifiers, held);
    QFETCH(bool, moves);
    TfrmTabePreco *form = test::openOnBranch();
    QVERIFY(form);
    form->dbgTabeVend->setFocus();
    QTRY_VERIFY(form->dbgTabeVend->hasFocus());

    QTest::keyClick(form->dbgTabeVend, Qt::Key_F12, held);
    QWidget *expected = moves ? form->medCdFilial : static_cast<QWidget *>(form->dbgTabeVend);
    QTRY_COMPARE(QApplication::focusWidget(), expected);
    QCOMPARE(m_ui->errors(), QStringList());
}

void PriceTableScreenTest::approveAndRelease()
{
    // The first branch has every tax rate; the second still lacks some.
    TfrmTabePreco *form = test::openOnBranch(QStringLiteral("0002"));
    QVERIFY(form);
    QVERIFY(form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")));
    QVERIFY(form->cdsTabeVend->locate(u"IDSITVGPREC", QStringLiteral("3")));
    const QDateTime start = form->cdsTabeVendDTINIVGPREC->asDateTime();
    QVERIFY(form->btnAprDig->isEnabled());

    QStringList listed;
    bool closedByEnter = false;
    test::onNextModal([&](QWidget *dialog) {
        auto *rows = dialog->findChild<ClientDataSet *>(QStringLiteral("cdsProdSemImpos"));
        if (rows) {
            for (int r = 0; r < rows->recordCount(); ++r)
                listed << rows->displayTextAt(r, rows->fieldByName(u"NMPRODUTO").index());
        }
        // Enter in the list answers like OK.
        if (auto *grid = dialog->findChild<QWidget *>(QStringLiteral("dbgMensagem"))) {
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Return);
        }
        closedByEnter = !dialog->isVisible();
        if (!closedByEnter)
            dialog->close();
    });
    QTest::mouseClick(form->btnAprDig, Qt::LeftButton);
    QTRY_VERIFY(!listed.isEmpty());
    QVERIFY(closedByEnter);
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(form->cdsAliqProd->recordCount() == listed.size());
    QCOMPARE(form->cdsTabeVend->fieldByName(u"IDSITVGPREC").asString(), QStringLiteral("3"));

    QTest::mouseClick(form->btnLibDig, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(form->cdsTabeVend->locate(u"DTINIVGPREC", start));
    QCOMPARE(form->cdsTabeVend->fieldByName(u"IDSITVGPREC").asString(), QStringLiteral("2"));
    QCOMPARE(form->cdsTabeVend->fieldByName(u"IDSITVGPREC").displayText(),
             QStringLiteral("Liberada"));
    QVERIFY(!form->btnLibDig->isEnabled() && !form->btnAprDig->isEnabled());
}

QTEST_MAIN(PriceTableScreenTest)
#include "tst_pricetablescreen.moc"

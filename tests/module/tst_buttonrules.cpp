#include "pricetable/ButtonRules.h"

#include <QTest>

using namespace prx;
using namespace prx::pricetable;

class ButtonRulesTest : public QObject
{
    Q_OBJECT

private slots:
    // Confirm/Cancel only while something is being edited; the rest only in browse.
    void commandsFollowTheState();
    // A branch without tables must not let a period be typed into the period grid.
    void emptyBranchLocksThePeriodGrid();
    // Component prices of a branch that forbids them can never be altered.
    void compositionPageOfARestrictedBranch();
    // Delete on the detail page only for the items grid or the differentiated prices.
    void deleteDependsOnTheGridEnteredLast();
    // Include on the detail page only for differentiated prices.
    void includeOnTheDetailPage();
    void emptyDifferentiatedPricesGrid();
    // Approval buttons follow the period's state, and keep theirs for any other value.
    void approvalButtons_data();
    void approvalButtons();
    void bulkCommandsNeedATableAndAPeriod();
};

static ButtonInputs browsingList()
{
    ButtonInputs in;
    in.state = DataSetState::Browse;
    in.sourceEmpty = false;
    in.tabePrecEmpty = false;
    in.tabeVendEmpty = false;
    return in;
}

void ButtonRulesTest::commandsFollowTheState()
{
    ButtonInputs in = browsingList();
    ButtonStates b = computeButtons(in);
    QVERIFY(!b.confirm && !b.cancel);
    QVERIFY(b.include && b.alter && b.remove && b.find && b.refresh && b.bulk);

    in.state = DataSetState::Insert;
    b = computeButtons(in);
    QVERIFY(b.confirm && b.cancel);
    QVERIFY(!b.include && !b.alter && !b.remove && !b.find && !b.refresh && !b.bulk);

    in.state = DataSetState::Inactive;
    b = computeButtons(in);
    QVERIFY(!b.confirm && !b.include && !b.alter);
}

void ButtonRulesTest::emptyBranchLocksThePeriodGrid()
{
    ButtonInputs in = browsingList();
    in.tabePrecEmpty = true;
    in.sourceEmpty = true;
    in.activeIsTabeVend = true;
    ButtonStates b = computeButtons(in);
    QVERIFY(!b.include);
    QVERIFY(b.tabeVendReadOnly);

    in.activeIsTabeVend = false; // focus on the table grid: a table may be included
    b = computeButtons(in);
    QVERIFY(b.include);
    QVERIFY(!b.tabeVendReadOnly);
}

void ButtonRulesTest::compositionPageOfARestrictedBranch()
{
    ButtonInputs in = browsingList();
    in.listPageActive = false;
    in.detailPageActive = true;
    in.composicaoPageActive = true;
    in.idPrecDifCom = "N";
    for (DataSetState s : {DataSetState::Browse, DataSetState::Edit, DataSetState::Inactive}) {
        in.state = s;
        QVERIFY(!computeButtons(in).alter);
    }
    in.state = DataSetState::Browse;
    in.idPrecDifCom = "S";
    QVERIFY(computeButtons(in).alter);
}

void ButtonRulesTest::deleteDependsOnTheGridEnteredLast()
{
    ButtonInputs in = browsingList();
    in.listPageActive = false;
    in.detailPageActive = true;
    in.stGrid = "1";
    QVERIFY(computeButtons(in).remove);
    in.stGrid = "4";
    QVERIFY(!computeButtons(in).remove);
    in.stGrid = "3";
    QVERIFY(!computeButtons(in).remove);
    in.precoHoraPageActive = true;
    QVERIFY(computeButtons(in).remove);
}

void ButtonRulesTest::includeOnTheDetailPage()
{
    ButtonInputs in = browsingList();
    in.listPageActive = false;
    in.detailPageActive = true;
    in.precoHoraPageActive = true;
    in.stGrid = "1";
    QVERIFY(!computeButtons(in).include);
    in.stGrid = "3";
    QVERIFY(computeButtons(in).include);
}

void ButtonRulesTest::emptyDifferentiatedPricesGrid()
{
    ButtonInputs in = browsingList();
    in.listPageActive = false;
    in.detailPageActive = true;
    in.precoHoraPageActive = true;
    in.stGrid = "3";
    in.activeIsPrecoHora = true;
    in.precoHoraState = DataSetState::Browse;
    in.precoHoraEmpty = true;
    const ButtonStates b = computeButtons(in);
    QVERIFY(!b.alter && !b.remove && !b.find && !b.refresh);
    QVERIFY(b.include); // a first row may still be added

    in.precoHoraState = DataSetState::Insert;
    QVERIFY(computeButtons(in).find);
}

void ButtonRulesTest::approvalButtons_data()
{
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("lib"); // -1 keeps, 0 off, 1 on
    QTest::addColumn<int>("apr");
    QTest::addColumn<bool>("periodTyped");
    QTest::newRow("pending") << "1" << 1 << 0 << false;
    QTest::newRow("released") << "2" << 0 << 0 << false;
    QTest::newRow("confirmed") << "3" << 1 << 1 << false;
    QTest::newRow("approved") << "4" << 1 << 0 << false;
    QTest::newRow("no period") << "" << -1 << -1 << false;
    QTest::newRow("unknown") << "9" << -1 << -1 << false;
    // A state change reloads the periods and would drop what is typed.
    QTest::newRow("confirmed, period typed") << "3" << 0 << 0 << true;
    QTest::newRow("new period typed") << "" << 0 << 0 << true;
}

void ButtonRulesTest::approvalButtons()
{
    QFETCH(QString, status);
    QFETCH(int, lib);
    QFETCH(int, apr);
    QFETCH(bool, periodTyped);
    ButtonInputs in = browsingList();
    in.idSitVgPrec = status;
    in.tabeVendEditing = periodTyped;
    const ButtonStates b = computeButtons(in);
    auto code = [](const std::optional<bool> &v) { return v ? int(*v) : -1; };
    QCOMPARE(code(b.libDig), lib);
    QCOMPARE(code(b.aprDig), apr);
}

void ButtonRulesTest::bulkCommandsNeedATableAndAPeriod()
{
    ButtonInputs in = browsingList();
    in.tabeVendEmpty = true;
    QVERIFY(!computeButtons(in).bulk);
    in.tabeVendEmpty = false;
    in.tabePrecEmpty = true;
    QVERIFY(!computeButtons(in).bulk);
}

QTEST_APPLESS_MAIN(ButtonRulesTest)
#include "tst_buttonrules.moc"

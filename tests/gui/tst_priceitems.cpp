#include "FixtureSql.h"
#include "ItemsPageTest.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "services/UserAction.h"
#include "widgets/TButtonFlat.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <limits>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

namespace {

const QString kConsumerNegative =
    QStringLiteral("Valor consumidor deve ser maior ou igual a zero.");
const QString kClientNegative = QStringLiteral("Valor cliente deve ser maior ou igual a zero.");
const QString kPriceInvalid = QStringLiteral("Operação bloqueda. Valor preço inválido.");
const QString kClearQuestion =
    QStringLiteral("Deseja limpar a parametrização de preço do produto selecionado?");

} // namespace

// Editing the price items of a period through the screen, saved to a real
// server (behind a proxy that can refuse a call).
class PriceItemsTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // An empty flag must not reach the server empty, an empty delivery price
    // must be stored as no price (not 0), and typed prices are cut, never
    // rounded, to two decimals, also once a price calculation has run.
    void priceStepsBeforeSave_data();
    void priceStepsBeforeSave();

    // A negative or oversized price, or a third decimal where no cut runs,
    // is refused with its own message and focus, nothing is sent, and the
    // bulk calculation having run does not switch the checks off.
    void priceRefusals_data();
    void priceRefusals();

    // The largest price the tables hold and zero are saved as given; a
    // price typed after a calculation is cut like any other.
    void pricesAccepted_data();
    void pricesAccepted();

    // Both hours or none; an hour that is not one is erased; a window may
    // cross midnight.
    void saleWindow_data();
    void saleWindow();

    // Ctrl+Delete must never remove a row; the Delete command clears the
    // product's prices on the server only after the question.
    void clearingPrices();

    // A save the server refuses leaves the row, and the components changed
    // with it, as they were before the edit.
    void refusedSaveRestoresTheRow_data();
    void refusedSaveRestoresTheRow();

    // Flags are picked, never typed; the product code is never typed over.
    void keysTheGridDrops();

    // The suggested price, the marker and the flags are not sort columns.
    void titleSorting_data();
    void titleSorting();

    // Refresh on the item page reloads only what the grid in focus shows,
    // and nothing at all from a control outside the three grids.
    void refreshFollowsTheFocus_data();
    void refreshFollowsTheFocus();

private:
    void alter(TfrmTabePreco *form);
    void confirm(TfrmTabePreco *form);
};

void PriceItemsTest::alter(TfrmTabePreco *form)
{
    QTest::mouseClick(form->sbtAlterar, Qt::LeftButton);
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Edit);
}

void PriceItemsTest::confirm(TfrmTabePreco *form)
{
    QVERIFY(form->sbtConfirmar->isEnabled());
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
}

void PriceItemsTest::priceStepsBeforeSave_data()
{
    QTest::addColumn<bool>("calculated"); // the bulk calculation ran before
    QTest::newRow("fresh screen") << false;
    QTest::newRow("after a price calculation") << true;
}

void PriceItemsTest::priceStepsBeforeSave()
{
    QFETCH(bool, calculated);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    form->setBoCalcPreco(calculated);
    // Each row its own item: the second must change what it saves.
    QVERIFY(ItemsPage::moveToPlainItem(form, calculated ? 6 : 0));
    ClientDataSet *items = form->cdsItemPreco;
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    HostState::instance().clearChangedTables();

    alter(form);
    // The price typed into its cell as a user does.
    QTest::keyClick(form->dbsItemPreco, Qt::Key_F2);
    QVERIFY(form->dbsItemPreco->editorActive());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12,349"));
    form->dbsItemPreco->commitEditor();
    items->fieldByName(u"IDPRECVARIA").clear();
    items->fieldByName(u"VRPRECITEMDLV").clear();
    items->fieldByName(u"VRPRECITEMCMD").setAsFloat(5.678);
    items->fieldByName(u"VRPRECITEMCL").setAsFloat(1.999);
    confirm(form);

    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(items->state(), DataSetState::Browse);
    QCOMPARE(items->changeCount(), 0);
    QCOMPARE(m_page.stored("VRPRECITEM", product).toDouble(), 12.34);
    QCOMPARE(items->fieldByName(u"VRPRECITEM").asFloat(), 12.34);
    QCOMPARE(m_page.stored("VRPRECITEMCMD", product).toDouble(), 5.67);
    QCOMPARE(m_page.stored("VRPRECITEMCL", product).toDouble(), 1.99);
    QCOMPARE(m_page.stored("typeof(VRPRECITEMDLV)", product).toString(), QStringLiteral("null"));
    QCOMPARE(m_page.stored("IDPRECVARIA", product).toString(), QStringLiteral("N"));
    QCOMPARE(m_page.stored("IDPRODPROMOC", product).toString(), QStringLiteral("N"));
    // The empty fields travel with the row.
    const QVariantList args = m_proxy.lastArgs(QStringLiteral("SetItemPreco"));
    QCOMPARE(args.size(), 2);
    const QStringList empty = args.at(1).toString().split(QLatin1Char('|'));
    QVERIFY(empty.contains(QStringLiteral("VRPRECITEMDLV")));
    QVERIFY(!empty.contains(QStringLiteral("VRPRECITEM")));
    QVERIFY(args.at(1).toString().endsWith(QLatin1Char('|')));
    QVERIFY(HostState::instance().changedTables().contains(QStringLiteral("ITEMPRECO")));
}

void PriceItemsTest::priceRefusals_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("calculated"); // the bulk calculation ran before
    QTest::addColumn<QString>("message");
    const double limit = 999999999999999.0;
    QTest::newRow("consumer negative") << "VRPRECITEM" << -0.01 << false << kConsumerNegative;
    QTest::newRow("consumer at limit") << "VRPRECITEM" << limit << false << kPriceInvalid;
    QTest::newRow("delivery negative") << "VRPRECITEMDLV" << -1.0 << false << kConsumerNegative;
    QTest::newRow("order pad at limit") << "VRPRECITEMCMD" << limit << false << kPriceInvalid;
    QTest::newRow("subsidised negative") << "VRPRECITEMCL" << -2.0 << false << kClientNegative;
    QTest::newRow("subsidised at limit") << "VRPRECITEMCL" << limit << false
                                         << "Operação bloqueda. Valor preço subsidiado inválido.";
    QTest::newRow("suggested at limit")
        << "VRPRESUGITEM" << limit << false << "Operação bloqueada. Valor preço sugerido inválido.";
    QTest::newRow("calculated at limit") << "VRCUSTITEM" << 2 * limit << false
                                         << "Operação bloqueada. Valor preço calculado inválido.";
    QTest::newRow("not a number") << "VRPRECITEM" << std::numeric_limits<double>::quiet_NaN()
                                  << false << kPriceInvalid;
    QTest::newRow("negative after calculation")
        << "VRPRECITEM" << -5.0 << true << kConsumerNegative;
    QTest::newRow("oversized after calculation")
        << "VRPRECITEMCL" << limit << true << "Operação bloqueda. Valor preço subsidiado inválido.";
    // Not cut like the typed prices: a third decimal is shown, not dropped.
    QTest::newRow("suggested with a third decimal")
        << "VRPRESUGITEM" << 9.876 << false << "Preço deve ter no máximo duas casas decimais.";
    QTest::newRow("calculated with a third decimal")
        << "VRCUSTITEM" << 0.125 << true << "Preço deve ter no máximo duas casas decimais.";
}

void PriceItemsTest::priceRefusals()
{
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(bool, calculated);
    QFETCH(QString, message);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    form->setBoCalcPreco(calculated);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    const int saves = m_proxy.callCount(QStringLiteral("SetItemPreco"));

    alter(form);
    form->cdsItemPreco->fieldByName(field).setAsFloat(value);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Edit);
    QCOMPARE(form->dbsItemPreco->selectedField()->name(), field);
    QCOMPARE(m_proxy.callCount(QStringLiteral("SetItemPreco")), saves);
}

void PriceItemsTest::pricesAccepted_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("calculated");
    QTest::addColumn<double>("saved");
    QTest::newRow("just below the limit") << 999999999999998.0 << false << 999999999999998.0;
    QTest::newRow("zero") << 0.0 << false << 0.0;
    QTest::newRow("cut after a price calculation") << 12.349 << true << 12.34;
}

void PriceItemsTest::pricesAccepted()
{
    QFETCH(double, value);
    QFETCH(bool, calculated);
    QFETCH(double, saved);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    form->setBoCalcPreco(calculated);
    QVERIFY(ItemsPage::moveToPlainItem(form, 1));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();

    alter(form);
    form->cdsItemPreco->fieldByName(u"VRPRECITEM").setAsFloat(value);
    confirm(form);
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Browse);
    QCOMPARE(m_page.stored("VRPRECITEM", product).toDouble(), saved);
}

void PriceItemsTest::saleWindow_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::addColumn<QString>("focused");
    QTest::newRow("end only") << ""
                              << "1000"
                              << "Hora Inicial deve ser informada."
                              << "HRINIVENPROD";
    QTest::newRow("start only") << "1000"
                                << ""
                                << "Hora final deve ser informada."
                                << "HRFIMVENPROD";
    QTest::newRow("minute 60") << "2460"
                               << "1000"
                               << "'24:60'  Não é hora válida."
                               << "HRINIVENPROD";
    QTest::newRow("hour 25 at the end") << "0800"
                                        << "2510"
                                        << "'25:10'  Não é hora válida."
                                        << "HRFIMVENPROD";
    QTest::newRow("across midnight") << "2300"
                                     << "0100"
                                     << ""
                                     << "";
    QTest::newRow("no window") << ""
                               << ""
                               << ""
                               << "";
}

void PriceItemsTest::saleWindow()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QString, message);
    QFETCH(QString, focused);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form, 2));
    const QString product = form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    Field &startField = form->cdsItemPreco->fieldByName(u"HRINIVENPROD");
    Field &endField = form->cdsItemPreco->fieldByName(u"HRFIMVENPROD");

    alter(form);
    startField.setAsString(start);
    endField.setAsString(end);
    confirm(form);
    if (message.isEmpty()) {
        QCOMPARE(m_ui->errors(), QStringList());
        QCOMPARE(form->cdsItemPreco->state(), DataSetState::Browse);
        QCOMPARE(m_page.stored("COALESCE(HRINIVENPROD, '')", product).toString(), start);
        QCOMPARE(m_page.stored("COALESCE(HRFIMVENPROD, '')", product).toString(), end);
        return;
    }
    QCOMPARE(m_ui->errors(), QStringList{message});
    QCOMPARE(form->cdsItemPreco->state(), DataSetState::Edit);
    QCOMPARE(form->dbsItemPreco->selectedField()->name(), focused);
    // An invalid hour is erased; a missing one was empty already.
    QVERIFY(form->cdsItemPreco->fieldByName(focused).asString().isEmpty());
    const Field &other = focused == QLatin1String("HRINIVENPROD") ? endField : startField;
    QCOMPARE(other.asString(), focused == QLatin1String("HRINIVENPROD") ? end : start);
}

void PriceItemsTest::clearingPrices()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form, 3));
    ClientDataSet *items = form->cdsItemPreco;
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    // Give the product a price of its own first.
    alter(form);
    items->fieldByName(u"VRPRECITEM").setAsFloat(3.5);
    confirm(form);
    QVERIFY(m_page.stored("VRPRECITEM", product).isValid());
    const int rows = items->recordCount();

    form->dbsItemPreco->setFocus();
    QTest::keyClick(form->dbsItemPreco, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_ui->messages().size(), 0);
    QCOMPARE(items->recordCount(), rows);
    QCOMPARE(items->state(), DataSetState::Browse);
    QCOMPARE(items->fieldByName(u"CDPRODUTO").asString(), product);
    QVERIFY(m_page.stored("VRPRECITEM", product).isValid());

    // No leaves everything.
    m_ui->answerQuestion(MsgNo, kClearQuestion);
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_page.stored("VRPRECITEM", product).toDouble(), 3.5);
    QCOMPARE(m_proxy.callCount(QStringLiteral("setApagaPreco")), 0);

    m_ui->answerQuestion(MsgYes, kClearQuestion);
    QTest::mouseClick(form->sbtExcluir, Qt::LeftButton);
    QCOMPARE(m_ui->errors(), QStringList());
    QVERIFY(!m_page.stored("VRPRECITEM", product).isValid());
    const QVariantList args = m_proxy.lastArgs(QStringLiteral("setApagaPreco"));
    QCOMPARE(args.size(), 5);
    QCOMPARE(args.at(3).toString(), product);
    QCOMPARE(args.at(4).toString(), product);
    QCOMPARE(items->recordCount(), rows); // the product is still listed, without prices
    QVERIFY(items->locate(u"CDPRODUTO", product));
    QVERIFY(items->fieldByName(u"VRPRECITEM").isNull());
}

void PriceItemsTest::refusedSaveRestoresTheRow_data()
{
    QTest::addColumn<bool>("withComponent");
    QTest::newRow("plain item") << false;
    QTest::newRow("composite with a changed component") << true;
}

void PriceItemsTest::refusedSaveRestoresTheRow()
{
    QFETCH(bool, withComponent);
    const QString refusal = QStringLiteral("Registro alterado por outro usuário.");
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    ClientDataSet *parts = form->cdsItemPrecoComp;
    if (withComponent) {
        QVERIFY(items->locate(u"NRCOMPPROD", 3.0));
        form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
        QVERIFY(parts->recordCount() > 0);
    } else {
        QVERIFY(ItemsPage::moveToPlainItem(form, 4));
    }
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    const QVariant before = items->fieldByName(u"VRPRECITEM").value();
    const QVariant storedBefore = m_page.stored("VRPRECITEM", product);
    const QVariant partBefore =
        withComponent ? parts->fieldByName(u"VRPRECITEM").value() : QVariant();
    const int componentSaves = m_proxy.callCount(QStringLiteral("SetItemPrecoComp"));

    m_proxy.failMethod(QStringLiteral("SetItemPreco"), refusal);
    const bool posted = runUserAction([&] {
        if (withComponent) {
            parts->edit();
            parts->fieldByName(u"VRPRECITEM").setAsFloat(55.0);
        } else {
            items->edit();
        }
        items->fieldByName(u"VRPRECITEM").setAsFloat(77.0);
        items->post();
    });
    QVERIFY(!posted);
    QCOMPARE(m_ui->errors(), QStringList{refusal});
    QCOMPARE(items->state(), DataSetState::Browse);
    QCOMPARE(items->changeCount(), 0);
    QCOMPARE(items->fieldByName(u"CDPRODUTO").asString(), product);
    QCOMPARE(items->fieldByName(u"VRPRECITEM").value(), before);
    QCOMPARE(m_page.stored("VRPRECITEM", product), storedBefore);
    if (withComponent) {
        QCOMPARE(parts->state(), DataSetState::Browse);
        QCOMPARE(parts->changeCount(), 0);
        QCOMPARE(parts->fieldByName(u"VRPRECITEM").value(), partBefore);
        QCOMPARE(m_proxy.callCount(QStringLiteral("SetItemPrecoComp")), componentSaves);
    }
}

void PriceItemsTest::keysTheGridDrops()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(ItemsPage::moveToPlainItem(form));
    ClientDataSet *items = form->cdsItemPreco;
    TDBSortGrid *grid = form->dbsItemPreco;
    const QString code = items->fieldByName(u"CDARVPROD").asString();
    const QString flag = items->fieldByName(u"IDPRECVARIA").asString();

    grid->setSelectedIndex(grid->columnByField(QStringLiteral("CDARVPROD"))->index());
    QTest::keyClicks(grid, QStringLiteral("99"));
    QCOMPARE(items->fieldByName(u"CDARVPROD").asString(), code);
    QCOMPARE(items->state(), DataSetState::Browse);

    // A flag takes no free text: a letter chooses the list entry it starts.
    grid->setSelectedIndex(grid->columnByField(QStringLiteral("IDPRECVARIA"))->index());
    QTest::keyClicks(grid, QStringLiteral("x"));
    if (grid->editorActive())
        grid->commitEditor();
    QCOMPARE(items->fieldByName(u"IDPRECVARIA").asString(), flag);
    const QString other = flag == u"S" ? QStringLiteral("n") : QStringLiteral("s");
    QTest::keyClicks(grid, other);
    if (grid->editorActive())
        grid->commitEditor();
    QCOMPARE(items->fieldByName(u"IDPRECVARIA").asString(), other.toUpper());
    QCOMPARE(m_ui->messages().size(), 0);
}

void PriceItemsTest::titleSorting_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("sorts");
    QTest::newRow("name") << "NMPRODUTO" << true;
    QTest::newRow("price") << "VRPRECITEM" << true;
    QTest::newRow("suggested") << "VRPRESUGITEM" << false;
    QTest::newRow("marker") << "NRCOMPPROD" << false;
    QTest::newRow("variable") << "IDPRECVARIA" << false;
    QTest::newRow("promotion") << "IDPRODPROMOC" << false;
}

void PriceItemsTest::titleSorting()
{
    QFETCH(QString, field);
    QFETCH(bool, sorts);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    const int section = form->dbsItemPreco->columnByField(field)->index();
    const int before = items->sortField();
    emit form->dbsItemPreco->horizontalHeader()->sectionClicked(section);
    const int index = items->fieldByName(field).index();
    QCOMPARE(items->sortField() == index, sorts);
    if (!sorts)
        QCOMPARE(items->sortField(), before);
}

QTEST_MAIN(PriceItemsTest)
#include "tst_priceitems.moc"

void PriceItemsTest::refreshFollowsTheFocus_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QStringList>("calls");
    QTest::newRow("items") << QStringLiteral("dbsItemPreco")
                           << QStringList{QStringLiteral("GetPrecoHora"),
                                          QStringLiteral("GetItemPreco")};
    QTest::newRow("differentiated prices")
        << QStringLiteral("dbgPrecoHora") << QStringList{QStringLiteral("GetPrecoHora")};
    QTest::newRow("item tabs") << QStringLiteral("pgcItemPreco") << QStringList{};
    QTest::newRow("page tabs") << QStringLiteral("pgcPadrao") << QStringList{};
}

void PriceItemsTest::refreshFollowsTheFocus()
{
    QFETCH(QString, focus);
    QFETCH(QStringList, calls);
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    // An item with differentiated prices, so that their grid can be refreshed.
    ClientDataSet *items = form->cdsItemPreco;
    int row = 0;
    for (items->moveTo(row); form->cdsPrecoHora->isEmpty() && ++row < items->recordCount();)
        items->moveTo(row);
    QVERIFY(!form->cdsPrecoHora->isEmpty());
    auto *target = form->findChild<QWidget *>(focus);
    QVERIFY(target);
    // A page control is reached by its tabs, the one part of it that takes the focus.
    if (auto *tabs = target->findChild<QTabBar *>(QString(), Qt::FindDirectChildrenOnly))
        target = tabs;
    target->setFocus();
    QTRY_VERIFY(target->hasFocus());
    QCOMPARE(form->pgcPadrao->currentWidget(), form->tshFormulario);

    m_proxy.clearCalls();
    QVERIFY(form->mnuVerificar->isEnabled());
    form->mnuVerificar->trigger();
    QCOMPARE(m_proxy.calls(), calls);
    QCOMPARE(m_ui->errors(), QStringList());
}

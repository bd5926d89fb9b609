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
#include <QTabWidget>
#include <QTest>

using namespace prx;
using prx::test::ItemsPage;
using prx::test::ItemsPageTest;

// The component prices of composite items and what follows the item in
// focus, through the screen and a real server.
class ItemComponentsTest : public ItemsPageTest
{
    Q_OBJECT

private slots:
    // Changing a component puts its product into edit; posting it sends the
    // product first and then the components.
    void componentEditSavesBothInOrder();

    // A component price typed with a third decimal is refused before
    // anything is sent, never cut behind the user's back.
    void componentPriceWithAThirdDecimal();

    // A row change shows the new item's differentiated prices at once; the
    // grid below never gets every price of the period on the way (redrawing
    // those made a row change slow on a large period).
    void rowChangeShowsOnlyTheItemsPrices();

    // When the components of the new row fail to load, the grid below
    // still shows that row's differentiated prices, not the last item's.
    void failedComponentLoadStillFollowsTheItem();

    // A component's quantity belongs to the product's composition: it is
    // shown, and no key opens it for typing.
    void quantityIsReadOnly();

    // Choosing the composition from the list page opens the items and then
    // the components of the item in focus; they follow the item in focus.
    void compositionMenuFromListPage();
};

void ItemComponentsTest::componentEditSavesBothInOrder()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    ClientDataSet *parts = form->cdsItemPrecoComp;
    QVERIFY(items->locate(u"NRCOMPPROD", 3.0));
    const QString parent = items->fieldByName(u"CDPRODUTO").asString();
    // A product on promotion: its start of edit must keep the mark.
    QVERIFY(test::execFixtureSql(m_server.databaseFile(),
                                 QStringLiteral("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE "
                                                "CDPRODUTO = '%1' AND CDPRPAITABPR = '%1'")
                                     .arg(parent)));
    QTest::mouseClick(form->sbtVerificar, Qt::LeftButton);
    QVERIFY(items->locate(u"CDPRODUTO", parent));
    QCOMPARE(items->fieldByName(u"IDPRODPROMOC").asString(), QStringLiteral("S"));

    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    QVERIFY(parts->recordCount() > 0);
    form->dbgItPrecoComp->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("4"));
    const QString part = parts->fieldByName(u"CDPRODUTO").asString();
    const int column = form->dbgItPrecoComp->columnByField(QStringLiteral("VRPRECITEM"))->index();
    form->dbgItPrecoComp->setSelectedIndex(column);
    QTest::keyClick(form->dbgItPrecoComp, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7,25"));
    QCOMPARE(parts->state(), DataSetState::Edit);
    // The product follows its component into edit, with its start-of-edit step.
    QCOMPARE(items->state(), DataSetState::Edit);
    QCOMPARE(items->fieldByName(u"IDPRODPROMOC").asString(), QStringLiteral("S"));
    QVERIFY(!form->pgcItemPreco->isTabEnabled(form->pgcItemPreco->indexOf(form->tshProduto)));
    form->dbgItPrecoComp->commitEditor();
    QCOMPARE(parts->fieldByName(u"VRPRECITEM").asFloat(), 7.25);

    // Posting the product (its price changed too) posts the component row
    // first and saves both, the product first.
    items->fieldByName(u"VRPRECITEM").setAsFloat(31.5);
    m_proxy.clearCalls();
    QVERIFY(runUserAction([&] { items->post(); }));
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(m_proxy.calls(),
             (QStringList{QStringLiteral("SetItemPreco"), QStringLiteral("SetItemPrecoComp")}));
    QCOMPARE(items->state(), DataSetState::Browse);
    QCOMPARE(parts->state(), DataSetState::Browse);
    QCOMPARE(parts->changeCount(), 0);
    QCOMPARE(m_page.stored("VRPRECITEM", part, parent).toDouble(), 7.25);
    QCOMPARE(m_page.stored("VRPRECITEM", parent).toDouble(), 31.5);
    QCOMPARE(m_page.stored("IDPRODPROMOC", parent).toString(), QStringLiteral("S"));
}

void ItemComponentsTest::componentPriceWithAThirdDecimal()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    ClientDataSet *parts = form->cdsItemPrecoComp;
    QVERIFY(items->locate(u"NRCOMPPROD", 3.0));
    const QString parent = items->fieldByName(u"CDPRODUTO").asString();
    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    QVERIFY(parts->recordCount() > 0);
    const QString part = parts->fieldByName(u"CDPRODUTO").asString();
    const QVariant before = m_page.stored("VRPRECITEMCL", part, parent);
    form->dbgItPrecoComp->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("4"));
    const int column = form->dbgItPrecoComp->columnByField(QStringLiteral("VRPRECITEMCL"))->index();
    form->dbgItPrecoComp->setSelectedIndex(column);
    QTest::keyClick(form->dbgItPrecoComp, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("4,445"));
    m_proxy.clearCalls();
    QTest::mouseClick(form->sbtConfirmar, Qt::LeftButton);
    QCOMPARE(m_ui->errors(),
             QStringList{QStringLiteral("Preço deve ter no máximo duas casas decimais.")});
    QCOMPARE(m_proxy.calls(), QStringList());
    QCOMPARE(parts->state(), DataSetState::Edit);
    QCOMPARE(form->dbgItPrecoComp->selectedField()->name(), QStringLiteral("VRPRECITEMCL"));
    QCOMPARE(m_page.stored("VRPRECITEMCL", part, parent), before);
    runUserAction([&] {
        parts->cancel();
        items->cancel();
    });
}

void ItemComponentsTest::rowChangeShowsOnlyTheItemsPrices()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    ClientDataSet *prices = form->cdsPrecoHora;
    // Two items with differentiated prices of their own: one of the period's
    // is copied to a plain item.
    QVERIFY(ItemsPage::moveToPlainItem(form, 5));
    const QString other = items->fieldByName(u"CDPRODUTO").asString();
    int priced = -1;
    for (int row = 0; row < items->recordCount() && priced < 0; ++row) {
        items->moveTo(row);
        if (prices->recordCount() > 0)
            priced = row;
    }
    QVERIFY(priced >= 0);
    const QString product = items->fieldByName(u"CDPRODUTO").asString();
    QVERIFY(m_page.copyDayPrices(product, other));
    QTest::mouseClick(form->sbtVerificar, Qt::LeftButton);
    QVERIFY(items->locate(u"CDPRODUTO", product));
    const int own = prices->recordCount();
    prices->setFiltered(false);
    const int all = prices->recordCount();
    prices->setFiltered(true);
    QVERIFY(own > 0 && own < all);

    QList<int> seen;
    connect(form->dtsPrecoHora, &DataSource::layoutChanged, this,
            [&] { seen.append(prices->recordCount()); });
    QVERIFY(items->locate(u"CDPRODUTO", other));
    const int shown = prices->recordCount();
    QVERIFY(shown > 0 && shown < all);
    QVERIFY(!seen.isEmpty());
    for (int count : std::as_const(seen))
        QCOMPARE(count, shown);
    for (int row = 0; row < shown; ++row) {
        prices->moveTo(row);
        QCOMPARE(prices->fieldByName(u"CDPRODUTO").asString(), other);
    }
}

void ItemComponentsTest::compositionMenuFromListPage()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    // The entry is offered while a composite item is in focus.
    QVERIFY(form->cdsItemPreco->locate(u"NRCOMPPROD", 3.0));
    form->pgcPadrao->setCurrentWidget(form->tshFolhaDados);
    QVERIFY(form->mnuComposicao->isEnabled());
    const int reads = m_proxy.callCount(QStringLiteral("GetItemPreco"));
    const int componentReads = m_proxy.callCount(QStringLiteral("GetItemPrecoComp"));

    form->mnuComposicao->trigger();
    QCOMPARE(m_ui->errors(), QStringList());
    QCOMPARE(form->pgcPadrao->currentWidget(), form->tshFormulario);
    QCOMPARE(m_proxy.callCount(QStringLiteral("GetItemPreco")), reads + 1);
    QCOMPARE(form->pgcItemPreco->currentWidget(), form->tshComposicao);
    QVERIFY(form->mnuComposicao->isChecked());
    QVERIFY(!form->mnuProduto->isChecked());
    // The components read are those of the first item of the fresh load.
    QCOMPARE(form->cdsItemPreco->currentRow(), 0);
    QVERIFY(m_proxy.callCount(QStringLiteral("GetItemPrecoComp")) > componentReads);
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("GetItemPrecoComp")).value(2).toString(),
             form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString());

    // Another item while the composition is shown: its components are read.
    const int reload = m_proxy.callCount(QStringLiteral("GetItemPrecoComp"));
    form->cdsItemPreco->moveTo(form->cdsItemPreco->recordCount() - 1);
    QCOMPARE(m_proxy.callCount(QStringLiteral("GetItemPrecoComp")), reload + 1);
    QCOMPARE(m_proxy.lastArgs(QStringLiteral("GetItemPrecoComp")).value(2).toString(),
             form->cdsItemPreco->fieldByName(u"CDPRODUTO").asString());

    // Back to the products through their own entry.
    form->mnuProduto->trigger();
    QCOMPARE(form->pgcItemPreco->currentWidget(), form->tshProduto);
    QVERIFY(form->mnuProduto->isChecked());
    QVERIFY(!form->mnuComposicao->isChecked());
}

void ItemComponentsTest::failedComponentLoadStillFollowsTheItem()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    ClientDataSet *items = form->cdsItemPreco;
    ClientDataSet *prices = form->cdsPrecoHora;
    // Two composite items (the composition stays shown between them), the
    // second with differentiated prices copied from a priced item.
    QStringList composites;
    QString priced;
    for (int row = 0; row < items->recordCount(); ++row) {
        items->moveTo(row);
        if (items->fieldByName(u"NRCOMPPROD").asFloat() > 0)
            composites << items->fieldByName(u"CDPRODUTO").asString();
        else if (priced.isEmpty() && prices->recordCount() > 0)
            priced = items->fieldByName(u"CDPRODUTO").asString();
    }
    QVERIFY(composites.size() >= 2 && !priced.isEmpty());
    QVERIFY(m_page.copyDayPrices(priced, composites[1]));
    QTest::mouseClick(form->sbtVerificar, Qt::LeftButton);
    QVERIFY(items->locate(u"CDPRODUTO", composites[0]));
    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    const int before = prices->recordCount();

    m_proxy.failMethod(QStringLiteral("GetItemPrecoComp"), QStringLiteral("Falha ao ler."));
    QVERIFY(!runUserAction([&] { items->locate(u"CDPRODUTO", composites[1]); }));
    m_proxy.clearFailures();
    QCOMPARE(items->fieldByName(u"CDPRODUTO").asString(), composites[1]);
    QVERIFY(prices->recordCount() > 0);
    QVERIFY(prices->recordCount() != before);
    for (int row = 0; row < prices->recordCount(); ++row) {
        prices->moveTo(row);
        QCOMPARE(prices->fieldByName(u"CDPRODUTO").asString(), composites[1]);
    }
}

void ItemComponentsTest::quantityIsReadOnly()
{
    TfrmTabePreco *form = m_page.open();
    QVERIFY(form);
    QVERIFY(form->cdsItemPreco->locate(u"NRCOMPPROD", 3.0));
    form->pgcItemPreco->setCurrentWidget(form->tshComposicao);
    QVERIFY(form->cdsItemPrecoComp->recordCount() > 0);
    form->dbgItPrecoComp->setFocus();
    QTRY_COMPARE(Cli_prx51700::stGrid, QStringLiteral("4"));
    form->dbgItPrecoComp->setSelectedIndex(
        form->dbgItPrecoComp->columnByField(QStringLiteral("QUANTIDADE"))->index());
    QTest::keyClick(form->dbgItPrecoComp, Qt::Key_F2);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("9"));
    QVERIFY(!form->dbgItPrecoComp->editorActive());
    QCOMPARE(form->cdsItemPrecoComp->state(), DataSetState::Browse);
}

QTEST_MAIN(ItemComponentsTest)
#include "tst_itemcomponents.moc"

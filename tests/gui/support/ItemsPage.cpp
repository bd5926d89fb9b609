#include "ItemsPage.h"

#include "FixtureSql.h"

#include "pricetable/Cli_prx51700.h"
#include "pricetable/TfrmTabePreco.h"
#include "services/HostState.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"

#include <QPointer>
#include <QTabWidget>
#include <QTest>

namespace prx::test {

bool ItemsPage::start()
{
    return server.start() && proxy.start(server.host(), server.port());
}

void ItemsPage::stop()
{
    server.stop();
}

void ItemsPage::prepare()
{
    ui = std::make_unique<ScriptedHostUi>();
    proxy.clearFailures();
    HostState &state = HostState::instance();
    state.branchCode = QStringLiteral("0001");
    state.branchName = QStringLiteral("Restaurante Centro");
    state.boundToBranch = false;
    state.serverHost = server.host();
    state.serverPort = proxy.port();
}

void ItemsPage::finish()
{
    QPointer<TfrmTabePreco> form = Cli_prx51700::frmTabePreco;
    if (form) {
        // Whatever a test left half typed is dropped without a question.
        if (form->cdsItemPrecoComp->isActive()) {
            form->cdsItemPrecoComp->cancel();
            form->cdsItemPrecoComp->cancelUpdates();
        }
        if (form->cdsItemPreco->isActive()) {
            form->cdsItemPreco->cancel();
            form->cdsItemPreco->cancelUpdates();
        }
        form->close();
        QTRY_VERIFY(form.isNull());
    }
    QVERIFY(ui->busyBalanced());
    QCOMPARE(ui->pendingAnswers(), 0);
    ui.reset();
}

TfrmTabePreco *ItemsPage::open()
{
    Cli_prx51700::CriaTabePreco();
    TfrmTabePreco *form = Cli_prx51700::frmTabePreco;
    if (!form || !QTest::qWaitForWindowActive(form))
        return nullptr;
    form->medCdFilial->setFocus();
    if (!QTest::qWaitFor([&] { return form->medCdFilial->hasFocus(); }))
        return nullptr;
    form->medCdFilial->selectAll();
    QTest::keyClick(form->medCdFilial, Qt::Key_Backspace);
    QTest::keyClicks(form->medCdFilial, QStringLiteral("0001"));
    QTest::keyClick(form->medCdFilial, Qt::Key_Tab);
    if (!QTest::qWaitFor([&] { return form->dbgPadrao->hasFocus(); }))
        return nullptr;
    if (!form->cdsTabePrec->locate(u"CDTABEPREC", QStringLiteral("001")))
        return nullptr;
    form->cdsTabeVend->moveTo(1);
    periodStart = form->cdsTabeVendDTINIVGPREC->asDateTime().date();
    form->pgcPadrao->setCurrentWidget(form->tshFormulario);
    form->dbsItemPreco->setFocus();
    if (!QTest::qWaitFor([&] { return Cli_prx51700::stGrid == QLatin1String("1"); }))
        return nullptr;
    return form;
}

bool ItemsPage::moveToPlainItem(TfrmTabePreco *form, int skip)
{
    ClientDataSet *items = form->cdsItemPreco;
    for (int row = 0; row < items->recordCount(); ++row) {
        items->moveTo(row);
        if (items->fieldByName(u"NRCOMPPROD").asFloat() == 0 &&
            form->cdsPrecoHora->recordCount() == 0 && skip-- == 0)
            return true;
    }
    return false;
}

QVariant ItemsPage::stored(const QString &column, const QString &product, const QString &parent)
{
    return fixtureValue(
        server.databaseFile(),
        QStringLiteral("SELECT %1 FROM ITEMPRECO WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' "
                       "AND CDPRODUTO = :product AND CDPRPAITABPR = :parent "
                       "AND DTINIVGPREC LIKE :start")
            .arg(column),
        {{QStringLiteral(":product"), product},
         {QStringLiteral(":parent"), parent.isEmpty() ? product : parent},
         {QStringLiteral(":start"), periodStart.toString(Qt::ISODate) + QLatin1Char('%')}});
}

} // namespace prx::test

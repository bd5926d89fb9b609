#include "ItemsPage.h"

#include "FixtureSql.h"
#include "ScreenSteps.h"

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
    setHostBranch();
    HostState &state = HostState::instance();
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
    TfrmTabePreco *form = openOnBranch();
    if (!form)
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

bool ItemsPage::copyDayPrices(const QString &from, const QString &to)
{
    const QString columns = QStringLiteral(
        "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
        "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, "
        "PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD");
    return execFixtureSql(
        server.databaseFile(),
        QStringLiteral("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, %1) SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, '%2', '%2', "
                       "%1 FROM ITEMPRECODIA WHERE CDPRODUTO = '%3' AND CDPRPAITABPR = '%3'")
            .arg(columns, to, from));
}

} // namespace prx::test

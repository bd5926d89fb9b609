// The prices of the components of a composite item.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"

#include "dataset/Abort.h"
#include "money/Decimal.h"
#include "services/UserAction.h"
#include "widgets/TDBSortGrid.h"

#include <QAction>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

void TfrmTabePreco::wireComponents()
{
    connect(pgcItemPreco, &QTabWidget::currentChanged, this,
            [this] { runUserAction([this] { pgcItemPrecoChange(); }); });

    // Components come with their composite product; they are never added
    // here, and a branch may forbid changing their prices.
    auto forbidden = [this] {
        return hasRows(cdsFilial) &&
               cdsFilial->fieldByName(u"IDPRECDIFCOM").asString() == QLatin1String("N");
    };
    cdsItemPrecoComp->beforeInsert = [](ClientDataSet &) { throw Abort(); };
    cdsItemPrecoComp->beforeEdit = [forbidden](ClientDataSet &) {
        if (forbidden())
            throw Abort();
    };
    cdsItemPrecoComp->beforeDelete = cdsItemPrecoComp->beforeEdit;
    cdsItemPrecoComp->afterEdit = [this](ClientDataSet &) { cdsItemPrecoCompAfterEdit(); };
    cdsItemPrecoComp->beforePost = [this](ClientDataSet &) { cdsItemPrecoCompBeforePost(); };
    dtsItemPrecoComp->onStateChange = [this](DataSource &) { dtsItemPrecoCompStateChange(); };

    dbgItPrecoComp->onEnter = [this](DBGrid &) { dbgItPrecoCompEnter(); };
    dbgItPrecoComp->onKeyDown = [this](DBGrid &grid, int &key, Qt::KeyboardModifiers modifiers) {
        dbgPadraoKeyDown(grid, key, modifiers);
    };
}

void TfrmTabePreco::pgcItemPrecoChange()
{
    mnuProduto->setChecked(pgcItemPreco->currentWidget() == tshProduto);
    mnuComposicao->setChecked(pgcItemPreco->currentWidget() == tshComposicao);
    if (!isEditing(cdsItemPreco) && !isEditing(cdsItemPrecoComp) &&
        pgcItemPreco->currentWidget() == tshComposicao) {
        BusyScope busy(6);
        loadItemPrecoComp();
    }
}

void TfrmTabePreco::loadItemPrecoComp()
{
    read(cdsItemPrecoComp, QStringLiteral("GetItemPrecoComp"),
         {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
          cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
          cdsItemPreco->fieldByName(u"CDPRODUTO").asString(),
          cdsTabeVendDTINIVGPREC->asDateTime()});
}

void TfrmTabePreco::dtsItemPrecoCompStateChange()
{
    const bool editing = isEditing(dtsItemPrecoComp);
    // The composite item is saved with its components.
    if (dtsItemPreco->state() == DataSetState::Browse && editing)
        cdsItemPreco->edit();
    mnuCalcPreco->setEnabled(!editing);
    Atualiza_Botoes(dtsItemPrecoComp);
    pgcItemPreco->setTabEnabled(pgcItemPreco->indexOf(tshProduto), !editing);
    mnuProduto->setEnabled(!editing);
}

void TfrmTabePreco::dbgItPrecoCompEnter()
{
    stGrid = QStringLiteral("4");
    Atualiza_Botoes(dtsItemPrecoComp);
}

void TfrmTabePreco::cdsItemPrecoCompAfterEdit()
{
    cdsItemPrecoComp->fieldByName(u"CDFILIAL")
        .setAsString(cdsTabeVend->fieldByName(u"CDFILIAL").asString());
    cdsItemPrecoComp->fieldByName(u"CDTABEPREC")
        .setAsString(cdsTabeVend->fieldByName(u"CDTABEPREC").asString());
    cdsItemPrecoComp->fieldByName(u"DTINIVGPREC")
        .setAsDateTime(cdsTabeVendDTINIVGPREC->asDateTime());
    m_componentValuesAtEdit.clear();
    for (const char *name : {"VRPRECITEM", "VRPRECITEMCL"}) {
        const Field &f = cdsItemPrecoComp->fieldByName(QString::fromLatin1(name));
        m_componentValuesAtEdit.insert(f.name(), f.value());
    }
}

// A component's price is stored as typed, so a third decimal is refused
// here, before anything is sent, rather than cut behind the user's back; a
// price the row already held is left alone.
void TfrmTabePreco::cdsItemPrecoCompBeforePost()
{
    for (const char *name : {"VRPRECITEM", "VRPRECITEMCL"}) {
        const Field &f = cdsItemPrecoComp->fieldByName(QString::fromLatin1(name));
        if (f.isNull() || isCents(f.asFloat()) ||
            f.value() == m_componentValuesAtEdit.value(f.name()))
            continue;
        focusGridColumn(dbgItPrecoComp, f.name());
        MensErro(msgPadrao.Msg(QStringLiteral("PRECO_DECIMAIS")), true);
    }
}

void TfrmTabePreco::mnuProdutoClick()
{
    if (!detailPageActive())
        pgcPadrao->setCurrentWidget(tshFormulario);
    if (pgcItemPreco->currentWidget() != tshProduto)
        pgcItemPreco->setCurrentWidget(tshProduto);
    mnuProduto->setChecked(pgcItemPreco->currentWidget() == tshProduto);
}

void TfrmTabePreco::mnuComposicaoClick()
{
    if (!detailPageActive())
        pgcPadrao->setCurrentWidget(tshFormulario);
    if (pgcItemPreco->currentWidget() != tshComposicao)
        pgcItemPreco->setCurrentWidget(tshComposicao);
    mnuComposicao->setChecked(pgcItemPreco->currentWidget() == tshComposicao);
}

} // namespace prx

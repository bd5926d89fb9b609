// The refresh of the screen and what it does around the side dialogs.

#include "TfrmTabePreco.h"

#include "Cli_prx51700.h"

#include "autoprice/Cli_prx51704.h"
#include "autoprice/Cli_prx51706.h"
#include "autoprice/Cli_prx51707.h"
#include "services/HostState.h"
#include "services/HostUi.h"
#include "services/UserAction.h"
#include "transfer/Cli_prx51709.h"
#include "widgets/MaskEdit.h"
#include "widgets/TDBSortGrid.h"
#include "widgets/WidgetUtils.h"

#include <QScopeGuard>
#include <QTabWidget>

namespace prx {

using namespace Cli_prx51700;

void TfrmTabePreco::sbtVerificarClick()
{
    BusyScope busy(6);
    if (listPageActive()) {
        {
            m_loadingTables = true;
            const auto resume = qScopeGuard([this] { m_loadingTables = false; });
            read(cdsTabePrec, QStringLiteral("GetTabePrec"), {medCdFilial->text()});
        }
        cdsTabePrecAfterScroll();
        refreshCommands();
        return;
    }
    QWidget *active = activeControl();
    if (widgetBelongsTo(active, dbsItemPreco)) {
        loadPrecoHora();
        loadItemPreco();
    } else if (widgetBelongsTo(active, dbgItPrecoComp)) {
        if (pgcItemPreco->currentWidget() != tshProduto)
            pgcItemPreco->setCurrentWidget(tshProduto); // its change handler runs
        else
            pgcItemPrecoChange();
    } else if (widgetBelongsTo(active, dbgPrecoHora)) {
        loadPrecoHora();
    }
}

// Raises the consumer prices of the period to their calculated prices on the
// server; the differentiated prices of the raised items were computed again
// there, so they are reloaded with the items.
void TfrmTabePreco::mnuAtualizaPrecoClick()
{
    if (HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("CONF")), MsgKind::Confirmation,
                                      {MsgYes, MsgNo}) != MsgYes)
        return;
    {
        BusyScope busy(1);
        serverCall(QStringLiteral("SetItemPrecoAtuPrec"),
                   {cdsTabeVend->fieldByName(u"CDFILIAL").asString(),
                    cdsTabeVend->fieldByName(u"CDTABEPREC").asString(),
                    cdsTabeVendDTINIVGPREC->asDateTime()});
        loadPrecoHora();
        loadItemPreco();
        cdsTabeVendAfterScroll();
    }
    HostUi::instance().messageBox(msgPadrao.Msg(QStringLiteral("CADOK")), MsgKind::Confirmation,
                                  {MsgOk});
}

void TfrmTabePreco::mnuProdProClick()
{
    Cli_prx51706::CriaCadAutPromocao();
}

void TfrmTabePreco::btnCadPrecoDifClick()
{
    Cli_prx51707::CriaCadAutPrecoDeferenciado();
}

void TfrmTabePreco::mnuCalcPrecoClick()
{
    Cli_prx51704::CriaCadAutTabePrec();
}

// After a copy the differentiated prices and the items are reloaded, whatever
// control has the focus (the copy wrote differentiated prices, which a
// refresh from the item grid alone would not show), and the product copied
// from is again the row in focus.
void TfrmTabePreco::mnuCopPrecoDifClick()
{
    const QString product = cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    Cli_prx51709::criaCopiaPreco(cdsItemPreco->fieldByName(u"CDFILIAL").asString(),
                                 cdsItemPreco->fieldByName(u"CDTABEPREC").asString(), product,
                                 cdsTabeVendDTINIVGPREC->asDateTime(),
                                 cdsTabeVendDTFINVGPREC->asDateTime());
    {
        BusyScope busy(6);
        loadPrecoHora();
        loadItemPreco();
    }
    cdsItemPreco->locate(u"CDPRODUTO", product, LocateOptions{true, false});
}

} // namespace prx

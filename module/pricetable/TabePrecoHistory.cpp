// The items page's "Histórico de preços..." entry: who changed the prices of
// the item in focus, and when.
#include "TfrmTabePreco.h"

#include "history/TfrmHistPreco.h"
#include "services/ProductCode.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"

namespace prx {

void TfrmTabePreco::mnuHistPrecoClick()
{
    if (!cdsItemPreco->isActive() || cdsItemPreco->isEmpty() || !cdsTabeVend->isActive() ||
        cdsTabeVend->isEmpty())
        MensErro(QStringLiteral("Selecione um produto da tabela de preços."), true);
    HistPrecoRequest request;
    request.branch = Ajusta(medCdFilial->text(), 4);
    request.table = cdsTabeVend->fieldByName(u"CDTABEPREC").asString();
    request.tableLabel = QStringLiteral("%1 - %2").arg(
        request.table, cdsTabeVend->fieldByName(u"NMTABEPREC").asString());
    request.period = cdsTabeVend->fieldByName(u"DTINIVGPREC").asDateTime();
    // A component row's history lives under its composite: the item page
    // lists products in their own rows.
    request.product = cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    request.productLabel = QStringLiteral("%1 - %2").arg(
        productCodeText(cdsItemPreco->fieldByName(u"CDARVPROD").asString()),
        cdsItemPreco->fieldByName(u"NMPRODUTO").asString());
    request.net = netTabePreco;
    history::CriaHistPreco(request);
}

} // namespace prx

// The items page's "Preço vigente..." entry: what the item in focus costs at
// a moment, asked of the server.
#include "TfrmTabePreco.h"

#include "inforce/TfrmPrecoVigente.h"
#include "services/LocalQuery.h"
#include "services/ProductCode.h"
#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "widgets/MaskEdit.h"

namespace prx {

void TfrmTabePreco::mnuPrecoVigenteClick()
{
    if (!cdsItemPreco->isActive() || cdsItemPreco->isEmpty() || !cdsTabeVend->isActive() ||
        cdsTabeVend->isEmpty())
        MensErro(QStringLiteral("Selecione um produto da tabela de preços."), true);
    PrecoVigenteRequest request;
    request.branch = Ajusta(medCdFilial->text(), 4);
    request.table = cdsTabeVend->fieldByName(u"CDTABEPREC").asString();
    request.product = cdsItemPreco->fieldByName(u"CDPRODUTO").asString();
    request.productLabel = QStringLiteral("%1 - %2").arg(
        productCodeText(cdsItemPreco->fieldByName(u"CDARVPROD").asString()),
        cdsItemPreco->fieldByName(u"NMPRODUTO").asString());
    adqTipoCons->close();
    adqTipoCons->setParam(QStringLiteral("P_CDTIPOCONS"), QString());
    adqTipoCons->setParam(QStringLiteral("P_TCDTIPOCONS"), QStringLiteral("T"));
    adqTipoCons->open();
    for (adqTipoCons->first(); !adqTipoCons->eof(); adqTipoCons->next()) {
        request.consumerTypes.append({adqTipoCons->fieldByName(u"CDTIPOCONS").asString(),
                                      adqTipoCons->fieldByName(u"NMTIPOCONS").asString()});
    }
    request.net = netTabePreco;
    inforce::CriaPrecoVigente(request);
}

} // namespace prx

// The items page's "Alterações de preço para etiquetas..." entry: the
// products whose price in force changes, for the table of the screen.
#include "TfrmTabePreco.h"

#include "services/TextUtils.h"
#include "services/UserAction.h"
#include "shelf/TfrmAlteracoesPreco.h"
#include "widgets/MaskEdit.h"

namespace prx {

void TfrmTabePreco::mnuAlteracoesPrecoClick()
{
    if (!cdsTabeVend->isActive() || cdsTabeVend->isEmpty())
        MensErro(QStringLiteral("Selecione uma tabela de preços."), true);
    AlteracoesPrecoRequest request;
    request.branch = Ajusta(medCdFilial->text(), 4);
    request.table = cdsTabeVend->fieldByName(u"CDTABEPREC").asString();
    request.tableLabel = QStringLiteral("%1 - %2").arg(
        request.table, cdsTabeVend->fieldByName(u"NMTABEPREC").asString());
    request.net = netTabePreco;
    shelf::CriaAlteracoesPreco(request);
}

} // namespace prx

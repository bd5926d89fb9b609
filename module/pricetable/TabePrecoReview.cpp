// "Revisão da Vigência": what the period in focus changes at the till, asked
// of the server before the period is released or approved.
#include "TfrmTabePreco.h"

#include "review/TfrmRevisaoVigencia.h"
#include "services/UserAction.h"

#include <QLineEdit>

namespace prx {

void TfrmTabePreco::mnuRevVigClick()
{
    if (!hasRows(cdsTabeVend) || isEditing(cdsTabeVend))
        MensErro(QStringLiteral("Selecione uma vigência da tabela de preços."), true);
    // The review reads what is stored: a row being typed would not be in it.
    for (const ClientDataSet *typed : {cdsItemPreco, cdsItemPrecoComp, cdsPrecoHora}) {
        if (typed->isActive() && isEditing(typed))
            MensErro(QStringLiteral("Confirme ou cancele a alteração antes da revisão da "
                                    "vigência."),
                     true);
    }
    RevisaoVigenciaRequest request;
    request.branch = cdsTabeVend->fieldByName(u"CDFILIAL").asString();
    request.branchName = edtNmFilial->text();
    request.table = cdsTabeVend->fieldByName(u"CDTABEPREC").asString();
    request.tableName = cdsTabeVend->fieldByName(u"NMTABEPREC").asString();
    request.start = cdsTabeVendDTINIVGPREC->asDateTime();
    request.net = netTabePreco;
    review::CriaRevisaoVigencia(request);
}

} // namespace prx

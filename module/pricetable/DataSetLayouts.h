#pragma once

namespace prx {
class ClientDataSet;
}

// The persistent fields of the price table screen's datasets: names, types,
// sizes, labels, formats, masks and visibility, as the server's packets carry
// them. Behaviour (handlers) is attached by the screen.
namespace prx::pricetable {

void defineFilialFields(ClientDataSet &cdsFilial);
void defineTabePrecFields(ClientDataSet &cdsTabePrec);
void defineVerifTabePrecFields(ClientDataSet &cdsVerifTabePrec);
void defineTabeVendFields(ClientDataSet &cdsTabeVend);
void definePesqDataVigenteFields(ClientDataSet &cdsPesqDataVigente);
void defineMaxDtFinVgFields(ClientDataSet &cdsMaxDtFinVg);
void defineVingFields(ClientDataSet &dataSet, const char *keyField, int size);
void defineItemPrecoFields(ClientDataSet &cdsItemPreco);
void defineItemPrecoCompFields(ClientDataSet &cdsItemPrecoComp);
void definePrecoHoraFields(ClientDataSet &cdsPrecoHora);

} // namespace prx::pricetable

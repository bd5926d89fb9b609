#pragma once

#include "dataset/ClientDataSet.h"

#include <QString>

#include <optional>

namespace prx::pricetable {

// What the enabling of the screen's commands looks at: the state of the data
// source the user works on and a few facts about pages, grids and datasets.
struct ButtonInputs
{
    DataSetState state = DataSetState::Inactive; // of the source passed in
    bool sourceEmpty = true;                     // its dataset has no rows
    bool listPageActive = true;                  // tshFolhaDados is the page of pgcPadrao
    bool detailPageActive = false;               // tshFormulario is
    bool precoHoraPageActive = false;            // tshPrecoHora is the page of pgcPrecoCliCon
    bool composicaoPageActive = false;           // tshComposicao is the page of pgcItemPreco
    QString stGrid = QStringLiteral("1");
    QString idPrecDifCom; // of cdsFilial
    bool tabePrecEmpty = true;
    bool tabeVendEmpty = true;
    bool activeIsTabeVend = false;  // the focus is in dbgTabeVend
    bool activeIsPrecoHora = false; // the focus is in dbgPrecoHora
    DataSetState precoHoraState = DataSetState::Inactive;
    bool precoHoraEmpty = true;
    QString idSitVgPrec; // of the current period
    bool tabeVendEditing = false; // a period is being typed
};

struct ButtonStates
{
    bool confirm = false;
    bool cancel = false;
    bool include = false;
    bool alter = false;
    bool remove = false;
    bool find = false;
    bool refresh = false;
    bool bulk = false; // mnuCalcPreco, mnuCadPrecoDif, mnuProdPro, mnuAtualizaPreco
    bool tabeVendReadOnly = false;
    std::optional<bool> libDig; // nothing: keeps its state
    std::optional<bool> aprDig;
};

ButtonStates computeButtons(const ButtonInputs &in);

} // namespace prx::pricetable

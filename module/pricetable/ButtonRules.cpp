#include "ButtonRules.h"

namespace prx::pricetable {

ButtonStates computeButtons(const ButtonInputs &in)
{
    ButtonStates out;
    const bool editing = in.state == DataSetState::Edit || in.state == DataSetState::Insert;
    const bool browse = in.state == DataSetState::Browse;

    out.confirm = editing;
    out.cancel = editing;

    out.include = browse && (in.listPageActive || (in.precoHoraPageActive && in.stGrid == "3"));

    if (in.idPrecDifCom == QLatin1String("N") && in.composicaoPageActive)
        out.alter = false;
    else
        out.alter = browse && !in.sourceEmpty;

    out.remove = browse && !in.sourceEmpty &&
                 (in.listPageActive || (in.detailPageActive && in.stGrid == "1") ||
                  (in.precoHoraPageActive && in.stGrid == "3"));

    out.find = browse && !in.sourceEmpty;
    out.refresh = out.find;

    out.bulk = browse && !in.tabePrecEmpty && !in.tabeVendEmpty;

    if (in.tabePrecEmpty && in.activeIsTabeVend) {
        out.include = false;
        out.tabeVendReadOnly = true;
    }

    const bool precoHoraIdle =
        in.precoHoraState == DataSetState::Inactive || in.precoHoraState == DataSetState::Browse;
    if (precoHoraIdle && in.precoHoraEmpty && in.activeIsPrecoHora) {
        out.alter = false;
        out.remove = false;
        out.find = false;
        out.refresh = false;
    }

    const QString &s = in.idSitVgPrec;
    if (s == "1" || s == "4") {
        out.libDig = true;
        out.aprDig = false;
    } else if (s == "2") {
        out.libDig = false;
        out.aprDig = false;
    } else if (s == "3") {
        out.libDig = true;
        out.aprDig = true;
    }
    // A state change reloads the periods: it would throw a typed period
    // away, so it waits until the period is confirmed or cancelled.
    if (in.tabeVendEditing) {
        out.libDig = false;
        out.aprDig = false;
    }
    return out;
}

} // namespace prx::pricetable

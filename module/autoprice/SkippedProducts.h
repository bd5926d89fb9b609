#pragma once

#include <QVariant>

namespace prx {

class TMessages;

namespace autoprice {

// A bulk price run that left products without a price says so: the answer
// [rows written, products skipped, packet of the skipped ones] gives a
// question with the count ("3 produtos não receberam preço calculado.
// Deseja ver a lista?", keys SEMPRECO1 and SEMPRECON of the dialog's
// catalogue) and, on yes, the list (code, name, reason) in the print
// preview, titled by REL_SEMPRECO. Nothing is shown when none was skipped.
// Returns the number of products skipped.
int tellSkipped(const QVariant &answer, const TMessages &messages);

} // namespace autoprice

} // namespace prx

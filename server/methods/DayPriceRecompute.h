#pragma once

#include "methods/MethodSupport.h"

namespace prx::server {

// The resulting prices stored with the differentiated prices follow the base
// prices of their item: whenever a base price changes, they are computed
// again, inside the caller's transaction, with the routine the screen uses.

// The differentiated prices of the items that `itemWhere` selects (a
// condition on the price items, alias I) get their prices computed from
// their amounts and the items' prices. With `raised`, the general price is
// taken as the item's calculated price rounded up to the cent: the price the
// bulk update is about to give it.
void recomputeDayPrices(const Storage &db, const QString &itemWhere, const SqlBinds &binds,
                        bool raised = false);

// The differentiated prices of one price item (its five key values, bound as
// :CDFILIAL, :CDTABEPREC, :DTINIVGPREC, :CDPRODUTO, :CDPRPAITABPR).
void recomputeDayPricesOfItem(const Storage &db, const SqlBinds &itemKey);

// The bulk price update of a period: wherever the calculated price is set
// and above the consumer price, the consumer price becomes the calculated
// price rounded up to the cent. The number of items changed.
int raiseToCalculatedPrices(const Storage &db, const QString &branch, const QString &table,
                            const QDateTime &start);

} // namespace prx::server

#pragma once

#include "methods/MethodSupport.h"
#include "money/Decimal.h"

#include <optional>

namespace prx::server {

// The resulting prices stored with the differentiated prices follow the base
// prices of their item: whenever a base price changes, they are computed
// again, inside the caller's transaction, with the routine the screen uses.

// The differentiated prices of the items that `itemWhere` selects (a
// condition on the price items, alias I) get their prices computed from
// their amounts and the items' prices. With `raised`, the general price is
// taken as the item's calculated price rounded up to the cent: the price the
// bulk update is about to give it.
// A base change that leaves any of those differentiated prices without a
// price, at or below zero, or at or above twice its base is refused whole
// (ServerError naming the product and the rule): the caller's transaction
// then writes nothing.
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

// The price a modality's amount gives on its item's price, from the values
// as stored (null: an empty column): nullopt when it cannot be computed (no
// item price, unknown codes, values past what the price routine takes).
std::optional<Decimal> storedDayPrice(std::optional<double> itemPrice,
                                      std::optional<double> subsidy, std::optional<double> amount,
                                      QStringView percentOrValue, QStringView discountOrIncrease);

// Whether a differentiated price may keep this resulting price on its base:
// the screen's limits (above 0, below twice the base) and below the largest
// price the columns take.
bool dayPriceAcceptable(Decimal price, Decimal base);

// A stored double as an exact decimal; nullopt for a value no price column
// can hold (not finite, or far past the price limit).
std::optional<Decimal> storedDecimal(double value);

// isCents, quicker on the common values: what prices are checked with over
// a whole table.
bool storedCents(double value);

// Registers the price routines as SQL functions of a SQLite connection
// (again on every call: cheap, and a connection may be new):
//   prx_preco_dia(item price, subsidy, amount, "P"/"V", "D"/"A"): the
//     resulting price, null when storedDayPrice gives none;
//   prx_acima_centavo(value): the value rounded up to the cent;
//   prx_preco_aceito(price, item price, subsidy): 1 when dayPriceAcceptable
//     on the item price plus the subsidy, 0 otherwise (nulls included);
//   prx_preco_confere(price, item price, subsidy, amount, "P"/"V", "D"/"A"):
//     1 when the price is the one prx_preco_dia gives, 0 otherwise;
//   prx_fora_centavos(value, ...): a bit per argument, set where a value
//     that is not null is not exactly a value of at most two decimals.
// Does nothing on PostgreSQL.
void registerPriceFunctions(const Storage &db);

} // namespace prx::server

#pragma once

#include "money/Decimal.h"

#include <optional>

namespace prx {

// The price calculated from a product's cost:
//
//     cost × (1 + percent / 100) ÷ (1 − tax / 100)
//
// with tax 0 when taxes are not considered, rounded half up to the cent once,
// on the exact quotient. Each input is taken as the decimal its double stands
// for in the database: its shortest text, every digit of it. An average cost
// such as 60.55634146341463 is not cut to six places first, so at 105.09 % it
// gives 124.20 (the exact 124.195000707…), not 124.19.
//
// nullopt when an input is not finite, the cost is negative, the percentage
// is -100 or less, the tax is outside [0, 100), or the price reaches
// kPriceLimit. Callers that name the reason check those first.
std::optional<Decimal> priceFromCost(double cost, double percent, double tax);

} // namespace prx

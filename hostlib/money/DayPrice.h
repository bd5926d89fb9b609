#pragma once

#include "money/Decimal.h"

#include <optional>

namespace prx::dayprice {

// How a differentiated price changes the item's price: by a percentage or
// by a fixed amount, as a discount or as an increase. The screen, the server
// and the demo compute with these same routines, so a price stored by one is
// the price the others would compute.
struct Rule
{
    bool percentage = false; // IDPERVALORPR "P"; "V" is a fixed amount
    bool discount = false;   // IDDESCACREPR "D"; "A" is an increase
};

// The price an amount gives on a base. A percentage is cut to cents before it
// is applied, and the result cut again; a fixed amount is applied as it is.
// Each cut is the only rounding, on the exact value. A base or an amount at
// or past the price limit (either sign) computes nothing: priceFor throws
// MoneyOverflow, tryPriceFor gives nullopt (for loops over stored rows,
// where one wrong row is a finding rather than the end of the work). Within
// the limits every amount computes, a percentage above 100 included: the
// limits of amountWithinLimits and priceWithinLimits refuse those rows.
Decimal priceFor(Decimal base, Decimal amount, Rule rule);
std::optional<Decimal> tryPriceFor(Decimal base, Decimal amount, Rule rule);

// The amount that gives a typed price on a base, and the direction it takes.
// A percentage is cut to two decimals; a typed price below the base always
// makes a percentage a discount (a price above the base is refused there), so
// the row reproduces its own price. A fixed amount keeps the direction asked
// for (a price on the wrong side of the base then gives a negative amount,
// which the checks refuse).
struct Derived
{
    Decimal amount;
    bool discount = false;
};
enum class Refusal
{
    None,
    BaseNotPositive, // a percentage of a base of 0 or below means nothing
    AboveBase,       // a percentage derived from a price above the base
    OutOfRange,      // a base or a price at or past the price limit
};
Refusal amountFor(Decimal base, Decimal price, Rule rule, Derived *out);

// The amounts a rule may hold, whatever its modality takes part: a
// percentage from 0 to 100, a fixed amount from 0 to below the price limit.
// (An active modality also needs an amount above 0: the screen's own check.)
bool amountWithinLimits(Decimal amount, Rule rule);

// A resulting price is acceptable when it is above 0 and below twice its
// base (an increase must stay below the base itself).
bool priceWithinLimits(Decimal price, Decimal base);

// The calculated price rounded up to the cent, the consumer price it becomes
// in the bulk price update.
inline Decimal raisedPrice(Decimal calculated)
{
    return calculated.ceiled(2);
}

// Rule codes as stored: nullopt when a code is neither of its two values.
std::optional<Rule> ruleFromCodes(QStringView valueOrPercent, QStringView discountOrIncrease);

} // namespace prx::dayprice

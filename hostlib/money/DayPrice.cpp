#include "money/DayPrice.h"

namespace prx::dayprice {

namespace {

// Whether a value can take part in a price computation: every price, base
// and amount stays below the price limit, so past it there is nothing to
// compute, only a wrong row to refuse.
bool computable(Decimal v)
{
    return v < kPriceLimit && -kPriceLimit < v;
}

// a × b ÷ divisor cut to cents toward zero, on the exact value: a rounding
// to six places first could carry a value a hair below a cent up onto it.
std::optional<Decimal> cutToCents(Decimal a, Decimal b, Decimal divisor)
{
    return Decimal::mulDiv(a, b, divisor, 2, Decimal::Rounding::Cut);
}

} // namespace

std::optional<Decimal> tryPriceFor(Decimal base, Decimal amount, Rule rule)
{
    if (!computable(base) || !computable(amount))
        return std::nullopt;
    // Within the limits nothing below overflows: a change is at most
    // 10^15 × 10^15 % = 10^28, far inside the 128 bits.
    if (!rule.percentage)
        return rule.discount ? base - amount : base + amount;
    const std::optional<Decimal> change = cutToCents(base, amount, Decimal(100));
    if (!change)
        return std::nullopt;
    return (rule.discount ? base - *change : base + *change).truncated(2);
}

Decimal priceFor(Decimal base, Decimal amount, Rule rule)
{
    const std::optional<Decimal> price = tryPriceFor(base, amount, rule);
    if (!price)
        throw MoneyOverflow();
    return *price;
}

Refusal amountFor(Decimal base, Decimal price, Rule rule, Derived *out)
{
    if (!computable(base) || !computable(price))
        return Refusal::OutOfRange;
    if (!rule.percentage) {
        out->discount = rule.discount;
        out->amount = rule.discount ? base - price : price - base;
        return Refusal::None;
    }
    if (base <= Decimal(0))
        return Refusal::BaseNotPositive;
    if (price > base)
        return Refusal::AboveBase;
    const std::optional<Decimal> share = cutToCents(price, Decimal(100), base);
    if (!share)
        return Refusal::OutOfRange; // not reached within the limits
    out->amount = (*share - Decimal(100)).abs();
    // Equal to the base leaves 0 whatever the direction; keep the one asked.
    out->discount = price < base ? true : rule.discount;
    return Refusal::None;
}

bool amountWithinLimits(Decimal amount, Rule rule)
{
    if (amount.isNegative())
        return false;
    return rule.percentage ? amount <= Decimal(100) : amount < kPriceLimit;
}

bool priceWithinLimits(Decimal price, Decimal base)
{
    // price - base < base rather than price < 2 × base: no sum that could
    // leave the 128 bits, whatever a stored row holds.
    return price > Decimal(0) && base > Decimal(0) && price - base < base;
}

std::optional<Rule> ruleFromCodes(QStringView valueOrPercent, QStringView discountOrIncrease)
{
    Rule rule;
    if (valueOrPercent == u"P")
        rule.percentage = true;
    else if (valueOrPercent != u"V")
        return std::nullopt;
    if (discountOrIncrease == u"D")
        rule.discount = true;
    else if (discountOrIncrease != u"A")
        return std::nullopt;
    return rule;
}

} // namespace prx::dayprice

#include "money/DayPrice.h"

namespace prx::dayprice {

namespace {

// a × b ÷ divisor cut to cents toward zero, on the exact value: a rounding
// to six places first could carry a value a hair below a cent up onto it.
Decimal cutToCents(Decimal a, Decimal b, Decimal divisor)
{
    // Past these magnitudes the exact product would not fit; no price or
    // percentage comes near them.
    constexpr Decimal::Units kSafe = Decimal::Units(1000000000000LL) * Decimal::kOne;
    if (a.abs().units() > kSafe || b.abs().units() > kSafe)
        return (a * b / divisor).truncated(2);
    const Decimal::Units exact = a.units() * b.units() / divisor.units();
    return Decimal::fromUnits(exact).truncated(2);
}

} // namespace

Decimal priceFor(Decimal base, Decimal amount, Rule rule)
{
    if (!rule.percentage)
        return rule.discount ? base - amount : base + amount;
    const Decimal change = cutToCents(base, amount, Decimal(100));
    return (rule.discount ? base - change : base + change).truncated(2);
}

Refusal amountFor(Decimal base, Decimal price, Rule rule, Derived *out)
{
    if (!rule.percentage) {
        out->discount = rule.discount;
        out->amount = rule.discount ? base - price : price - base;
        return Refusal::None;
    }
    if (base <= Decimal(0))
        return Refusal::BaseNotPositive;
    if (price > base)
        return Refusal::AboveBase;
    const Decimal share = cutToCents(price, Decimal(100), base);
    out->amount = (share - Decimal(100)).abs();
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
    return price > Decimal(0) && price < base + base;
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

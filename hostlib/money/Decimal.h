#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <optional>
#include <stdexcept>

namespace prx {

// A result the money arithmetic cannot hold exactly. Never wrapped, never cut
// to fit: every caller already treats an exception as an error and stops.
class MoneyOverflow : public std::overflow_error
{
public:
    MoneyOverflow();
};

// An exact decimal number for prices, amounts and percentages: a 128-bit
// integer of millionths. Every sum, product and quotient is computed on the
// integers, so 1.40 - 10 % is 1.26 and 0.7 * 0.1 is 0.07, which binary doubles
// miss by a hair and a cut to two decimals then turns into 0.06.
//
// Values reach and leave the datasets and the database as doubles; fromDouble
// reads a double as the shortest decimal text that gives it back (what the
// user typed, what the database stored), never as its binary expansion.
class Decimal
{
public:
    using Units = __int128;
    static constexpr int kDecimals = 6;
    static constexpr Units kOne = 1000000;
    // The largest magnitude a value holds, the same on both sides of zero;
    // sums, products and quotients past it throw MoneyOverflow.
    static constexpr Units kMaxUnits = Units(~(unsigned __int128)(0) >> 1);

    enum class Rounding
    {
        HalfUp, // half away from zero
        Cut,    // toward zero
        Up,     // toward +infinity
    };

    constexpr Decimal() = default;
    constexpr Decimal(int value) : m_units(Units(value) * kOne) {}

    static constexpr Decimal fromUnits(Units units)
    {
        Decimal d;
        d.m_units = units;
        return d;
    }
    // The double's shortest decimal text, rounded half away from zero to six
    // places; a NaN or an infinity gives 0, a magnitude above 10^20 throws
    // MoneyOverflow.
    static Decimal fromDouble(double value);
    // "1.40", "1,40", "-3", " 12 "; a thousands separator is not accepted.
    // Digits past the sixth decimal are rounded half away from zero.
    static std::optional<Decimal> parse(QStringView text);

    // The nearest double; the one whose shortest text is this number's text
    // whenever the number has at most 15 significant digits.
    double toDouble() const;
    // Plain text with a point and exactly `decimals` places, or the fewest
    // places that hold the value when `decimals` is negative ("1.5", "2").
    QString toString(int decimals = -1) const;

    constexpr Units units() const { return m_units; }
    constexpr bool isZero() const { return m_units == 0; }
    constexpr bool isNegative() const { return m_units < 0; }
    constexpr Decimal abs() const { return m_units < 0 ? -*this : *this; }

    // Cut toward zero / round half away from zero / round toward +infinity,
    // to `decimals` places (0 to 6). Rounding up past the largest value
    // throws MoneyOverflow.
    Decimal truncated(int decimals) const;
    Decimal rounded(int decimals) const;
    Decimal ceiled(int decimals) const;

    // Sums, differences and negations past the largest value throw
    // MoneyOverflow instead of wrapping around.
    constexpr Decimal operator-() const
    {
        if (m_units < -kMaxUnits)
            throw MoneyOverflow();
        return fromUnits(-m_units);
    }
    constexpr Decimal operator+(Decimal o) const
    {
        Units sum = 0;
        if (__builtin_add_overflow(m_units, o.m_units, &sum) || sum < -kMaxUnits)
            throw MoneyOverflow();
        return fromUnits(sum);
    }
    constexpr Decimal operator-(Decimal o) const
    {
        Units difference = 0;
        if (__builtin_sub_overflow(m_units, o.m_units, &difference) || difference < -kMaxUnits)
            throw MoneyOverflow();
        return fromUnits(difference);
    }
    // The exact product rounded half away from zero to six places; a result
    // past the largest value throws MoneyOverflow.
    Decimal operator*(Decimal o) const;
    // The quotient rounded half away from zero to six places; dividing by
    // zero throws std::domain_error (callers check the divisor first), a
    // result past the largest value MoneyOverflow.
    Decimal operator/(Decimal o) const;
    // a × b / c rounded to `decimals` places (0 to 6) on the exact quotient,
    // so a price never suffers a second rounding; the product is formed in
    // 256 bits, so any three values work. nullopt when c is zero or the
    // result does not fit.
    static std::optional<Decimal> mulDiv(Decimal a, Decimal b, Decimal c, int decimals,
                                         Rounding rounding = Rounding::HalfUp);
    Decimal &operator+=(Decimal o) { return *this = *this + o; }
    Decimal &operator-=(Decimal o) { return *this = *this - o; }

    constexpr bool operator==(const Decimal &) const = default;
    constexpr std::strong_ordering operator<=>(const Decimal &o) const
    {
        return m_units <=> o.m_units;
    }

private:
    Units m_units = 0;
};

// Every price and amount stays below this magnitude: the price columns of
// the screens take fifteen digits before the comma.
inline constexpr Decimal kPriceLimit =
    Decimal::fromUnits(Decimal::Units(999999999999999LL) * Decimal::kOne);

// Whether a stored double is exactly a value of at most two decimals: what a
// price column may hold. 9.876 and 8.890000000000001 are not.
bool isCents(double value);

// `percent` % of `base`, rounded half away from zero to six places on the
// exact value; a result past the largest value throws MoneyOverflow.
Decimal percentOf(Decimal base, Decimal percent);

} // namespace prx

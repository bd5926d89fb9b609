#pragma once

#include <QString>
#include <QStringView>

#include <compare>
#include <optional>

namespace prx {

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

    constexpr Decimal() = default;
    constexpr Decimal(int value) : m_units(Units(value) * kOne) {}

    static constexpr Decimal fromUnits(Units units)
    {
        Decimal d;
        d.m_units = units;
        return d;
    }
    // The double's shortest decimal text, rounded half away from zero to six
    // places; a NaN or an infinity gives 0.
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
    constexpr Decimal abs() const { return fromUnits(m_units < 0 ? -m_units : m_units); }

    // Cut toward zero / round half away from zero / round toward +infinity,
    // to `decimals` places (0 to 6).
    Decimal truncated(int decimals) const;
    Decimal rounded(int decimals) const;
    Decimal ceiled(int decimals) const;

    constexpr Decimal operator-() const { return fromUnits(-m_units); }
    constexpr Decimal operator+(Decimal o) const { return fromUnits(m_units + o.m_units); }
    constexpr Decimal operator-(Decimal o) const { return fromUnits(m_units - o.m_units); }
    // The exact product rounded half away from zero to six places.
    Decimal operator*(Decimal o) const;
    // The quotient rounded half away from zero to six places; dividing by
    // zero throws std::domain_error (callers check the divisor first).
    Decimal operator/(Decimal o) const;
    // a × b / c rounded half away from zero to `decimals` places (0 to 6) on
    // the exact quotient, so a price never suffers a second rounding; nullopt
    // when c is zero or the exact product does not fit in 128 bits.
    static std::optional<Decimal> mulDiv(Decimal a, Decimal b, Decimal c, int decimals);
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
// the screens take fifteen digits before the comma. Within it, the products
// the price routines form fit in 128 bits.
inline constexpr Decimal kPriceLimit =
    Decimal::fromUnits(Decimal::Units(999999999999999LL) * Decimal::kOne);

// Whether a stored double is exactly a value of at most two decimals: what a
// price column may hold. 9.876 and 8.890000000000001 are not.
bool isCents(double value);

// `percent` % of `base`, exact to six places.
Decimal percentOf(Decimal base, Decimal percent);

} // namespace prx

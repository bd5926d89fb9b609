#include "money/Decimal.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace prx {

MoneyOverflow::MoneyOverflow()
    : std::overflow_error("Valor fora dos limites do cálculo exato de preços.")
{
}

namespace {

using Units = Decimal::Units;
using Magnitude = unsigned __int128;

// Largest magnitude accepted from outside: far above any price (prices stay
// below 10^15) and far below the largest value.
constexpr double kLimit = 1e20;

constexpr Units pow10(int n)
{
    Units p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

Magnitude magnitude(Units v)
{
    // Negating in the unsigned type is defined for the most negative value too.
    return v < 0 ? Magnitude(0) - Magnitude(v) : Magnitude(v);
}

// An unsigned 256-bit integer: what the product of two values needs. Only
// the rare operands past 128 bits come here, so plain shift-and-subtract
// division is enough.
struct Wide
{
    Magnitude high = 0, low = 0;

    static Wide product(Magnitude a, Magnitude b)
    {
        constexpr Magnitude kMask = ~uint64_t(0);
        const Magnitude a0 = a & kMask, a1 = a >> 64, b0 = b & kMask, b1 = b >> 64;
        const Magnitude p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
        // The middle column collects at most three 64-bit halves: no carry is lost.
        const Magnitude middle = (p00 >> 64) + (p01 & kMask) + (p10 & kMask);
        Wide w;
        w.low = (middle << 64) | (p00 & kMask);
        w.high = p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64);
        return w;
    }
    bool bit(int i) const { return ((i >= 128 ? high >> (i - 128) : low >> i) & 1) != 0; }
    int bits() const
    {
        int n = 0;
        for (Magnitude h = high ? high : low; h; h >>= 1)
            ++n;
        return high ? n + 128 : n;
    }
    bool operator>=(const Wide &o) const { return high != o.high ? high > o.high : low >= o.low; }
    void subtract(const Wide &o)
    {
        high -= o.high + (low < o.low ? 1 : 0);
        low -= o.low;
    }
    void shiftInBit(bool b)
    {
        high = (high << 1) | (low >> 127);
        low = (low << 1) | Magnitude(b);
    }
};

// A quotient and its remainder; divideWide gives nothing when the quotient
// needs more than 128 bits.
struct Quotient
{
    Magnitude q = 0;
    Wide remainder;
};

std::optional<Quotient> divideWide(const Wide &n, const Wide &d)
{
    Quotient out;
    Wide &r = out.remainder;
    for (int i = n.bits() - 1; i >= 0; --i) {
        r.shiftInBit(n.bit(i));
        const bool fits = r >= d;
        if (fits)
            r.subtract(d);
        if (out.q >> 127)
            return std::nullopt; // a further bit would not fit
        out.q = (out.q << 1) | Magnitude(fits);
    }
    return out;
}

// a·b / (c·e) rounded once, on the exact integers, to the nearest value the
// rounding gives; nothing when c·e is zero or the result is past kMaxUnits.
std::optional<Units> scaledQuotient(Units a, Units b, Units c, Units e, Decimal::Rounding mode)
{
    if (c == 0 || e == 0)
        return std::nullopt;
    const bool negative = ((a < 0) != (b < 0)) != ((c < 0) != (e < 0)) && a != 0 && b != 0;
    const Magnitude ma = magnitude(a), mb = magnitude(b), mc = magnitude(c), me = magnitude(e);
    Magnitude q = 0;
    bool exact = false, halfOrMore = false; // what the remainder is against the divisor
    Magnitude n = 0, d = 0;
    if (!__builtin_mul_overflow(ma, mb, &n) && !__builtin_mul_overflow(mc, me, &d)) {
        q = n / d;
        const Magnitude r = n % d;
        exact = r == 0;
        halfOrMore = r >= d - r;
    } else {
        const Wide wn = Wide::product(ma, mb), wd = Wide::product(mc, me);
        const std::optional<Quotient> w = divideWide(wn, wd);
        if (!w)
            return std::nullopt;
        q = w->q;
        exact = w->remainder.high == 0 && w->remainder.low == 0;
        // r < d < 2^254 (a product of two 128-bit magnitudes), so 2r fits.
        Wide twice = w->remainder;
        twice.shiftInBit(false);
        halfOrMore = twice >= wd;
    }
    bool up = false; // away from zero
    switch (mode) {
    case Decimal::Rounding::HalfUp:
        up = halfOrMore;
        break;
    case Decimal::Rounding::Cut:
        break;
    case Decimal::Rounding::Up:
        up = !exact && !negative;
        break;
    }
    if (up && ++q == 0)
        return std::nullopt;
    if (q > Magnitude(Decimal::kMaxUnits))
        return std::nullopt;
    return negative ? -Units(q) : Units(q);
}

// q steps, or nothing past the largest value.
std::optional<Units> stepsOf(Units q, Units step)
{
    Units r = 0;
    if (__builtin_mul_overflow(q, step, &r) || r < -Decimal::kMaxUnits)
        return std::nullopt;
    return r;
}

Units checked(std::optional<Units> units)
{
    if (!units)
        throw MoneyOverflow();
    return *units;
}

// Reads "[-]digits[.digits]"; the text has been checked by the caller.
std::optional<Decimal> fromPlainText(std::string_view text)
{
    bool negative = false;
    size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    Units whole = 0, fraction = 0;
    int fractionDigits = 0, digits = 0;
    bool roundUp = false, seenPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            if (seenPoint)
                return std::nullopt;
            seenPoint = true;
            continue;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        ++digits;
        if (!seenPoint) {
            whole = whole * 10 + (c - '0');
            if (whole > Units(kLimit))
                return std::nullopt;
        } else if (fractionDigits < Decimal::kDecimals) {
            fraction = fraction * 10 + (c - '0');
            ++fractionDigits;
        } else if (fractionDigits == Decimal::kDecimals) {
            roundUp = c >= '5';
            ++fractionDigits; // later digits do not change a half-up rounding
        }
    }
    if (digits == 0)
        return std::nullopt;
    Units units =
        whole * Decimal::kOne + fraction * pow10(Decimal::kDecimals - std::min(fractionDigits, 6));
    if (roundUp)
        ++units;
    return Decimal::fromUnits(negative ? -units : units);
}

std::string unitsText(Units units, int decimals)
{
    const bool negative = units < 0;
    Magnitude rest = magnitude(units);
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(rest % 10)));
        rest /= 10;
    } while (rest > 0);
    if (digits.size() <= size_t(Decimal::kDecimals))
        digits.insert(0, Decimal::kDecimals + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - Decimal::kDecimals);
    std::string fraction = digits.substr(digits.size() - Decimal::kDecimals);
    if (decimals < 0) {
        while (!fraction.empty() && fraction.back() == '0')
            fraction.pop_back();
    } else {
        fraction.resize(size_t(decimals), '0');
    }
    std::string text =
        negative && (whole != "0" || fraction.find_first_not_of('0') != std::string::npos)
            ? "-" + whole
            : whole;
    if (!fraction.empty())
        text += "." + fraction;
    return text;
}

void checkPlaces(int decimals)
{
    if (decimals < 0 || decimals > Decimal::kDecimals)
        throw std::out_of_range("casas decimais fora da faixa");
}

} // namespace

Decimal Decimal::fromDouble(double value)
{
    if (!std::isfinite(value))
        return {};
    if (std::fabs(value) > kLimit)
        throw MoneyOverflow();
    // The shortest text that gives the double back, in plain digits.
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    const std::optional<Decimal> d =
        fromPlainText(std::string_view(buffer, size_t(result.ptr - buffer)));
    if (!d)
        throw MoneyOverflow(); // not reached within the limit; never a silent 0
    return *d;
}

std::optional<Decimal> Decimal::parse(QStringView text)
{
    const QString trimmed = text.trimmed().toString();
    std::string ascii;
    ascii.reserve(size_t(trimmed.size()));
    for (const QChar c : trimmed) {
        if (c.unicode() > 127)
            return std::nullopt;
        ascii.push_back(c == QLatin1Char(',') ? '.' : char(c.unicode()));
    }
    return fromPlainText(ascii);
}

double Decimal::toDouble() const
{
    const std::string text = unitsText(m_units, -1);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

QString Decimal::toString(int decimals) const
{
    return QString::fromStdString(unitsText(m_units, std::min(decimals, kDecimals)));
}

Decimal Decimal::truncated(int decimals) const
{
    checkPlaces(decimals);
    const Units step = pow10(kDecimals - decimals);
    return fromUnits(m_units / step * step);
}

Decimal Decimal::rounded(int decimals) const
{
    checkPlaces(decimals);
    const Units step = pow10(kDecimals - decimals);
    const Units rest = m_units % step;
    Units q = m_units / step;
    if (magnitude(rest) * 2 >= Magnitude(step))
        q += m_units < 0 ? -1 : 1;
    return fromUnits(checked(stepsOf(q, step)));
}

Decimal Decimal::ceiled(int decimals) const
{
    checkPlaces(decimals);
    const Units step = pow10(kDecimals - decimals);
    Units q = m_units / step;
    if (m_units % step > 0)
        ++q;
    return fromUnits(checked(stepsOf(q, step)));
}

Decimal Decimal::operator*(Decimal o) const
{
    return fromUnits(checked(scaledQuotient(m_units, o.m_units, 1, kOne, Rounding::HalfUp)));
}

Decimal Decimal::operator/(Decimal o) const
{
    if (o.m_units == 0)
        throw std::domain_error("divisão por zero");
    return fromUnits(checked(scaledQuotient(m_units, kOne, o.m_units, 1, Rounding::HalfUp)));
}

std::optional<Decimal> Decimal::mulDiv(Decimal a, Decimal b, Decimal c, int decimals,
                                       Rounding rounding)
{
    checkPlaces(decimals);
    // a·b/c in units is (a.u·b.u) / c.u; rounding to `decimals` places
    // divides by c.u·10^(6-decimals) once, on the exact integers.
    const Units step = pow10(kDecimals - decimals);
    const std::optional<Units> q = scaledQuotient(a.m_units, b.m_units, c.m_units, step, rounding);
    const std::optional<Units> result = q ? stepsOf(*q, step) : std::nullopt;
    return result ? std::optional<Decimal>(fromUnits(*result)) : std::nullopt;
}

bool isCents(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= kLimit)
        return false;
    const Decimal d = Decimal::fromDouble(value);
    return d.truncated(2) == d && d.toDouble() == value;
}

Decimal percentOf(Decimal base, Decimal percent)
{
    // One rounding only, on the exact product.
    return Decimal::fromUnits(checked(scaledQuotient(base.units(), percent.units(), 100,
                                                     Decimal::kOne, Decimal::Rounding::HalfUp)));
}

} // namespace prx

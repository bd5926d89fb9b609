#include "money/Decimal.h"

#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string>

namespace prx {

namespace {

using Units = Decimal::Units;

// Largest magnitude accepted from outside: far above any price (prices stay
// below 10^15) and far below what the 128-bit products can hold.
constexpr double kLimit = 1e20;

constexpr Units pow10(int n)
{
    Units p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// `numerator / denominator` rounded half away from zero.
Units divideRounded(Units numerator, Units denominator)
{
    if (denominator == 0)
        throw std::domain_error("divisão por zero");
    const bool negative = (numerator < 0) != (denominator < 0);
    const Units n = numerator < 0 ? -numerator : numerator;
    const Units d = denominator < 0 ? -denominator : denominator;
    Units q = n / d;
    if ((n % d) * 2 >= d)
        ++q;
    return negative ? -q : q;
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
    Units magnitude = negative ? -units : units;
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(magnitude % 10)));
        magnitude /= 10;
    } while (magnitude > 0);
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
        throw std::out_of_range("valor fora da faixa");
    char buffer[400];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return fromPlainText(std::string_view(buffer, size_t(result.ptr - buffer))).value_or(Decimal());
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
    return fromUnits(divideRounded(m_units, step) * step);
}

Decimal Decimal::ceiled(int decimals) const
{
    checkPlaces(decimals);
    const Units step = pow10(kDecimals - decimals);
    Units q = m_units / step;
    if (m_units % step > 0)
        ++q;
    return fromUnits(q * step);
}

Decimal Decimal::operator*(Decimal o) const
{
    return fromUnits(divideRounded(m_units * o.m_units, kOne));
}

Decimal Decimal::operator/(Decimal o) const
{
    return fromUnits(divideRounded(m_units * kOne, o.m_units));
}

std::optional<Decimal> Decimal::mulDiv(Decimal a, Decimal b, Decimal c, int decimals)
{
    checkPlaces(decimals);
    // a·b/c in units is (a.u·b.u) / (c.u·10^6); rounding to `decimals` places
    // divides by c.u·10^(6-decimals) once, on the exact integers.
    const Units step = pow10(kDecimals - decimals);
    Units product = 0, divisor = 0;
    if (c.m_units == 0 || __builtin_mul_overflow(a.m_units, b.m_units, &product) ||
        __builtin_mul_overflow(c.m_units, step, &divisor))
        return std::nullopt;
    Units result = 0;
    if (__builtin_mul_overflow(divideRounded(product, divisor), step, &result))
        return std::nullopt;
    return fromUnits(result);
}

bool isCents(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= kLimit)
        return false;
    const Decimal d = Decimal::fromDouble(value);
    return d.rounded(2) == d && d.toDouble() == value;
}

Decimal percentOf(Decimal base, Decimal percent)
{
    // One rounding only, on the exact product.
    return Decimal::fromUnits(divideRounded(base.units() * percent.units(), Decimal::kOne * 100));
}

} // namespace prx

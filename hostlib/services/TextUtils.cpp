#include "TextUtils.h"

#include <charconv>
#include <cmath>
#include <string>

namespace prx {

QString Ajusta(const QString &text, int width)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return trimmed;
    for (QChar c : trimmed) {
        if (!c.isDigit() || c.unicode() > 127)
            return trimmed;
    }
    return trimmed.rightJustified(width, QLatin1Char('0'));
}

bool EmptyString(const QString &text)
{
    return text.trimmed().isEmpty();
}

namespace {

// The shortest fixed-point text that reads back as the same double.
std::string shortestFixed(double value)
{
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    return std::string(buf, res.ptr);
}

double parse(const std::string &text)
{
    double out = 0;
    std::from_chars(text.data(), text.data() + text.size(), out);
    return out;
}

// Adds one unit in the last kept decimal place to an unsigned decimal text.
std::string incrementLastDigit(std::string digits)
{
    int i = int(digits.size()) - 1;
    for (; i >= 0; --i) {
        if (digits[i] == '.')
            continue;
        if (digits[i] == '9') {
            digits[i] = '0';
            continue;
        }
        ++digits[i];
        return digits;
    }
    return "1" + digits;
}

double decimalCut(double value, int decimals, bool roundHalfUp)
{
    if (!std::isfinite(value) || decimals < 0)
        return value;
    const bool negative = std::signbit(value);
    std::string text = shortestFixed(std::fabs(value));
    const auto dot = text.find('.');
    if (dot == std::string::npos || text.size() - dot - 1 <= size_t(decimals))
        return value;
    const char next = text[dot + 1 + decimals];
    std::string kept = text.substr(0, decimals == 0 ? dot : dot + 1 + decimals);
    if (roundHalfUp && next >= '5')
        kept = incrementLastDigit(kept);
    const double result = parse(kept);
    return negative ? -result : result;
}

} // namespace

double RoundDec(double value, int decimals)
{
    return decimalCut(value, decimals, true);
}

double TruncDec(double value, int decimals)
{
    return decimalCut(value, decimals, false);
}

double Trunc2(double value)
{
    return TruncDec(value, 2);
}

} // namespace prx

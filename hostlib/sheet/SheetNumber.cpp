#include "sheet/SheetNumber.h"

#include <QList>

namespace prx::sheet {

namespace {

bool allDigits(QStringView s)
{
    if (s.isEmpty())
        return false;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// "1.234.567" with every group after the first of three digits.
bool groupedThousands(QStringView s)
{
    const QList<QStringView> groups = s.split(u'.');
    if (groups.size() < 2 || groups.first().size() > 3 || !allDigits(groups.first()))
        return false;
    for (qsizetype i = 1; i < groups.size(); ++i) {
        if (groups[i].size() != 3 || !allDigits(groups[i]))
            return false;
    }
    return true;
}

QString withoutDots(QStringView s)
{
    QString out = s.toString();
    out.remove(u'.');
    return out;
}

} // namespace

std::optional<Decimal> parseNumber(QStringView text, bool *ok)
{
    // What nearly every cell holds ("", "12", "1234,56"), read without a
    // copy of the text.
    qsizetype commas = 0;
    bool simple = !text.isEmpty() && text.size() <= 28;
    for (QChar c : text) {
        if (c == u',')
            ++commas;
        else if (c < u'0' || c > u'9')
            simple = false;
    }
    if (text.isEmpty() || (simple && commas <= 1 && text.front() != u',' && text.back() != u',')) {
        *ok = true;
        if (text.isEmpty())
            return std::nullopt;
        const qsizetype comma = text.indexOf(u',');
        // Past the sixth place digits are cut, not rounded.
        const std::optional<Decimal> value = Decimal::parse(
            comma < 0 ? text : text.left(std::min(text.size(), comma + 1 + Decimal::kDecimals)));
        *ok = value.has_value();
        return value;
    }
    QString s = text.toString();
    s.replace(QChar(0x00A0), u' ');
    s = s.trimmed();
    if (s.startsWith(u"R$"))
        s = s.mid(2).trimmed();
    *ok = true;
    if (s.isEmpty())
        return std::nullopt;
    *ok = false;
    bool negative = false;
    if (s.startsWith(u'-')) {
        negative = true;
        s = s.mid(1).trimmed();
    }
    QString plain; // digits with at most one decimal point
    const qsizetype comma = s.indexOf(u',');
    if (comma >= 0) {
        if (s.indexOf(u',', comma + 1) >= 0)
            return std::nullopt;
        const QStringView whole = QStringView(s).left(comma);
        const QStringView fraction = QStringView(s).mid(comma + 1);
        if (!allDigits(fraction))
            return std::nullopt;
        if (whole.contains(u'.') ? !groupedThousands(whole) : !allDigits(whole))
            return std::nullopt;
        plain = withoutDots(whole) + u'.' + fraction.toString();
    } else if (s.contains(u'.')) {
        if (groupedThousands(s)) {
            plain = withoutDots(s);
        } else {
            const qsizetype dot = s.indexOf(u'.');
            if (s.indexOf(u'.', dot + 1) >= 0 || !allDigits(QStringView(s).left(dot)) ||
                !allDigits(QStringView(s).mid(dot + 1)))
                return std::nullopt;
            plain = s;
        }
    } else {
        if (!allDigits(s))
            return std::nullopt;
        plain = s;
    }
    // Past the sixth place digits are cut, not rounded: prices are cut.
    if (const qsizetype dot = plain.indexOf(u'.'); dot >= 0 && plain.size() - dot - 1 > 6)
        plain.truncate(dot + 7);
    // More than 21 integer digits cannot be held; nothing near a price anyway.
    if (plain.indexOf(u'.') > 21 || (!plain.contains(u'.') && plain.size() > 21))
        return std::nullopt;
    std::optional<Decimal> value = Decimal::parse(plain);
    if (!value)
        return std::nullopt;
    *ok = true;
    return negative ? -*value : *value;
}

QString formatNumber(Decimal value, int minDecimals)
{
    // Straight from the scaled integer: this runs for every money cell of an
    // export.
    using Magnitude = unsigned __int128;
    const Magnitude units =
        value.units() < 0 ? Magnitude(0) - Magnitude(value.units()) : Magnitude(value.units());
    Magnitude whole = units / Decimal::kOne;
    int fraction = int(units % Decimal::kOne);
    char16_t buffer[64];
    int end = 64;
    int places = Decimal::kDecimals;
    while (places > minDecimals && fraction % 10 == 0) {
        fraction /= 10;
        --places;
    }
    if (places > 0) {
        for (int p = 0; p < places; ++p) {
            buffer[--end] = char16_t(u'0' + fraction % 10);
            fraction /= 10;
        }
        buffer[--end] = u',';
    }
    int digits = 0;
    do {
        if (digits > 0 && digits % 3 == 0)
            buffer[--end] = u'.';
        buffer[--end] = char16_t(u'0' + int(whole % 10));
        whole /= 10;
        ++digits;
    } while (whole > 0);
    if (value.isNegative())
        buffer[--end] = u'-';
    return QString(reinterpret_cast<const QChar *>(buffer + end), 64 - end);
}

} // namespace prx::sheet

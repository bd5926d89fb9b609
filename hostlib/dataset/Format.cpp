#include "Format.h"

#include "FieldDef.h"

#include <QLocale>
#include <QStringList>

#include <cmath>

namespace prx {

namespace {

struct NumberPattern
{
    QString prefix;
    QString suffix;
    bool grouping = false;
    int minIntegerDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

bool isPatternChar(QChar c)
{
    return c == u'#' || c == u'0' || c == u',' || c == u'.';
}

// Only the first ';' section counts; negative numbers get a leading '-'.
bool parsePattern(QStringView format, NumberPattern *p)
{
    const qsizetype semicolon = format.indexOf(u';');
    if (semicolon >= 0)
        format = format.left(semicolon);
    qsizetype first = -1, last = -1;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (isPatternChar(format[i])) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    if (first < 0)
        return false;
    p->prefix = format.left(first).toString();
    p->suffix = format.mid(last + 1).toString();
    const QStringView core = format.mid(first, last - first + 1);
    const qsizetype dot = core.indexOf(u'.');
    const QStringView integer = dot < 0 ? core : core.left(dot);
    const QStringView decimals = dot < 0 ? QStringView() : core.mid(dot + 1);
    p->grouping = integer.contains(u',');
    p->minIntegerDigits = int(integer.count(u'0'));
    p->minDecimals = int(decimals.count(u'0'));
    p->maxDecimals = p->minDecimals + int(decimals.count(u'#'));
    return true;
}

QString shortestText(double magnitude)
{
    return QString::number(magnitude, 'f', QLocale::FloatingPointShortest);
}

// Rounds the decimal digits "integer.fraction" to `decimals` places, half
// away from zero, in place.
void roundDigits(QString &integer, QString &fraction, int decimals)
{
    if (fraction.size() <= decimals)
        return;
    const bool up = fraction[decimals] >= u'5';
    fraction.truncate(decimals);
    if (!up)
        return;
    QString all = integer + fraction;
    qsizetype i = all.size() - 1;
    for (; i >= 0; --i) {
        if (all[i] == u'9') {
            all[i] = u'0';
        } else {
            all[i] = QChar(all[i].unicode() + 1);
            break;
        }
    }
    if (i < 0)
        all.prepend(u'1');
    integer = all.left(all.size() - decimals);
    fraction = all.right(decimals);
}

QString groupThousands(const QString &digits)
{
    QString out;
    out.reserve(digits.size() + digits.size() / 3);
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out.append(u'.');
        out.append(digits[i]);
    }
    return out;
}

bool allDigits(QStringView s)
{
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// "1.234.567": a first group of one to three digits (not a lone leading zero)
// and then groups of exactly three.
bool validGrouping(QStringView s)
{
    const QList<QStringView> groups = s.split(u'.');
    for (qsizetype i = 0; i < groups.size(); ++i) {
        const QStringView g = groups[i];
        if (!allDigits(g))
            return false;
        if (i == 0 ? (g.isEmpty() || g.size() > 3 || g[0] == u'0') : g.size() != 3)
            return false;
    }
    return true;
}

} // namespace

QString formatNumber(double value, QStringView format)
{
    if (!std::isfinite(value))
        return {};
    NumberPattern p;
    if (format.isEmpty() || !parsePattern(format, &p)) {
        if (value == 0)
            return QStringLiteral("0");
        QString text = shortestText(value);
        text.replace(u'.', u',');
        return format.isEmpty() ? text : format.toString() + text;
    }
    const QString digits = shortestText(std::fabs(value));
    const qsizetype dot = digits.indexOf(u'.');
    QString integer = dot < 0 ? digits : digits.left(dot);
    QString fraction = dot < 0 ? QString() : digits.mid(dot + 1);
    roundDigits(integer, fraction, p.maxDecimals);
    while (fraction.size() > p.minDecimals && fraction.endsWith(u'0'))
        fraction.chop(1);
    while (fraction.size() < p.minDecimals)
        fraction.append(u'0');
    while (!integer.isEmpty() && integer[0] == u'0')
        integer.remove(0, 1);
    while (integer.size() < p.minIntegerDigits)
        integer.prepend(u'0');
    bool zero = true;
    for (QChar c : integer + fraction)
        zero = zero && c == u'0';
    QString out;
    if (value < 0 && !zero)
        out.append(u'-');
    out.append(p.prefix);
    out.append(p.grouping ? groupThousands(integer) : integer);
    if (!fraction.isEmpty()) {
        out.append(u',');
        out.append(fraction);
    }
    out.append(p.suffix);
    return out;
}

bool parseNumber(QStringView text, double *value)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return false;
    const qsizetype commas = text.count(u',');
    const qsizetype dots = text.count(u'.');
    QStringView integer, fraction;
    if (commas > 1)
        return false;
    if (commas == 1) {
        const qsizetype comma = text.indexOf(u',');
        if (text.lastIndexOf(u'.') > comma)
            return false; // "1,234.56" is another country's number
        integer = text.left(comma);
        fraction = text.mid(comma + 1);
        if (dots > 0 && !validGrouping(integer))
            return false;
    } else if (dots == 1) {
        const qsizetype dot = text.indexOf(u'.');
        integer = text.left(dot);
        fraction = text.mid(dot + 1);
        if (fraction.size() == 3 && validGrouping(integer))
            return false; // "1.234": a thousand, or one and a bit?
    } else if (dots > 1) {
        if (!validGrouping(text))
            return false;
        integer = text;
    } else {
        integer = text;
    }
    QString plain = integer.toString().remove(u'.');
    if (!allDigits(plain) || !allDigits(fraction) || (plain.isEmpty() && fraction.isEmpty()))
        return false;
    if (plain.isEmpty())
        plain = QStringLiteral("0");
    if (!fraction.isEmpty())
        plain += u'.' + fraction.toString();
    bool ok = false;
    const double parsed = plain.toDouble(&ok);
    if (!ok)
        return false;
    *value = negative ? -parsed : parsed;
    return true;
}

QString formatDateTime(const QDateTime &value, QStringView format)
{
    if (!value.isValid())
        return {};
    if (!format.isEmpty())
        return value.toString(format.toString());
    const QTime t = value.time();
    if (t.hour() == 0 && t.minute() == 0 && t.second() == 0)
        return value.toString(QStringLiteral("dd/MM/yyyy"));
    return value.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QString formatDateTimeMs(qint64 ms)
{
    QString out;
    appendDateTimeMs(out, ms);
    return out;
}

void appendDateTimeMs(QString &out, qint64 ms)
{
    constexpr qint64 dayMs = 86400000;
    qint64 days = ms / dayMs;
    qint64 inDay = ms % dayMs;
    if (inDay < 0) {
        inDay += dayMs;
        --days;
    }
    // Civil date from days since 1970-01-01 (proleptic Gregorian calendar).
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    const int day = int(doy - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const qint64 year = yoe + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1000 || year > 9999) {
        out += formatDateTime(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
        return;
    }
    const int seconds = int(inDay / 1000);
    char16_t text[19];
    auto two = [&](int at, int n) {
        text[at] = char16_t(u'0' + n / 10);
        text[at + 1] = char16_t(u'0' + n % 10);
    };
    two(0, day);
    text[2] = u'/';
    two(3, month);
    text[5] = u'/';
    two(6, int(year / 100));
    two(8, int(year % 100));
    text[10] = u' ';
    two(11, seconds / 3600);
    text[13] = u':';
    two(14, seconds / 60 % 60);
    text[16] = u':';
    two(17, seconds % 60);
    out.append(QStringView(text, seconds != 0 ? 19 : 10));
}

bool parseDateTime(QStringView text, QDateTime *value)
{
    text = text.trimmed();
    const qsizetype blank = text.indexOf(u' ');
    const QStringView datePart = blank < 0 ? text : text.left(blank);
    const QStringView timePart = blank < 0 ? QStringView() : text.mid(blank + 1).trimmed();
    const QList<QStringView> d = datePart.split(u'/');
    if (d.size() != 3 || d[0].isEmpty() || d[0].size() > 2 || d[1].isEmpty() || d[1].size() > 2 ||
        d[2].size() != 4 || !allDigits(d[0]) || !allDigits(d[1]) || !allDigits(d[2]))
        return false;
    const QDate date(d[2].toInt(), d[1].toInt(), d[0].toInt());
    if (!date.isValid())
        return false;
    QTime time(0, 0);
    if (!timePart.isEmpty()) {
        const QList<QStringView> t = timePart.split(u':');
        if (t.size() < 2 || t.size() > 3)
            return false;
        for (const QStringView part : t) {
            if (part.isEmpty() || part.size() > 2 || !allDigits(part))
                return false;
        }
        time = QTime(t[0].toInt(), t[1].toInt(), t.size() == 3 ? t[2].toInt() : 0);
        if (!time.isValid())
            return false;
    }
    *value = wallClock(date, time);
    return true;
}

bool parseBoolean(QStringView text, bool *value)
{
    text = text.trimmed();
    static const char16_t *const yes[] = {u"S", u"Sim", u"true", u"1"};
    static const char16_t *const no[] = {u"N", u"Não", u"false", u"0"};
    for (const char16_t *y : yes) {
        if (text.compare(QStringView(y), Qt::CaseInsensitive) == 0) {
            *value = true;
            return true;
        }
    }
    for (const char16_t *n : no) {
        if (text.compare(QStringView(n), Qt::CaseInsensitive) == 0) {
            *value = false;
            return true;
        }
    }
    return false;
}

QString formatBoolean(bool value)
{
    return value ? QStringLiteral("Sim") : QStringLiteral("Não");
}

} // namespace prx

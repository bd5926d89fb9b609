#include "net/Wire.h"

// Date-times cross the wire as text of the wall clock. Formatting and parsing
// by hand keeps a 100,000-row packet from building a QDateTime per cell, and
// keeps the parser strict: one layout, nothing shifted, nothing guessed.

namespace prx::wire {

namespace {

constexpr qint64 MsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date; the 400-year cycle
// makes it exact for negative years too.
qint64 daysFromCivil(qint64 y, int m, int d)
{
    y -= m <= 2 ? 1 : 0;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(qint64 z, qint64 *y, int *m, int *d)
{
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 doe = z - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    *d = int(doy - (153 * mp + 2) / 5 + 1);
    *m = int(mp < 10 ? mp + 3 : mp - 9);
    *y = yoe + era * 400 + (*m <= 2 ? 1 : 0);
}

bool isLeap(qint64 y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(qint64 y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

char *putDigits(char *out, qint64 value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = char('0' + value % 10);
        value /= 10;
    }
    return out + width;
}

// Reads exactly `width` digits at text[*pos].
bool takeDigits(QByteArrayView text, qsizetype *pos, int width, int *value)
{
    if (*pos + width > text.size())
        return false;
    int v = 0;
    for (int i = 0; i < width; ++i) {
        const char c = text[*pos + i];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    *pos += width;
    *value = v;
    return true;
}

bool takeChar(QByteArrayView text, qsizetype *pos, char expected)
{
    if (*pos >= text.size() || text[*pos] != expected)
        return false;
    ++*pos;
    return true;
}

} // namespace

QByteArray formatDateTime(qint64 msecs)
{
    qint64 days = msecs / MsPerDay;
    qint64 rest = msecs % MsPerDay;
    if (rest < 0) {
        rest += MsPerDay;
        --days;
    }
    qint64 year;
    int month, day;
    civilFromDays(days, &year, &month, &day);

    char buf[40];
    char *p = buf;
    if (year < 0) {
        *p++ = '-';
        year = -year;
    }
    int yearWidth = 4;
    for (qint64 y = year / 10000; y > 0; y /= 10)
        ++yearWidth;
    p = putDigits(p, year, yearWidth);
    *p++ = '-';
    p = putDigits(p, month, 2);
    *p++ = '-';
    p = putDigits(p, day, 2);
    *p++ = 'T';
    p = putDigits(p, rest / 3600000, 2);
    *p++ = ':';
    p = putDigits(p, rest / 60000 % 60, 2);
    *p++ = ':';
    p = putDigits(p, rest / 1000 % 60, 2);
    if (rest % 1000 != 0) {
        *p++ = '.';
        p = putDigits(p, rest % 1000, 3);
    }
    *p++ = 'Z';
    return QByteArray(buf, p - buf);
}

bool parseDateTime(QByteArrayView text, qint64 *msecs)
{
    qsizetype pos = 0;
    const bool negative = takeChar(text, &pos, '-');
    // Four to nine year digits: every millisecond count a qint64 holds fits.
    qint64 year = 0;
    int yearDigits = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && yearDigits < 10) {
        year = year * 10 + (text[pos] - '0');
        ++pos;
        ++yearDigits;
    }
    if (yearDigits < 4 || yearDigits > 9 || (yearDigits > 4 && text[negative ? 1 : 0] == '0'))
        return false;
    if (negative)
        year = -year;

    int month, day, hour, minute, second, millis = 0;
    if (!takeChar(text, &pos, '-') || !takeDigits(text, &pos, 2, &month) ||
        !takeChar(text, &pos, '-') || !takeDigits(text, &pos, 2, &day) ||
        !takeChar(text, &pos, 'T') || !takeDigits(text, &pos, 2, &hour) ||
        !takeChar(text, &pos, ':') || !takeDigits(text, &pos, 2, &minute) ||
        !takeChar(text, &pos, ':') || !takeDigits(text, &pos, 2, &second))
        return false;
    if (takeChar(text, &pos, '.') && !takeDigits(text, &pos, 3, &millis))
        return false;
    if (!takeChar(text, &pos, 'Z') || pos != text.size())
        return false;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
        minute > 59 || second > 59)
        return false;

    const qint64 days = daysFromCivil(year, month, day);
    const qint64 inDay = ((hour * 60 + minute) * 60 + second) * 1000 + millis;
    qint64 result;
    if (__builtin_mul_overflow(days, MsPerDay, &result) ||
        __builtin_add_overflow(result, inDay, &result))
        return false;
    *msecs = result;
    return true;
}

} // namespace prx::wire

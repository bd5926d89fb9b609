#pragma once

#include <QDateTime>
#include <QString>

// Brazilian number and date texts, shared by the fields and the grids.
//
// Number formats are patterns of '0' (a digit always shown), '#' (a digit
// shown when needed), ',' (thousands grouping wanted) and '.' (the decimal
// point); any other character is copied as is. The text uses '.' to group
// thousands and ',' for decimals: "#,##0.00" shows 1234.56 as "1.234,56".
namespace prx {

// Rounds half away from zero on the shortest decimal form of the value, so
// that 2.675 shows "2,68" as the user typed it, not "2,67" from its binary
// neighbour. An empty format gives the shortest text that reads back the same.
QString formatNumber(double value, QStringView format = {});

// Accepts "1.234,56", "1234,56", "-0,5", and "1234.56" with a decimal point
// when it cannot be a thousands separator. "1.234" is refused: it could be
// either, and guessing would store a price a thousand times off.
bool parseNumber(QStringView text, double *value);

// dd/MM/yyyy, followed by " HH:mm:ss" only when the time is not midnight. A
// non-empty format is a date-time pattern of QDateTime::toString.
QString formatDateTime(const QDateTime &value, QStringView format = {});
// The same default text from milliseconds of the wall clock, without building
// a QDateTime: the filter index renders a million of them.
QString formatDateTimeMs(qint64 ms);
void appendDateTimeMs(QString &out, qint64 ms);

// dd/MM/yyyy (day and month may have one digit), optionally followed by HH:mm
// or HH:mm:ss. The result is a wall-clock value.
bool parseDateTime(QStringView text, QDateTime *value);

// "S"/"N", "Sim"/"Não", "true"/"false", "1"/"0", any letter case.
bool parseBoolean(QStringView text, bool *value);
QString formatBoolean(bool value);

} // namespace prx

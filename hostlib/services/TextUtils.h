#pragma once

#include <QString>

namespace prx {

// A typed code brought to its width: a text of digits only is left-padded with
// zeros ("1" -> "0001"); any other text (empty, "T", letters) is only trimmed.
QString Ajusta(const QString &text, int width);

// True when the text is empty or holds only blanks.
bool EmptyString(const QString &text);

// Decimal rounding and cutting. Both work on the value's shortest decimal
// text, so 0.29 stays 0.29 and 12.349 cuts to 12.34 although the binary
// doubles sit slightly below them.
double RoundDec(double value, int decimals);
double Trunc2(double value);
double TruncDec(double value, int decimals);

} // namespace prx

#pragma once

#include "money/Decimal.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace prx::sheet {

// A number cell as spreadsheets write it. The comma is the decimal mark
// ("1234,56", "1.234,56"); without a comma, dots in thousands groups are
// thousands separators ("1.234" is 1234) and a single other dot is a decimal
// point ("1234.56", "0.5"), the form spreadsheets write with "," as the field
// separator. A leading "R$", blanks and non-breaking blanks are ignored.
// Empty text gives an empty optional with *ok true; text that is not a
// number gives *ok false.
std::optional<Decimal> parseNumber(QStringView text, bool *ok);

// "1.234,56": thousands dots, decimal comma, at least `minDecimals` places
// and as many more (up to six) as the value holds, so nothing is lost on the
// way out and back.
QString formatNumber(Decimal value, int minDecimals = 2);

} // namespace prx::sheet

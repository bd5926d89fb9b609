#pragma once

#include "money/Decimal.h"
#include "sheet/CsvText.h"

#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace prx::sheet {

// The prices of an item the sheet can change, in this order.
enum ItemPrice
{
    Consumer,
    Client,
    Delivery,
    OrderPad,
    Suggested,
    Calculated,
    PriceCount
};

// The field of each price ("VRPRECITEM", …).
QString priceField(int price);

// A product's own price row in the period as stored, or as a sheet row would
// leave it. Flags "S"/"N", hours four digits; empty where nothing is stored.
struct ItemPrices
{
    std::array<std::optional<Decimal>, PriceCount> prices;
    QString variable;  // IDPRECVARIA
    QString promotion; // IDPRODPROMOC
    QString startHour; // HRINIVENPROD
    QString endHour;   // HRFIMVENPROD

    // Same prices, where an empty consumer or client price counts as 0 and
    // an empty flag as "N", as the grid saves them.
    bool sameAs(const ItemPrices &other) const;
};

// A product of the period: its name and, when it has a price row, the row.
struct PeriodItem
{
    QString name;
    bool priced = false;
    ItemPrices stored;
};

enum class LineOutcome
{
    New,
    Changed,
    Refused
};

struct ImportLine
{
    int line = 0; // the file's line
    QString product;
    QString name;
    LineOutcome outcome = LineOutcome::Refused;
    QString detail; // what changes, or why the row is refused
    ItemPrices result;
};

struct ImportPlan
{
    QString fileError; // the file cannot be read at all: nothing else is filled
    QList<ImportLine> lines;
    int unchanged = 0;

    int count(LineOutcome outcome) const;
};

// Checks every row of the sheet (header first) against the period's
// products, keyed by product code, with the grid's rules: the four typed
// prices never negative, no price at or past prx::kPriceLimit, no price with
// more than two decimals (refused, never cut: the file says one price and the
// table would hold another; a value equal to the stored one passes), both
// sale hours or none, each a valid hour of the day, flags "Sim"/"Não".
// Columns the sheet lacks leave the stored values; an empty cell clears a
// price that may be empty and counts as 0 for the consumer and client
// prices. Rows that change nothing are only counted.
ImportPlan planImport(const SheetRows &rows, const QList<int> &lines,
                      const QHash<QString, PeriodItem> &items);

// The same from CSV text.
ImportPlan planImportText(const QString &csvText, const QHash<QString, PeriodItem> &items);

// "17:30", "7:30", "17:30:00" or "1730" as stored ("1730"); empty when the
// text is not an hour of the day.
QString parseHour(const QString &text);

} // namespace prx::sheet

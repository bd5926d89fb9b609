#pragma once

#include "dataset/ColumnTable.h"
#include "sheet/Sheet.h"

namespace prx::sheet {

// The columns of the item sheet, in the order written. The import reads the
// same titles back (in any order; "Código" is the key, the names and codes
// around it are only for the reader).
const QList<SheetColumn> &itemColumns();

// The columns of the differentiated prices' sheet, in the order written;
// read back by their titles in any order.
const QList<SheetColumn> &dayPriceColumns();

// The period's items (the item grid's packet) as a sheet; with dayPrices,
// a second sheet of the differentiated prices.
QList<Sheet> periodSheets(const ColumnTable &items, const ColumnTable *dayPrices = nullptr);

} // namespace prx::sheet

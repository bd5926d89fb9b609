#pragma once

#include "dataset/ColumnTable.h"
#include "sheet/Sheet.h"

#include <QDateTime>
#include <QVariant>

#include <functional>

namespace prx::sheet {

// A period as the server's item methods name it.
struct PeriodKey
{
    QString branch;
    QString table;
    QDateTime start;
    QString segment; // the branch's market segment
    QString levels;  // levels of the product tree ("3")
};

// Calls a method of the price table object and returns its payload; a
// refused call throws (the caller's own way of reporting it).
using ServerCall = std::function<QVariant(const QString &method, const QVariantList &args)>;

// The period's items (and, with dayPrices, its differentiated prices) read
// from the server as sheets.
QList<Sheet> readPeriodSheets(const ServerCall &call, const PeriodKey &period, bool dayPrices);

// What the server made of a sheet to import: the rows that change something
// or are refused (NRLINHA, CDPRODUTO, NMPRODUTO, IDSITUACAO "N" new, "A"
// changed, "R" refused, DSDETALHE) and how many rows change nothing.
struct ImportAnswer
{
    DataPacketPtr lines;
    int unchanged = 0;

    int count(QStringView outcome) const;
};

// Sends the CSV text to the server; with `apply` the accepted rows are
// written, else nothing is.
ImportAnswer sendImport(const ServerCall &call, const PeriodKey &period, const QString &csvText,
                        bool apply);

// "3 preços novos, 2 alterados, 1 linha recusada, 40 sem alteração."
QString importSummary(const ImportAnswer &answer);

} // namespace prx::sheet

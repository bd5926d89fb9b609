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

// "3 preços novos, 2 alterados, 1 linha recusada, 40 sem alteração."; when
// nothing changes, "Nenhuma alteração: 40 linhas iguais às da vigência."
QString importSummary(const ImportAnswer &answer);

// What the server made of a sheet of differentiated prices: the first rows
// that change something or are refused (as ImportAnswer's lines) and the
// counts of the whole sheet.
struct DayPriceAnswer
{
    DataPacketPtr lines;
    int unchanged = 0, added = 0, changed = 0, refused = 0;

    QString summary() const;
};

DayPriceAnswer sendDayPriceImport(const ServerCall &call, const PeriodKey &period,
                                  const QString &csvText, bool apply);

// A file's items and differentiated prices checked, and with `apply`
// written, in one call: the differentiated prices against the item prices
// the items sheet gives; written all or nothing (a refused row of either
// sheet writes nothing).
struct PeriodImportAnswer
{
    ImportAnswer items;
    DayPriceAnswer dayPrices;

    int refused() const { return items.count(u"R") + dayPrices.refused; }
};

PeriodImportAnswer sendPeriodImport(const ServerCall &call, const PeriodKey &period,
                                    const QString &itemsCsv, const QString &dayPricesCsv,
                                    bool apply);

// The text to import from a file: a CSV file as it is, an XLSX workbook's
// sheet as CSV text (the file's content decides, not its name). `sheetName`
// picks a sheet of a workbook; empty: the first sheet, or with dayPrices the
// differentiated prices' sheet ("Preços diferenciados", else the second).
// With dayPrices a CSV file of the items ("itens.csv") stands for the file
// the export wrote beside it ("itens-precos-diferenciados.csv"). False with
// the reason in *error.
bool readImportText(const QString &path, const QString &sheetName, bool dayPrices, QString *text,
                    QString *error);

// Whether a file holds differentiated prices to import beside its items:
// a workbook with a second sheet, or a CSV file with its sibling file.
bool hasDayPriceSheet(const QString &path);

} // namespace prx::sheet

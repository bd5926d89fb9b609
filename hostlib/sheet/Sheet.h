#pragma once

#include <QList>
#include <QString>
#include <QVariant>

namespace prx::sheet {

// How a column's values are written: money with two places ("#,##0.00"),
// numbers with three, stored hours ("1730") as "17:30", "S"/"N" flags as
// "Sim"/"Não", date-times as dates; text as it is. A number is written as the
// exact decimal of the stored double (8.890000000000001 is 8,89), never as
// the double's binary expansion, and with every place it holds, so a value
// with more places than its column shows comes back as it was stored.
enum class CellKind
{
    Text,
    Money,
    Number3,
    Hour,
    Flag,
    Date
};

struct SheetColumn
{
    QString title;
    QString field; // the packet's field the values come from
    CellKind kind = CellKind::Text;
    double width = 12; // characters
};

// One worksheet: a header row of titles, then rows of values in column
// order (a null value is an empty cell; numbers as doubles).
struct Sheet
{
    QString name;
    QList<SheetColumn> columns;
    QList<QVariantList> rows;
};

// The text a CSV cell shows for the value ("1.234,56", "17:30", "Sim").
QString cellText(CellKind kind, const QVariant &value);

// The sheets as CSV files: the first at `path`, each further one beside it
// with its name added ("itens.csv", "itens-Preços diferenciados.csv").
// False with the reason when a file cannot be written.
bool writeCsvFiles(const QString &path, const QList<Sheet> &sheets, QString *error);

// The sheets as one XLSX workbook: typed numeric cells, a bold frozen
// header row and the column widths.
bool writeXlsx(const QString &path, const QList<Sheet> &sheets, QString *error);

// XLSX when the name ends in ".xlsx", CSV otherwise.
bool writeSheets(const QString &path, const QList<Sheet> &sheets, QString *error);

} // namespace prx::sheet

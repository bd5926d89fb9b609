#pragma once

#include "sheet/CsvText.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace prx::sheet {

// How much a workbook may make us read: a zip of a few kilobytes can unpack
// to gigabytes of XML, so what is unpacked is counted as it is read and the
// reading stops at the limit, whatever sizes the archive declares.
struct XlsxLimits
{
    qint64 maxUnpackedBytes = qint64(1) << 30; // all parts read together
    int maxRows = 1048576;                     // the last row a workbook has
    int maxColumns = 16384;                    // column "XFD"
    // Cells of the sheet, empty ones before a cell included: a row may name
    // its last column only and stand for thousands of cells.
    qint64 maxCells = qint64(32) << 20;
};

// One row of a worksheet as the CSV reader gives it: the row's number in the
// sheet and its cells' texts from column A on (cells left out are empty).
// Returning false stops the reading (not an error).
using XlsxRowSink = std::function<bool(int row, QStringList &cells)>;

// Reads the worksheet named `sheetName` (the first sheet when empty; names
// compared without regard to case) of an XLSX workbook and hands its rows,
// in order, to `sink`. Rows without any text are skipped. Cells become the
// text a CSV of the sheet would hold: shared and inline strings as they are,
// numbers as their exact decimal with a comma ("1234,5"), booleans
// "VERDADEIRO"/"FALSO", date cells (serial numbers in a date format, either
// date system) "dd/MM/yyyy", times "HH:mm", both "dd/MM/yyyy HH:mm:ss",
// error cells as their text ("#N/D"). False with the reason in *error, in
// the user's words ("O arquivo não é uma pasta de trabalho XLSX válida: ..."),
// when the file is no workbook, the sheet does not exist or a limit is passed.
bool readXlsx(const QByteArray &bytes, const QString &sheetName, const XlsxRowSink &sink,
              QString *error, const XlsxLimits &limits = {});

// The same, gathered: rows and, in `lines`, each row's number.
bool readXlsxRows(const QByteArray &bytes, const QString &sheetName, SheetRows *rows,
                  QList<int> *lines, QString *error, const XlsxLimits &limits = {});

// The worksheets' names in the workbook's order; empty with *error set when
// the file is no workbook.
QStringList xlsxSheetNames(const QByteArray &bytes, QString *error);

// Whether the bytes start as a zip archive does: what tells a workbook from
// a CSV file whatever its name.
bool looksLikeZip(const QByteArray &bytes);

// The sheet as CSV text the CSV reader takes, one line per row of the sheet
// (blank lines where the sheet has none), so the CSV reader reports the
// sheet's own row numbers; line breaks inside a cell become blanks for the
// same reason. Rows stream into the text: nothing else is kept.
bool readXlsxAsCsv(const QByteArray &bytes, const QString &sheetName, QString *csv, QString *error,
                   const XlsxLimits &limits = {});

} // namespace prx::sheet

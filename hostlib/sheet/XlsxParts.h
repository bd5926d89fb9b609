#pragma once

#include "sheet/Sheet.h"

#include <QByteArray>
#include <QStringList>

class QIODevice;

// The XML parts of an XLSX workbook: a workbook of worksheets with one style
// sheet, text cells as inline strings and numbers as their exact decimal
// text. XlsxWriter.cpp puts them in the zip.
namespace prx::sheet::xlsx {

// "A", "Z", "AA" for the zero-based column.
QString columnName(int column);

// The sheets' names as a workbook accepts them: without []:*?/\ and control
// characters, at most 31 characters, never empty and each one different
// (names are compared without regard to case).
QStringList sheetNames(const QList<Sheet> &sheets);

// A money or number cell's value text: the stored double's exact decimal
// ("8.89" for 8.890000000000001, "9.876", "1234.5"), never the double's
// binary expansion.
QString numberText(const QVariant &value);

// Text for a cell's <t>: characters XML cannot carry (control characters
// other than tab and line feed, a carriage return a reader would fold away)
// as "_xHHHH_", and a literal "_xHHHH_" kept literal.
QString cellString(const QString &text);

QByteArray contentTypes(int sheetCount);
QByteArray packageRelationships();
QByteArray workbook(const QStringList &names);
QByteArray workbookRelationships(int sheetCount);
QByteArray styles();

// The worksheet: the bold header row frozen above the rows, the column
// widths and formats, the cells. The first sheet is the one the workbook
// opens on. False when the device fails.
bool writeWorksheet(QIODevice *out, const Sheet &sheet, bool first);

// Where the parts live in the package.
inline QString worksheetPath(int index)
{
    return QStringLiteral("xl/worksheets/sheet%1.xml").arg(index + 1);
}

} // namespace prx::sheet::xlsx

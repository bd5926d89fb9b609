#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace prx::sheet {

using SheetRows = QList<QStringList>;

// The text of a CSV file as spreadsheets save it: UTF-8 with or without a
// byte order mark; bytes that are not valid UTF-8 are read as Windows-1252,
// what a spreadsheet saves on an older desktop.
QString decodeCsv(const QByteArray &bytes);

// Rows of CSV text: CRLF or LF, quoted fields with doubled quotes and line
// breaks inside. The separator is ";" or ",", the
// one the first line uses; a first line holding both, or neither while it
// has more than one field expected, is refused. Blank lines are skipped.
// False with the reason in *error when the text cannot be read.
// `lines` (optional) gets the line of the file each row starts on.
bool readCsv(const QString &text, SheetRows *rows, QString *error, QList<int> *lines = nullptr);

// The same, row by row: each row goes to `sink` with its line (the sink may
// take the row's cells); nothing else is kept, so a file of a million rows
// costs one row. A sink returning false stops the reading (not an error).
// A file that turns out unreadable is reported after the rows before the
// fault were handed on.
using CsvRowSink = std::function<bool(int line, QStringList &row)>;
bool readCsvRows(const QString &text, const CsvRowSink &sink, QString *error);

// UTF-8 with a byte order mark, ";" separators, CRLF line ends; fields that
// hold a separator, a quote or a line break are quoted.
QByteArray writeCsv(const SheetRows &rows);

} // namespace prx::sheet

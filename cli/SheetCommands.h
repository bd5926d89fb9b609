#pragma once

#include <QStringList>

namespace prx::cli {

// The usage lines of the two commands.
QString sheetUsage();

// prx-cli export-period: the period's items (and differentiated prices) to
// a CSV or XLSX file, read from the server.
int runExportPeriod(const QStringList &args);

// prx-cli import-period: checks a CSV file against the period on the server
// and prints what would change; with --apply the accepted rows are written.
int runImportPeriod(const QStringList &args);

} // namespace prx::cli

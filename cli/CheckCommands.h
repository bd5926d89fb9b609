#pragma once

#include <QStringList>

namespace prx::cli {

// prx-cli check --db FILE|URL
// Opens the database directly (no server) and runs the consistency check:
// one line per stored row that breaks a rule the server enforces, then the
// count per rule. Exit status 0 when nothing is found, 1 when something is
// (or the database cannot be read), 2 on a bad command line.
int runCheck(const QStringList &args);

// The usage lines of the command, for prx-cli's help.
QString checkUsage();

} // namespace prx::cli

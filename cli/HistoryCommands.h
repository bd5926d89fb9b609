#pragma once

#include <QStringList>

namespace prx::cli {

// prx-cli history [--server HOST:PORT] [--user NAME] [--period dd/mm/yyyy]
//                 [--key-file FILE] [--tls] [--ca-file FILE] BRANCH TABLE PRODUCT
// Prints the recorded changes of a product's prices in a table, newest first,
// one line each. Exit status as for "call": 0, 1 on a server error, 2 on a
// bad command line.
int runHistory(const QStringList &args);

// The usage lines of the command, for prx-cli's help.
QString historyUsage();

} // namespace prx::cli

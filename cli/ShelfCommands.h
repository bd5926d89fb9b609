#pragma once

#include <QStringList>

namespace prx::cli {

// prx-cli changes [--server HOST:PORT] [--table TABLE] [--json] BRANCH FROM TO
// prx-cli changes [--server HOST:PORT] [--table TABLE] [--json] [--now MOMENT]
//                 BRANCH --next-period
// The products whose price in force (general modality, every consumer type)
// differs between two moments, or between now and the start of the table's
// next approved period: the shelf labels to change. Exit status 0, 1 on a
// server error, 2 on a bad command line.
int runChanges(const QStringList &args);

// The usage lines of the command, for prx-cli's help.
QString changesUsage();

} // namespace prx::cli

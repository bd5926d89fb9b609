#pragma once

#include <QString>

#include <cstdio>

namespace prx::cli {

// One line of UTF-8 text to stdout or stderr.
void printLine(std::FILE *to, const QString &text);

// A command line the command cannot take: the problem and the command's
// usage on stderr; the exit status 2.
int usageError(const QString &problem, const QString &usage);

} // namespace prx::cli

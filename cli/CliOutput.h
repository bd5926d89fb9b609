#pragma once

#include <QDateTime>
#include <QString>

#include <cstdio>

namespace prx::cli {

// One line of UTF-8 text to stdout or stderr.
void printLine(std::FILE *to, const QString &text);

// A command line the command cannot take: the problem and the command's
// usage on stderr; the exit status 2.
int usageError(const QString &problem, const QString &usage);

// A moment as the commands take it: 2026-12-07T19:00, "07/12/2026 19:00",
// with or without seconds, or a date alone (00:00); invalid otherwise.
QDateTime parseMoment(const QString &text);

} // namespace prx::cli

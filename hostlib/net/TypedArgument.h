#pragma once

#include <QString>
#include <QVariant>

namespace prx {

// A call argument typed on a command line: text as typed, or with a prefix
// d:2026-12-07 (date), t:2026-12-07T10:30[:ss] (date-time), n:1.5 (double),
// i:3 (integer), b:true|false (boolean), or the word null. Dates become
// wall-clock date-times at midnight. A prefix with a value that does not parse
// is an error, never silently text.
bool parseTypedArgument(const QString &text, QVariant *value, QString *error);

} // namespace prx

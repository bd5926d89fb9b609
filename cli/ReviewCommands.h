#pragma once

#include <QStringList>

namespace prx::cli {

// prx-cli review: what a period changes against the approved period that
// sells until it starts; the summary first, then one line per product.
int runReview(const QStringList &args);

// Its usage lines, for the program's help.
QString reviewUsage();

} // namespace prx::cli

#pragma once

#include <QStringList>

namespace prx::cli {

// prx-cli price: what a product costs at a moment (or every product of the
// period with T), with the rule that decided.
int runPrice(const QStringList &args);

// prx-cli holiday list|add|remove: a branch's holiday calendar ("T":
// the national one).
int runHoliday(const QStringList &args);

// Usage lines of both commands, for the program's help.
QString priceUsage();

} // namespace prx::cli

#pragma once

#include <QString>

namespace prx {

// A product's tree code as a person reads it: through the host's product
// mask (DBPict(0)), the way the grids show it, "01010160" as "01.01.0160".
// An empty code stays empty; without a mask the code shows as stored.
QString productCodeText(const QString &treeCode);

} // namespace prx

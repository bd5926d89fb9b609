#include "ProductCode.h"

#include "EditMask.h"
#include "HostState.h"

namespace prx {

QString productCodeText(const QString &treeCode)
{
    const QString code = treeCode.trimmed();
    const EditMask mask(DBPict(0));
    return mask.isEmpty() || code.isEmpty() ? code : mask.format(code);
}

} // namespace prx

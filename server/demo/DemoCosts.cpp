#include "demo/DemoCosts.h"

#include "storage/Storage.h"

namespace prx::server {

void completeFirstBranchCosts(const Storage &storage)
{
    // 100 %: the percentage of a product whose cost is half its price.
    storage.execDirect(QStringLiteral(
        "INSERT INTO PERCCUSTO (CDFILIAL, CDPRODUTO, VRPERCCUSTO) "
        "SELECT '0001', P.CDPRODUTO, 100 FROM PRODUTO P WHERE NOT EXISTS "
        "(SELECT 1 FROM PERCCUSTO C WHERE C.CDFILIAL = '0001' AND C.CDPRODUTO = P.CDPRODUTO)"));
}

} // namespace prx::server

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

void completeOtherBranchTaxRates(const Storage &storage, const QString &firstBranch,
                                 const QString &lastCosted)
{
    // The rates of the generator's taxRate(): beers 25 %, other drinks 18 %,
    // groceries 12 %, the rest 7 %, read from the tree code's first levels.
    QSqlQuery q = storage.prepare(QStringLiteral(
        "INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) SELECT F.CDFILIAL, P.CDPRODUTO, "
        "CASE WHEN SUBSTR(P.CDARVPROD, 1, 4) = '0104' THEN 25 WHEN SUBSTR(P.CDARVPROD, 1, 2) = "
        "'01' THEN 18 WHEN SUBSTR(P.CDARVPROD, 1, 2) = '05' THEN 12 ELSE 7 END FROM FILIAL F "
        "CROSS JOIN PRODUTO P WHERE F.CDFILIAL <> :first AND P.CDPRODUTO > :last"));
    q.bindValue(QStringLiteral(":first"), firstBranch);
    q.bindValue(QStringLiteral(":last"), lastCosted);
    storage.exec(q, QStringLiteral("gerar as alíquotas de demonstração"));
}

} // namespace prx::server

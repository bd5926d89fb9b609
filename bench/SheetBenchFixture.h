#pragma once

// The period the spreadsheet benchmarks export and import: one branch, one
// segment, one period, every product priced; optionally every 16th product
// with two differentiated prices.
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include <QStringList>

namespace prx::bench {

inline const QString kSheetPeriodStart = QStringLiteral("2026-01-01 00:00:00");

inline void buildSheetFixture(server::Storage &db, int items, bool dayPrices)
{
    db.createSchema();
    server::Transaction tx(db);
    QStringList setup = {
        "INSERT INTO PARAMARVPROD VALUES (1, 2, 'Grupo'), (2, 2, 'Subgrupo'), (3, 8, 'Produto')",
        "INSERT INTO SEGMER VALUES ('00001', 'Todos')",
        "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, CDSEGMER) VALUES ('0001', 'Filial 1', '00001')",
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
            QString::number(items) +
            ") INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD) "
            "SELECT printf('%010d', i), 'Produto ' || i, printf('0101%08d', i) FROM n",
        "INSERT INTO PRODSEGMER SELECT '00001', CDPRODUTO FROM PRODUTO",
        "INSERT INTO TABEPREC VALUES ('0001', '001', 'Balcão')",
        "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) "
        "VALUES ('0001', '001', '" +
            kSheetPeriodStart + "', '2026-12-31 00:00:00', '2')",
        "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
        "VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCL, IDPRECVARIA, IDPRODPROMOC, IDIMPPRODROT) "
        "SELECT '0001', '001', '" +
            kSheetPeriodStart +
            "', CDPRODUTO, CDPRODUTO, "
            "1 + CAST(CDPRODUTO AS INTEGER) % 97 + 0.9, 2 + CAST(CDPRODUTO AS INTEGER) % 89, 0, "
            "'N', 'N', 'N' FROM PRODUTO",
    };
    if (dayPrices) {
        setup << QStringLiteral(
            "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
            "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
            "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, PRECO, IDTPMODGERAL) "
            "SELECT I.CDFILIAL, I.CDTABEPREC, I.DTINIVGPREC, I.CDPRODUTO, I.CDPRODUTO, 'T', D.D, "
            "'1700', '1900', I.DTINIVGPREC, '2026-12-31 00:00:00', 'P', 'D', 10, "
            "I.VRPRECITEM * 0.9, 'S' FROM ITEMPRECO I, (SELECT '2' D UNION ALL SELECT '6') D "
            "WHERE CAST(I.CDPRODUTO AS INTEGER) % 16 = 0");
    }
    for (const QString &sql : setup)
        db.execDirect(sql);
    tx.commit();
    db.execDirect(QStringLiteral("ANALYZE"));
}

} // namespace prx::bench

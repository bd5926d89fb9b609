#pragma once

#include <QString>

// The differentiated prices the benchmarks fill a large period with: each
// price item of the period (`itemWhere` selects them in ITEMPRECO, alias I)
// gets one per day of ten and hour range of two, 10 % off its prices, until
// there are `limit` of them.
namespace prx::bench {

inline QString dayPriceFixtureSql(const QString &itemWhere, int limit)
{
    return QStringLiteral(
               "WITH D(d) AS (VALUES ('1'),('2'),('3'),('4'),('5'),('6'),('7'),('V'),('F'),"
               "('T')), H(f, t) AS (VALUES ('1100', '1500'), ('1800', '2300')) "
               "INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
               "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
               "VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, "
               "IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) SELECT I.CDFILIAL, I.CDTABEPREC, "
               "I.DTINIVGPREC, I.CDPRODUTO, I.CDPRPAITABPR, 'T', D.d, H.f, H.t, I.DTINIVGPREC, "
               "V.DTFINVGPREC, 'P', 'D', 10, 10, 0, I.VRPRECITEM * 0.9, I.VRPRECITEMDLV * 0.9, "
               "NULL, 'N', 'S', CASE WHEN I.VRPRECITEMDLV IS NULL THEN 'N' ELSE 'S' END, 'N' "
               "FROM ITEMPRECO I JOIN TABEVEND V ON V.CDFILIAL = I.CDFILIAL AND "
               "V.CDTABEPREC = I.CDTABEPREC AND V.DTINIVGPREC = I.DTINIVGPREC "
               "CROSS JOIN D CROSS JOIN H WHERE %1 AND I.VRPRECITEM IS NOT NULL LIMIT %2")
        .arg(itemWhere)
        .arg(limit);
}

} // namespace prx::bench

// The consistency check: every kind of stored row a save refuses is found,
// once, under its rule; a consistent database gives nothing.
#include "ServerTestBase.h"

#include "methods/ConsistencyCheck.h"
#include "storage/Transaction.h"

#include <QCoreApplication>

#include <cmath>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestConsistency : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void initTestCase();

    // The data the demo generates breaks no rule, and the method says so.
    void freshDatabaseIsClean();
    // One bad row planted by plain SQL is reported once, under its rule,
    // with its values, by the check and by the server method alike.
    void plantedRowIsFound_data();
    void plantedRowIsFound();

private:
    QString counts(const QList<Finding> &findings) const;

    // A differentiated price of the period in force (branch 0001, table
    // 001) on an item without a subsidised part, and an item of the same
    // period without differentiated prices.
    QString m_product, m_day, m_hour, m_base, m_plain;
};

void TestConsistency::initTestCase()
{
    ServerTestBase::initTestCase();
    const QVariantList row =
        column("SELECT D.CDPRODUTO || '|' || D.NRDIASEMANPR || '|' || D.HRINIPRECDIA FROM "
               "ITEMPRECODIA D JOIN ITEMPRECO I ON I.CDFILIAL = D.CDFILIAL AND "
               "I.CDTABEPREC = D.CDTABEPREC AND I.DTINIVGPREC = D.DTINIVGPREC AND "
               "I.CDPRODUTO = D.CDPRODUTO AND I.CDPRPAITABPR = D.CDPRPAITABPR WHERE "
               "D.CDFILIAL = '0001' AND D.CDTABEPREC = '001' AND D.DTINIVGPREC = :s AND "
               "D.CDTIPOCONSPD = 'T' AND D.IDTPMODGERAL = 'S' AND D.IDTPMODCMD = 'N' AND "
               "D.CDPRODUTO = D.CDPRPAITABPR AND COALESCE(I.VRPRECITEMCL, 0) = 0 "
               "ORDER BY D.CDPRODUTO, D.NRDIASEMANPR",
               {{":s", day(-30)}});
    QVERIFY2(!row.isEmpty(), "the fixture has no differentiated price to plant on");
    const QStringList key = row.first().toString().split(u'|');
    m_product = key[0];
    m_day = key[1];
    m_hour = key[2];
    m_base = QString::number(scalar("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                                    "AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND "
                                    "CDPRODUTO = :p AND CDPRPAITABPR = CDPRODUTO",
                                    {{":s", day(-30)}, {":p", m_product}})
                                 .toDouble(),
                             'g', QLocale::FloatingPointShortest);
    m_plain = scalar("SELECT MIN(I.CDPRODUTO) FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND "
                     "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
                     "I.CDPRODUTO = I.CDPRPAITABPR AND NOT EXISTS (SELECT 1 FROM ITEMPRECODIA "
                     "D WHERE D.CDFILIAL = I.CDFILIAL AND D.CDTABEPREC = I.CDTABEPREC AND "
                     "D.DTINIVGPREC = I.DTINIVGPREC AND D.CDPRODUTO = I.CDPRODUTO)",
                     {{":s", day(-30)}})
                  .toString();
    QVERIFY(!m_plain.isEmpty());
}

QString TestConsistency::counts(const QList<Finding> &findings) const
{
    QStringList parts;
    for (const ConsistencyRule &rule : consistencyRules()) {
        const auto n = std::count_if(findings.begin(), findings.end(),
                                     [&](const Finding &f) { return f.rule == rule.code; });
        if (n > 0)
            parts << QStringLiteral("%1:%2").arg(rule.code).arg(n);
    }
    return parts.join(u',');
}

void TestConsistency::freshDatabaseIsClean()
{
    // The demo leaves some products without a tax rate on purpose; once
    // they have one, nothing it generated breaks a rule.
    Transaction tx(storage());
    column("INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) SELECT DISTINCT I.CDFILIAL, "
           "I.CDPRODUTO, 7 FROM ITEMPRECO I WHERE NOT EXISTS (SELECT 1 FROM ALIQPROD A WHERE "
           "A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO)");
    expectConsistent();
    QCOMPARE(read("GetVerifConsistencia", {})->rowCount(), 0);
}

namespace {
// Placeholders of the planted statements: {DAY} the differentiated price
// (its item in force, its day and start hour), {ITEM} its price item (%B its
// price), {PLAIN} the item without differentiated prices.
const char *const kDayRow = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                            "DTINIVGPREC = :s AND CDPRODUTO = '%P' AND NRDIASEMANPR = '%D' AND "
                            "HRINIPRECDIA = '%H' AND CDTIPOCONSPD = 'T'";
const char *const kOwnItem = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                             "DTINIVGPREC = :s AND CDPRODUTO = '%P' AND CDPRPAITABPR = '%P'";
const char *const kPlainItem = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                               "DTINIVGPREC = :s AND CDPRODUTO = '%Q' AND CDPRPAITABPR = '%Q'";
// A price item's own row and a product for it, in a period of its own.
const char *const kPeriodCopy =
    "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) "
    "VALUES ('0001', '001', :far, :farEnd, '%S')";

QString expand(QString sql)
{
    return sql.replace(QStringLiteral("{DAY}"), QLatin1String(kDayRow))
        .replace(QStringLiteral("{ITEM}"), QLatin1String(kOwnItem))
        .replace(QStringLiteral("{PLAIN}"), QLatin1String(kPlainItem));
}
} // namespace

void TestConsistency::plantedRowIsFound_data()
{
    QTest::addColumn<QStringList>("plant");
    QTest::addColumn<QString>("found");   // rule:count, in the rules' order
    QTest::addColumn<QString>("mention"); // in the line of the first finding

    QTest::newRow("item price with a third decimal")
        << QStringList{"UPDATE ITEMPRECO SET VRPRECITEM = 9.876 WHERE {PLAIN}"} << "DECIMAIS:1"
        << "VRPRECITEM 9,876";
    QTest::newRow("calculated price off by a binary hair")
        << QStringList{"UPDATE ITEMPRECO SET VRCUSTITEM = :hair WHERE {PLAIN}"} << "DECIMAIS:1"
        << "VRCUSTITEM 8,890000000000002";
    QTest::newRow("differentiated price with a third decimal")
        << QStringList{"UPDATE ITEMPRECODIA SET PRECOCMD = 1.005 WHERE {DAY}"} << "DECIMAIS:1"
        << "PRECOCMD 1,005";
    QTest::newRow("negative subsidised price")
        << QStringList{"UPDATE ITEMPRECO SET VRPRECITEMCL = -1 WHERE {PLAIN}"} << "LIMITE:1"
        << "VRPRECITEMCL -1,00 (negativo)";
    QTest::newRow("suggested price at the limit")
        << QStringList{"UPDATE ITEMPRECO SET VRPRESUGITEM = 999999999999999 WHERE {PLAIN}"}
        << "LIMITE:1"
        << "VRPRESUGITEM 999999999999999,00";
    QTest::newRow("negative amount")
        << QStringList{"UPDATE ITEMPRECODIA SET VRPRECODIACMD = -5 WHERE {DAY}"} << "LIMITE:1"
        << "VRPRECODIACMD -5,00";
    QTest::newRow("price that its amount does not give")
        << QStringList{"UPDATE ITEMPRECODIA SET PRECO = 1.23 WHERE {DAY}"} << "CALCULO:1"
        << "preço 1,23, calculado";
    QTest::newRow("modality without the item's price")
        << QStringList{"UPDATE ITEMPRECODIA SET IDTPMODDLV = 'N', VRPRECODIADLV = 0, "
                       "PRECODLV = NULL WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                       "DTINIVGPREC = :s AND CDPRODUTO = '%P'",
                       "UPDATE ITEMPRECO SET VRPRECITEMDLV = NULL WHERE {ITEM}",
                       "UPDATE ITEMPRECODIA SET IDTPMODDLV = 'S', VRPRECODIADLV = 5 WHERE {DAY}"}
        << "CALCULO:1"
        << "Delivery: sem o preço do produto";
    QTest::newRow("increase reaching twice the base")
        << QStringList{"UPDATE ITEMPRECODIA SET IDPERVALORPR = 'V', IDDESCACREPR = 'A', "
                       "IDTPMODDLV = 'N', VRPRECODIADLV = 0, PRECODLV = NULL, "
                       "VRPRECODIA = %B, PRECO = 2 * %B WHERE {DAY}"}
        << "LIMITE_DIF:1"
        << "menor que o dobro da base";
    QTest::newRow("discount down to zero")
        << QStringList{"UPDATE ITEMPRECODIA SET IDPERVALORPR = 'V', IDDESCACREPR = 'D', "
                       "IDTPMODDLV = 'N', VRPRECODIADLV = 0, PRECODLV = NULL, "
                       "VRPRECODIA = %B, PRECO = 0 WHERE {DAY}"}
        << "LIMITE_DIF:1"
        << "Outras Mod.: preço 0,00";
    QTest::newRow("validity past the period's end")
        << QStringList{"UPDATE ITEMPRECODIA SET DTFINVALPREC = :late WHERE {DAY}"} << "VALIDADE:1"
        << "vigência de";
    QTest::newRow("period ending on its start") << QStringList{QString::fromLatin1(kPeriodCopy)
                                                                   .replace("%S", "1")
                                                                   .replace(":farEnd", ":far")}
                                                << "VIGENCIA:1"
                                                << "situação \"1\"";
    QTest::newRow("period of an unknown state")
        << QStringList{QString::fromLatin1(kPeriodCopy).replace("%S", "9")} << "VIGENCIA:1"
        << "situação \"9\"";
    QTest::newRow("period starting inside another")
        << QStringList{"INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, "
                       "IDSITVGPREC) VALUES ('0001', '001', :inside, :far, '1')"}
        << "SOBREPOSICAO:1"
        << "sobrepõe";
    QTest::newRow("key repeated with a blank")
        << QStringList{"INSERT INTO ITEMPRECODIA SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                       "CDPRODUTO, CDPRPAITABPR, 'T ', NRDIASEMANPR, HRINIPRECDIA, "
                       "HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, "
                       "VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, "
                       "IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD, DTULTALT FROM "
                       "ITEMPRECODIA WHERE {DAY}"}
        << "CHAVE:1"
        << "2 linhas de ITEMPRECODIA";
    QTest::newRow("approved period with a product without tax rate")
        << QStringList{QString::fromLatin1(kPeriodCopy).replace("%S", "4"),
                       "INSERT INTO PRODUTO (CDPRODUTO, NMPRODUTO, CDARVPROD) VALUES "
                       "('9999999999', 'Produto Sem Alíquota', '99990001')",
                       "INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
                       "CDPRPAITABPR, VRPRECITEM) VALUES ('0001', '001', :far, '9999999999', "
                       "'9999999999', 5)"}
        << "ALIQUOTA:1"
        << "produto 99.99.0001 (9999999999)";
}

void TestConsistency::plantedRowIsFound()
{
    QFETCH(QStringList, plant);
    QFETCH(QString, found);
    QFETCH(QString, mention);
    // Planted inside a transaction that is never committed: the next case
    // starts from the fixture again.
    Transaction tx(storage());
    // Only what the planted rows add counts: the generated data may hold
    // findings of its own (the demo keeps some gaps on purpose).
    QStringList before;
    for (const Finding &f : checkConsistency(storage()))
        before << findingLine(f);
    const QList<std::pair<QString, QVariant>> binds = {
        {":s", day(-30)},
        {":late", day(30)},
        {":inside", day(100)},
        {":far", day(500)},
        {":farEnd", day(510)},
        // The double next to 8.89, bound: no SQL text gives it exactly.
        {":hair", std::nextafter(8.89, 9.0)}};
    for (QString sql : plant) {
        sql = expand(sql)
                  .replace(QStringLiteral("%P"), m_product)
                  .replace(QStringLiteral("%D"), m_day)
                  .replace(QStringLiteral("%H"), m_hour)
                  .replace(QStringLiteral("%B"), m_base)
                  .replace(QStringLiteral("%Q"), m_plain);
        QList<std::pair<QString, QVariant>> used;
        for (const auto &b : binds) {
            if (sql.contains(b.first))
                used << b;
        }
        column(sql, used);
    }
    const QList<Finding> all = checkConsistency(storage());
    QList<Finding> added;
    QStringList lines;
    for (const Finding &f : all) {
        if (!before.removeOne(findingLine(f))) {
            added << f;
            lines << findingLine(f);
        }
    }
    QVERIFY2(counts(added) == found, qPrintable(counts(added) + u'\n' + lines.join(u'\n')));
    QVERIFY2(lines.first().contains(mention), qPrintable(lines.first()));

    const DataPacketPtr answer = read("GetVerifConsistencia", {});
    QCOMPARE(answer->rowCount(), int(all.size()));
    const int row = findRow(*answer, "DSOCORRENCIA", lines.first());
    QVERIFY2(row >= 0, qPrintable(lines.first()));
    QCOMPARE(value(*answer, row, "CDREGRA").toString(), added.first().rule);
}

PRX_SERVER_TEST_MAIN(TestConsistency)
#include "tst_consistency.moc"

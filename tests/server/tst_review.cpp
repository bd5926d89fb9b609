// The review of a period before its approval: each product's change against
// the approved period that sells until the reviewed one starts.
#include "ServerTestBase.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestReview : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void init();

    // One product per kind of change, with its prices, change in %, flags
    // and the differentiated prices gained, lost and changed.
    void rowPerProduct_data();
    void rowPerProduct();
    // Counts per kind, the largest changes in order, the exact average.
    void summary();
    // Which period the review compares with: the approved one that sells
    // until the reviewed one starts, else none.
    void comparedPeriod_data();
    void comparedPeriod();
    void refusesUnknownPeriod();

private:
    struct Answer
    {
        DataPacketPtr summary, extremes, rows;
    };
    Answer review(const QVariant &start);
    void exec(const QString &sql, const Binds &binds = {}) { scalar(sql, binds); }
    void item(int period, int product, double price, const QVariant &cost = {});
    void dayPrice(int period, int product, const QString &day, double amount, double price);
    // The product's tax rate in branch 0001 is taken away until the guard ends.
    [[nodiscard]] RowsKept withoutTaxRate(int product);

    QStringList m_products;
    QList<QDateTime> m_starts, m_ends; // the past, the old and the reviewed period
};

namespace {
const QString kTable = QStringLiteral("REV");
}

void TestReview::init()
{
    if (!m_products.isEmpty())
        return;
    const QVariantList products =
        column("SELECT CDPRODUTO FROM PRODUTO WHERE CDPRODUTO IN (SELECT CDPRODUTO FROM "
               "ALIQPROD WHERE CDFILIAL = '0001') ORDER BY CDPRODUTO");
    QVERIFY(products.size() >= 8);
    for (int i = 0; i < 8; ++i)
        m_products << products[i].toString();
    // Three periods one after the other: a past one and the one in force,
    // both approved, and a confirmed one about to start.
    m_starts = {day(-40), day(-10), day(10)};
    m_ends = {day(-11), day(9), day(40)};
    exec("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0001', 'REV', "
         "'Revisão')");
    const char *states[] = {"4", "4", "3"};
    for (int i = 0; i < 3; ++i) {
        exec("INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) "
             "VALUES ('0001', 'REV', :s, :e, :st)",
             {{":s", m_starts[i]}, {":e", m_ends[i]}, {":st", states[i]}});
    }
    // Old (period 1) and new (period 2) prices, one product per case.
    item(0, 0, 1.00);
    item(1, 0, 10.00);
    item(2, 0, 11.00, 10.50); // up 10 %, calculated price below it
    item(1, 1, 10.00);
    item(2, 1, 9.00, 9.50); // down 10 %, below its calculated price
    item(1, 2, 10.00);
    item(2, 2, 10.00); // same price, differentiated prices changed
    item(1, 3, 10.00); // removed
    item(2, 4, 5.00);  // new
    item(1, 5, 8.00);
    item(2, 5, 8.01); // up 0.125 %: 0.13 exactly, 0.12 on doubles
    item(1, 6, 7.00);
    item(2, 6, 7.00); // the same differentiated price in both
    // Differentiated prices (a fixed discount, valid through each period).
    dayPrice(1, 2, "1", 1.00, 9.00);
    dayPrice(2, 2, "1", 2.00, 8.00); // changed amount
    dayPrice(1, 2, "2", 1.00, 9.00); // removed
    dayPrice(2, 2, "3", 1.00, 9.00); // added
    dayPrice(1, 6, "1", 1.00, 6.00);
    dayPrice(2, 6, "1", 1.00, 6.00);
}

void TestReview::item(int period, int product, double price, const QVariant &cost)
{
    exec("INSERT INTO ITEMPRECO (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "VRPRECITEM, VRPRECITEMCL, VRCUSTITEM, IDPRECVARIA, IDPRODPROMOC) VALUES ('0001', 'REV', "
         ":s, :p, :p2, :v, 0, :c, 'N', 'N')",
         {{":s", m_starts[period]},
          {":p", m_products[product]},
          {":p2", m_products[product]},
          {":v", price},
          {":c", cost.isValid() ? cost : QVariant(QMetaType::fromType<double>())}});
}

void TestReview::dayPrice(int period, int product, const QString &day, double amount, double price)
{
    exec("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR, "
         "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, DTFINVALPREC, "
         "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, "
         "IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) VALUES ('0001', 'REV', :s, :p, :p2, "
         "'T', :d, '0800', '1200', :vs, :ve, 'V', 'D', :a, 0, 0, :pr, 'N', 'S', 'N', 'N')",
         {{":s", m_starts[period]},
          {":p", m_products[product]},
          {":p2", m_products[product]},
          {":d", day},
          {":vs", m_starts[period]},
          {":ve", m_ends[period]},
          {":a", amount},
          {":pr", price}});
}

ServerTestBase::RowsKept TestReview::withoutTaxRate(int product)
{
    const Binds key{{":p", m_products[product]}};
    RowsKept kept = keepRows("ALIQPROD", "CDFILIAL = '0001' AND CDPRODUTO = :p", key);
    exec("DELETE FROM ALIQPROD WHERE CDFILIAL = '0001' AND CDPRODUTO = :p", key);
    return kept;
}

TestReview::Answer TestReview::review(const QVariant &start)
{
    const Outcome out = call("GetRevisaoVigencia", {"0001", kTable, start});
    if (!out.ok) {
        qWarning("%s", qPrintable(out.message));
        return {};
    }
    const QVariantList packets = out.payload.toList();
    if (packets.size() != 3)
        return {};
    return {packets[0].value<DataPacketPtr>(), packets[1].value<DataPacketPtr>(),
            packets[2].value<DataPacketPtr>()};
}

void TestReview::rowPerProduct_data()
{
    QTest::addColumn<int>("product");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("oldPrice");
    QTest::addColumn<QVariant>("newPrice");
    QTest::addColumn<QVariant>("change");
    QTest::addColumn<QString>("margin");
    QTest::addColumn<QString>("untaxed");
    QTest::addColumn<QList<int>>("dayCounts"); // added, removed, changed

    const QVariant none;
    QTest::newRow("price up, calculated price below it")
        << 0 << "A" << QVariant(10.0) << QVariant(11.0) << QVariant(10.0) << "N"
        << "N" << QList<int>{0, 0, 0};
    QTest::newRow("price down below the calculated price")
        << 1 << "D" << QVariant(10.0) << QVariant(9.0) << QVariant(-10.0) << "S"
        << "N" << QList<int>{0, 0, 0};
    QTest::newRow("same price, differentiated prices added, removed, changed")
        << 2 << "I" << QVariant(10.0) << QVariant(10.0) << QVariant(0.0) << "N"
        << "N" << QList<int>{1, 1, 1};
    QTest::newRow("removed") << 3 << "R" << QVariant(10.0) << none << none << "N"
                             << "N" << QList<int>{0, 0, 0};
    QTest::newRow("new, without a tax rate") << 4 << "N" << none << QVariant(5.0) << none << "N"
                                             << "S" << QList<int>{0, 0, 0};
    QTest::newRow("a change of an eighth of a percent, rounded half up")
        << 5 << "A" << QVariant(8.0) << QVariant(8.01) << QVariant(0.13) << "N"
        << "N" << QList<int>{0, 0, 0};
    QTest::newRow("a differentiated price valid through each period is the same")
        << 6 << "I" << QVariant(7.0) << QVariant(7.0) << QVariant(0.0) << "N"
        << "N" << QList<int>{0, 0, 0};
}

void TestReview::rowPerProduct()
{
    QFETCH(int, product);
    QFETCH(QString, kind);
    QFETCH(QVariant, oldPrice);
    QFETCH(QVariant, newPrice);
    QFETCH(QVariant, change);
    QFETCH(QString, margin);
    QFETCH(QString, untaxed);
    QFETCH(QList<int>, dayCounts);
    const RowsKept taxes = withoutTaxRate(4);
    const Answer a = review(m_starts[2]);
    QVERIFY(a.rows);
    // Products of neither period are not listed.
    QCOMPARE(findRow(*a.rows, "CDPRODUTO", m_products[7]), -1);
    const int r = findRow(*a.rows, "CDPRODUTO", m_products[product]);
    QVERIFY(r >= 0);
    const DataPacket &p = *a.rows;
    QCOMPARE(value(p, r, "IDTIPO").toString(), kind);
    auto same = [](const QVariant &got, const QVariant &expected) {
        return got.isNull() ? !expected.isValid()
                            : expected.isValid() &&
                                  qFuzzyCompare(1 + got.toDouble(), 1 + expected.toDouble());
    };
    QVERIFY2(same(value(p, r, "VRANTERIOR"), oldPrice),
             qPrintable(value(p, r, "VRANTERIOR").toString()));
    QVERIFY2(same(value(p, r, "VRNOVO"), newPrice), qPrintable(value(p, r, "VRNOVO").toString()));
    QVERIFY2(same(value(p, r, "VRVARIACAO"), change),
             qPrintable(value(p, r, "VRVARIACAO").toString()));
    QCOMPARE(value(p, r, "IDMARGEM").toString(), margin);
    QCOMPARE(value(p, r, "IDSEMALIQ").toString(), untaxed);
    QCOMPARE((QList<int>{value(p, r, "NRDIFINCL").toInt(), value(p, r, "NRDIFEXCL").toInt(),
                         value(p, r, "NRDIFALT").toInt()}),
             dayCounts);
}

void TestReview::summary()
{
    {
        const Answer taxed = review(m_starts[2]);
        QVERIFY(taxed.summary);
        QCOMPARE(value(*taxed.summary, 0, "IDBLOQUEIA").toString(), QStringLiteral("N"));
    }
    // A product of the period without a tax rate blocks the approval.
    const RowsKept taxes = withoutTaxRate(4);
    const Answer a = review(m_starts[2]);
    QVERIFY(a.summary && a.extremes && a.rows);
    const DataPacket &s = *a.summary;
    QCOMPARE(s.rowCount(), 1);
    QStringList counts;
    for (const char *f :
         {"NRPRODUTOS", "NRNOVOS", "NRREMOVIDOS", "NRAUMENTOS", "NRREDUCOES", "NRINALTERADOS",
          "NRMARGEM", "NRSEMALIQ", "NRDIFINCL", "NRDIFEXCL", "NRDIFALT", "NRPRODDIF"})
        counts << QStringLiteral("%1=%2").arg(QLatin1String(f), value(s, 0, f).toString());
    QCOMPARE(counts.join(u' '), QStringLiteral("NRPRODUTOS=7 NRNOVOS=1 NRREMOVIDOS=1 "
                                               "NRAUMENTOS=2 NRREDUCOES=1 NRINALTERADOS=2 "
                                               "NRMARGEM=1 NRSEMALIQ=1 NRDIFINCL=1 NRDIFEXCL=1 "
                                               "NRDIFALT=1 NRPRODDIF=1"));
    // (10 - 10 + 0 + 0.125 + 0) / 5 = 0.025: 0.03 half up on the exact
    // changes, 0.02 on the rounded ones or on doubles.
    QCOMPARE(value(s, 0, "VRVARMEDIA").toDouble(), 0.03);
    QCOMPARE(value(s, 0, "IDBLOQUEIA").toString(), QStringLiteral("S"));
    QCOMPARE(value(s, 0, "DTINIVGANT").toDateTime(), m_starts[1]);
    // Largest increases first by the change, then by the amount.
    QStringList extremes;
    for (int r = 0; r < a.extremes->rowCount(); ++r) {
        extremes << value(*a.extremes, r, "IDEXTREMO").toString() +
                        value(*a.extremes, r, "NRORDEM").toString() + u':' +
                        QString::number(
                            m_products.indexOf(value(*a.extremes, r, "CDPRODUTO").toString()));
    }
    QCOMPARE(extremes, (QStringList{"A1:0", "A2:5", "D1:1"}));
    // The rows come by tree code.
    QStringList trees;
    for (int r = 0; r < a.rows->rowCount(); ++r)
        trees << value(*a.rows, r, "CDARVPROD").toString();
    QStringList sorted = trees;
    sorted.sort();
    QCOMPARE(trees, sorted);
}

void TestReview::comparedPeriod_data()
{
    QTest::addColumn<int>("reviewed");
    QTest::addColumn<QString>("plant"); // SQL run on the fixture first, undone afterwards
    QTest::addColumn<int>("compared");  // -1: none
    QTest::addColumn<bool>("asText");

    QTest::newRow("the period about to start, with the one in force")
        << 2 << QString() << 1 << false;
    QTest::newRow("the start given as the screen shows it") << 2 << QString() << 1 << true;
    QTest::newRow("the period in force, with the past one") << 1 << QString() << 0 << false;
    QTest::newRow("the first period, with none") << 0 << QString() << -1 << false;
    QTest::newRow("a released period in force does not sell")
        << 2
        << "UPDATE TABEVEND SET IDSITVGPREC = '2' WHERE CDTABEPREC = 'REV' AND "
           "IDSITVGPREC = '4' AND DTFINVGPREC = :e1"
        << -1 << false;
    QTest::newRow("a period that ended before a gap does not sell at the start")
        << 2
        << "UPDATE TABEVEND SET DTFINVGPREC = :e1 WHERE CDTABEPREC = 'REV' AND "
           "DTFINVGPREC = :e0"
        << -1 << false;
}

void TestReview::comparedPeriod()
{
    QFETCH(int, reviewed);
    QFETCH(QString, plant);
    QFETCH(int, compared);
    QFETCH(bool, asText);
    const RowsKept periods = keepValues("TABEVEND", {"IDSITVGPREC", "DTFINVGPREC"},
                                        "CDFILIAL = '0001' AND CDTABEPREC = 'REV'");
    if (!plant.isEmpty()) {
        // The gap: the period in force ends two days before the next starts.
        Binds binds{{":e1", plant.contains(u":e0") ? day(8) : m_ends[1]}};
        if (plant.contains(u":e0"))
            binds.append({":e0", m_ends[1]});
        exec(plant, binds);
    }
    const QVariant start = asText ? QVariant(m_starts[reviewed].toString(u"dd/MM/yyyy"))
                                  : QVariant(m_starts[reviewed]);
    const Answer a = review(start);
    QVERIFY(a.summary);
    const QVariant before = value(*a.summary, 0, "DTINIVGANT");
    if (compared < 0)
        QVERIFY2(before.isNull(), qPrintable(before.toString()));
    else
        QCOMPARE(before.toDateTime(), m_starts[compared]);
    // Without a period to compare with, every product is new.
    if (compared < 0) {
        QCOMPARE(value(*a.summary, 0, "NRNOVOS"), value(*a.summary, 0, "NRPRODUTOS"));
        QCOMPARE(value(*a.summary, 0, "NRDIFINCL").toInt(),
                 reviewed == 2 ? 3 : 0); // the new period's three rows
    }
}

void TestReview::refusesUnknownPeriod()
{
    const Outcome out = call("GetRevisaoVigencia", {"0001", kTable, day(11)});
    QVERIFY(!out.ok);
    QCOMPARE(out.message, QStringLiteral("Período de vigência de %1 da tabela de preço REV da "
                                         "filial 0001 não cadastrado.")
                              .arg(day(11).toString(u"dd/MM/yyyy")));
    const Outcome bad = call("GetRevisaoVigencia", {"0001", kTable, "31/02/2026"});
    QVERIFY(!bad.ok);
    QVERIFY2(bad.message.startsWith(u"Data inicial de vigência inválida"), qPrintable(bad.message));
}

PRX_SERVER_TEST_MAIN(TestReview)
#include "tst_review.moc"

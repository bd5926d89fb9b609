// A change of an item's prices carries its differentiated prices along; one
// that would leave any of them without an acceptable price is refused whole,
// whichever way the prices arrive.
#include "ServerTestBase.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestBasePrices : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void init();

    // Through the item grid and the spreadsheet import: a price that puts
    // the fixed discount at or below zero, past twice the base, or a
    // modality price cleared under its differentiated price is refused,
    // naming the product and the rule; a price within the limits is saved
    // with its differentiated prices computed again.
    void baseChange_data();
    void baseChange();
    // The bulk raise to calculated prices goes through the same check.
    void raiseRefusesWhatItWouldBreak();

private:
    Outcome saveItem(const QVariantHash &changes);
    QVariant item(const QString &column);
    QVariant dayRow(const QString &column);

    QString m_product, m_label;
};

namespace {
const QString kItem = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                     "DTINIVGPREC = :s AND CDPRODUTO = :p AND CDPRPAITABPR = :p2");
} // namespace

void TestBasePrices::init()
{
    // A plain product of the period in force at 11.90, delivery at 12.00,
    // with one differentiated price: Saturday 18:00 to 22:00, a fixed
    // discount of 5.00 on the general and the delivery price.
    m_product = scalar("SELECT MIN(I.CDPRODUTO) FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND "
                       "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
                       "I.CDPRODUTO = I.CDPRPAITABPR AND NOT EXISTS (SELECT 1 FROM PRODCOMP C "
                       "WHERE C.CDPRODUTO = I.CDPRODUTO)",
                       {{":s", day(-30)}})
                    .toString();
    QVERIFY(!m_product.isEmpty());
    const QString tree =
        scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", m_product}})
            .toString();
    m_label = tree.left(2) + u'.' + tree.mid(2, 2) + u'.' + tree.mid(4);
    const QList<std::pair<QString, QVariant>> key = {
        {":s", day(-30)}, {":p", m_product}, {":p2", m_product}};
    column("UPDATE ITEMPRECO SET VRPRECITEM = 11.9, VRPRECITEMCL = 0, VRPRECITEMDLV = 12.0, "
           "VRPRECITEMCMD = NULL, VRCUSTITEM = NULL WHERE " +
               kItem,
           key);
    column("DELETE FROM ITEMPRECODIA WHERE " + kItem, key);
    column("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
           "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, "
           "DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, "
           "PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD) "
           "VALUES ('0001', '001', :s, :p, :p2, 'T', '7', '1800', '2200', :from, :to, 'V', 'D', "
           "5, 5, 0, 6.9, 7, NULL, 'N', 'S', 'S', 'N')",
           key + QList<std::pair<QString, QVariant>>{{":from", day(-30)}, {":to", day(29)}});
}

QVariant TestBasePrices::item(const QString &column)
{
    return scalar("SELECT " + column + " FROM ITEMPRECO WHERE " + kItem,
                  {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}});
}

QVariant TestBasePrices::dayRow(const QString &column)
{
    return scalar("SELECT " + column + " FROM ITEMPRECODIA WHERE " + kItem,
                  {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}});
}

Outcome TestBasePrices::saveItem(const QVariantHash &changes)
{
    const DataPacketPtr items =
        read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), m_product, ""});
    if (items->rowCount() != 1)
        return {false, {}, 0, QStringLiteral("item não encontrado")};
    DeltaPacket d = deltaOf(*items);
    d.changes << updateOf(*items, 0, changes);
    return call("SetItemPreco", {deltaArg(d), ""});
}

void TestBasePrices::baseChange_data()
{
    QTest::addColumn<bool>("bySheet");
    QTest::addColumn<QVariantHash>("changes"); // by the grid; the sheet sends VRPRECITEM
    QTest::addColumn<QString>("refusal");      // empty: saved
    QTest::addColumn<double>("price");         // PRECO stored after
    QTest::addColumn<double>("deliveryPrice"); // PRECODLV stored after

    QTest::newRow("grid: discount below zero")
        << false << QVariantHash{{"VRPRECITEM", 4.0}} << "ficaria com preço -1,00 sobre a base 4,00"
        << 6.9 << 7.0;
    QTest::newRow("grid: discount down to zero")
        << false << QVariantHash{{"VRPRECITEM", 5.0}} << "ficaria com preço 0,00" << 6.9 << 7.0;
    QTest::newRow("grid: delivery price cleared")
        << false << QVariantHash{{"VRPRECITEMDLV", QVariant()}}
        << "ficaria sem o preço Delivery do produto" << 6.9 << 7.0;
    QTest::newRow("grid: within the limits")
        << false << QVariantHash{{"VRPRECITEM", 8.0}} << "" << 3.0 << 7.0;
    QTest::newRow("sheet: discount below zero")
        << true << QVariantHash{{"VRPRECITEM", 4.0}} << "ficaria com preço -1,00" << 6.9 << 7.0;
    QTest::newRow("sheet: within the limits")
        << true << QVariantHash{{"VRPRECITEM", 5.01}} << "" << 0.01 << 7.0;
}

void TestBasePrices::baseChange()
{
    QFETCH(bool, bySheet);
    QFETCH(QVariantHash, changes);
    QFETCH(QString, refusal);
    QFETCH(double, price);
    QFETCH(double, deliveryPrice);
    const QVariant before = item("VRPRECITEM");
    Outcome out;
    if (bySheet) {
        const QString typed =
            QString::number(changes.value("VRPRECITEM").toDouble(), 'f', 2).replace(u'.', u',');
        out = call("SetItemPrecoPlanilha",
                   {"0001", "001", day(-30), "3",
                    QStringLiteral("Código;Preço\r\n%1;%2\r\n").arg(m_product, typed), true});
    } else {
        out = saveItem(changes);
    }
    if (refusal.isEmpty()) {
        QVERIFY2(out.ok, qPrintable(out.message));
        QCOMPARE(item("VRPRECITEM"), changes.value("VRPRECITEM"));
    } else {
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(refusal), qPrintable(out.message));
        // The product as the screens show it, and the rule.
        QVERIFY2(out.message.contains(m_label), qPrintable(out.message));
        QVERIFY2(out.message.contains(
                     QStringLiteral("Sábado, 18:00 às 22:00, tipo de consumidor Todos, desconto "
                                    "de 5,00")),
                 qPrintable(out.message));
        QCOMPARE(item("VRPRECITEM"), before);
        QCOMPARE(item("VRPRECITEMDLV").toDouble(), 12.0);
    }
    QCOMPARE(dayRow("PRECO").toDouble(), price);
    QCOMPARE(dayRow("PRECODLV").toDouble(), deliveryPrice);
}

void TestBasePrices::raiseRefusesWhatItWouldBreak()
{
    // A rule stored before the limits held: a discount of the whole price.
    // Raising the item to its calculated price would store 0 under it.
    const QList<std::pair<QString, QVariant>> key = {
        {":s", day(-30)}, {":p", m_product}, {":p2", m_product}};
    column("UPDATE ITEMPRECODIA SET IDPERVALORPR = 'P', VRPRECODIA = 100, PRECO = 0, "
           "IDTPMODDLV = 'N', VRPRECODIADLV = 0, PRECODLV = NULL WHERE " +
               kItem,
           key);
    column("UPDATE ITEMPRECO SET VRCUSTITEM = 12.34 WHERE " + kItem, key);
    const Outcome out = call("SetItemPrecoAtuPrec", {"0001", "001", day(-30)});
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(m_label) && out.message.contains(u"desconto de 100%") &&
                 out.message.contains(u"ficaria com preço 0,00 sobre a base 12,34"),
             qPrintable(out.message));
    QCOMPARE(item("VRPRECITEM").toDouble(), 11.9);

    // With the rule mended the same raise goes through.
    column("UPDATE ITEMPRECODIA SET VRPRECODIA = 10, PRECO = 10.71 WHERE " + kItem, key);
    const Outcome again = call("SetItemPrecoAtuPrec", {"0001", "001", day(-30)});
    QVERIFY2(again.ok, qPrintable(again.message));
    QCOMPARE(item("VRPRECITEM").toDouble(), 12.34);
    QCOMPARE(dayRow("PRECO").toDouble(), 11.11); // 12.34 less 10 %: 1.23 off
}

PRX_SERVER_TEST_MAIN(TestBasePrices)
#include "tst_baseprices.moc"

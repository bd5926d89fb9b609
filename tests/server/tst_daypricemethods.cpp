// Differentiated prices on the server: the clash check, the prices stored
// with them, the bulk raise of consumer prices.
#include "ServerTestBase.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestDayPriceMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void init();

    // Only a row with the same ten key values clashes.
    void clashIsExactKey_data();
    void clashIsExactKey();
    // The clash query names the whole primary key.
    void clashUsesThePrimaryKey();
    // A row without its codes, with an amount of 0, or outside the period
    // never gets stored.
    void saveRefuses_data();
    void saveRefuses();
    // The stored price is the one the amount gives: computed when the
    // sender sent none; a modality switched off keeps no price.
    void savedPricesComeFromTheAmounts();
    // Amounts past their limits (checked before any arithmetic), amounts
    // with a third decimal and prices their amounts do not give are refused
    // with a message naming the product, for an insert and for an update.
    void amountsAndPricesRefused_data();
    void amountsAndPricesRefused();
    // A row saved with the price the screen showed reads back identical:
    // its next edit and its delete go through.
    void savedRowEditsAndDeletes();
    // A second user inserting the same key gets the clash message; one row.
    void secondInsertOfTheSameKey();
    // A changed base price carries its differentiated prices along.
    void basePriceChangeRecomputes();
    // Calculated prices above the consumer price replace it, rounded up to
    // the cent; nothing else changes.
    void raiseToCalculatedPrices();

private:
    QVariantHash rowValues() const;
    DeltaPacket insertDelta(const QVariantHash &values);
    int dayRows(const QString &where = {});
    QVariant dayValue(const QString &column, const QString &day = QStringLiteral("4"));
    void setItem(const QString &assignments);

    QString m_product;
    DataPacketPtr m_layout;
};

namespace {
const QString kBranch = QStringLiteral("0001");
const QString kTable = QStringLiteral("001");
const QString kItemWhere = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                          "DTINIVGPREC = :s AND CDPRODUTO = :p AND "
                                          "CDPRPAITABPR = :p2");
} // namespace

void TestDayPriceMethods::init()
{
    // A plain priced product of the period in force, with a base of 10.00.
    m_product = scalar("SELECT MIN(I.CDPRODUTO) FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND "
                       "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
                       "I.CDPRODUTO = I.CDPRPAITABPR AND NOT EXISTS (SELECT 1 FROM PRODCOMP C "
                       "WHERE C.CDPRODUTO = I.CDPRODUTO)",
                       {{":s", day(-30)}})
                    .toString();
    QVERIFY(!m_product.isEmpty());
    setItem(QStringLiteral("VRPRECITEM = 10.0, VRPRECITEMCL = 0, VRPRECITEMDLV = 12.0, "
                           "VRPRECITEMCMD = NULL, VRCUSTITEM = NULL"));
    scalar("DELETE FROM ITEMPRECODIA WHERE " + kItemWhere,
           {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}});
    m_layout = read("GetPrecoHora", {kBranch, kTable, day(-30)});
}

void TestDayPriceMethods::setItem(const QString &assignments)
{
    scalar("UPDATE ITEMPRECO SET " + assignments + " WHERE " + kItemWhere,
           {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}});
}

QVariantHash TestDayPriceMethods::rowValues() const
{
    return {{"CDFILIAL", kBranch},
            {"CDTABEPREC", kTable},
            {"DTINIVGPREC", day(-30)},
            {"CDPRODUTO", m_product},
            {"CDPRPAITABPR", m_product},
            {"NRDIASEMANPR", "4"},
            {"IDPERVALORPR", "P"},
            {"IDDESCACREPR", "D"},
            {"HRINIPRECDIA", "1400"},
            {"HRFINPRECDIA", "1600"},
            {"VRPRECODIA", 15.0},
            {"DTINIVALPREC", day(-30)},
            {"DTFINVALPREC", day(29)},
            {"CDTIPOCONSPD", "T"},
            {"IDVISUACUPOM", "N"},
            {"PRECO", 8.5},
            {"VRPRECODIADLV", 10.0},
            {"VRPRECODIACMD", 5.0},
            {"IDTPMODGERAL", "S"},
            {"IDTPMODDLV", "S"},
            {"IDTPMODCMD", "N"},
            {"PRECODLV", 10.8},
            {"PRECOCMD", 4.0}};
}

DeltaPacket TestDayPriceMethods::insertDelta(const QVariantHash &values)
{
    DeltaPacket d = deltaOf(*m_layout);
    d.changes << insertOf(m_layout->fields(), values);
    return d;
}

int TestDayPriceMethods::dayRows(const QString &where)
{
    return scalar("SELECT COUNT(*) FROM ITEMPRECODIA WHERE " + kItemWhere +
                      (where.isEmpty() ? QString() : " AND " + where),
                  {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}})
        .toInt();
}

QVariant TestDayPriceMethods::dayValue(const QString &column, const QString &day)
{
    return scalar(
        "SELECT " + column + " FROM ITEMPRECODIA WHERE " + kItemWhere + " AND NRDIASEMANPR = :d",
        {{":s", ServerTestBase::day(-30)}, {":p", m_product}, {":p2", m_product}, {":d", day}});
}

void TestDayPriceMethods::clashIsExactKey_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("rows");
    QTest::newRow("same key") << "" << QVariant() << 1;
    QTest::newRow("overlapping hours") << "HRINIPRECDIA" << QVariant("1500") << 0;
    QTest::newRow("every day against a weekday") << "NRDIASEMANPR" << QVariant("T") << 0;
    QTest::newRow("a type against all types") << "CDTIPOCONSPD" << QVariant("01") << 0;
    QTest::newRow("another validity start") << "DTINIVALPREC" << QVariant(day(-29)) << 0;
    QTest::newRow("another product") << "CDPRODUTO" << QVariant("0000000000") << 0;
}

void TestDayPriceMethods::clashIsExactKey()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(int, rows);
    const Outcome saved = call("SetPrecoHora", {deltaArg(insertDelta(rowValues()))});
    QVERIFY2(saved.ok, qPrintable(saved.message));
    QVariantHash v = rowValues();
    if (!field.isEmpty())
        v.insert(field, value);
    QVariantList args;
    for (const char *name :
         {"CDFILIAL", "CDTABEPREC", "DTINIVGPREC", "CDPRODUTO", "CDPRPAITABPR", "CDTIPOCONSPD",
          "NRDIASEMANPR", "HRINIPRECDIA", "HRFINPRECDIA", "DTINIVALPREC"})
        args << v.value(QString::fromLatin1(name));
    QCOMPARE(read("getVdModalidade", args)->rowCount(), rows);
}

void TestDayPriceMethods::clashUsesThePrimaryKey()
{
    if (backend() != Backend::Sqlite)
        QSKIP("The plan is checked on SQLite.");
    QSqlQuery q(storage().database());
    QVERIFY(q.exec(QStringLiteral(
        "EXPLAIN QUERY PLAN SELECT CDPRODUTO FROM ITEMPRECODIA WHERE CDFILIAL = '1' AND "
        "CDTABEPREC = '1' AND DTINIVGPREC = '1' AND CDPRODUTO = '1' AND CDPRPAITABPR = '1' AND "
        "CDTIPOCONSPD = '1' AND NRDIASEMANPR = '1' AND HRINIPRECDIA = '1' AND "
        "HRFINPRECDIA = '1' AND DTINIVALPREC = '1'")));
    QVERIFY(q.next());
    const QString plan = q.value(3).toString();
    QVERIFY2(plan.contains(u"SEARCH") && plan.contains(u"DTINIVALPREC=?"), qPrintable(plan));
}

void TestDayPriceMethods::saveRefuses_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("no day") << "NRDIASEMANPR" << QVariant("") << "Dia deve ser informado.";
    QTest::newRow("no mode") << "IDPERVALORPR" << QVariant("")
                             << "Percentual/Valor deve ser informado.";
    QTest::newRow("no direction") << "IDDESCACREPR" << QVariant()
                                  << "Desconto/Acréscimo deve ser informado.";
    QTest::newRow("amount 0") << "VRPRECODIA" << QVariant(0.0) << "Valor deve ser maior que zero.";
    QTest::newRow("increase up to twice") << "IDDESCACREPR" << QVariant("A") << "";
    QTest::newRow("before the period")
        << "DTINIVALPREC" << QVariant(day(-31))
        << "Data inicial de validade deve ser maior ou igual que a data inicial de vigência.";
    QTest::newRow("after the period")
        << "DTFINVALPREC" << QVariant(day(30))
        << "Data final de validade deve ser menor ou igual que a data final de vigência.";
    QTest::newRow("order pad without its price")
        << "IDTPMODCMD" << QVariant("S")
        << "Para informar preço diferenciado para comanda, o preco de comanda do produto também "
           "deve ser informado.";
}

void TestDayPriceMethods::saveRefuses()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, message);
    QVariantHash v = rowValues();
    v.insert(field, value);
    if (message.isEmpty()) {
        // 100 % added to 10.00 reaches twice the base.
        v.insert("VRPRECODIA", 100.0);
        message =
            QStringLiteral("O valor do acréscimo não pode ser maior ou igual ao preço do produto.");
    }
    const Outcome out = call("SetPrecoHora", {deltaArg(insertDelta(v))});
    QVERIFY(!out.ok);
    QCOMPARE(out.message, message);
    QCOMPARE(dayRows(), 0);
}

void TestDayPriceMethods::savedPricesComeFromTheAmounts()
{
    QVariantHash v = rowValues();
    v.insert("PRECO", QVariant()); // the sender left it to the server
    v.insert("IDTPMODDLV", "N");
    const Outcome out = call("SetPrecoHora", {deltaArg(insertDelta(v))});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(dayValue("PRECO").toDouble(), 8.5);
    QCOMPARE(dayValue("VRPRECODIADLV").toDouble(), 0.0);
    QVERIFY(dayValue("PRECODLV").isNull());
    QVERIFY(dayValue("PRECOCMD").isNull());
}

void TestDayPriceMethods::amountsAndPricesRefused_data()
{
    QTest::addColumn<QString>("item"); // the item's prices
    QTest::addColumn<QVariantHash>("changes");
    QTest::addColumn<bool>("update");     // sent as a change of a saved row
    QTest::addColumn<QString>("message"); // %1: how the row is named
    const QString base10 = QStringLiteral("VRPRECITEM = 10.0");
    QTest::newRow("third decimal")
        << base10 << QVariantHash{{"VRPRECODIA", 15.555}, {"PRECO", QVariant()}} << false
        << "Valor com mais de duas casas decimais em \"Valor\": 15,555 (%1).";
    QTest::newRow("delivery third decimal")
        << base10 << QVariantHash{{"VRPRECODIADLV", 10.001}, {"PRECODLV", QVariant()}} << false
        << "Valor com mais de duas casas decimais em \"Preço Dlv.\": 10,001 (%1).";
    QTest::newRow("a cent past 100 %") << base10 << QVariantHash{{"VRPRECODIA", 100.01}} << false
                                       << "Percentual deve ser menor ou igual a 100 (%1).";
    QTest::newRow("huge discount on a huge base")
        << "VRPRECITEM = 69466100099.11"
        << QVariantHash{{"VRPRECODIA", 4898538516419438.0}, {"PRECO", 1.0}} << false
        << "Percentual deve ser menor ou igual a 100 (%1).";
    QTest::newRow("fixed amount at the limit")
        << base10 << QVariantHash{{"IDPERVALORPR", "V"}, {"VRPRECODIA", 999999999999999.0}} << false
        << "Valor acima do limite permitido (%1).";
    QTest::newRow("price the amount does not give")
        << "VRPRECITEM = 299.9"
        << QVariantHash{{"VRPRECODIA", 16.68}, {"PRECO", 249.9}, {"PRECODLV", QVariant()}} << false
        << "O preço 249,90 não corresponde ao valor 16,68 sobre o preço 299,90 do produto, que dá "
           "249,88 (%1).";
    QTest::newRow("changed amount, old price")
        << base10 << QVariantHash{{"VRPRECODIA", 20.0}} << true
        << "O preço 8,50 não corresponde ao valor 20,00 sobre o preço 10,00 do produto, que dá "
           "8,00 (%1).";
}

void TestDayPriceMethods::amountsAndPricesRefused()
{
    QFETCH(QString, item);
    QFETCH(QVariantHash, changes);
    QFETCH(bool, update);
    QFETCH(QString, message);
    setItem(item);
    DeltaPacket d = deltaOf(*m_layout);
    if (update) {
        QVERIFY(call("SetPrecoHora", {deltaArg(insertDelta(rowValues()))}).ok);
        const DataPacketPtr saved = read("GetPrecoHora", {kBranch, kTable, day(-30)});
        const int row = findRow(*saved, "CDPRODUTO", m_product);
        d = deltaOf(*saved);
        d.changes << updateOf(*saved, row, changes);
    } else {
        QVariantHash v = rowValues();
        v.insert(changes);
        d.changes << insertOf(m_layout->fields(), v);
    }
    const QVariantList before = column("SELECT VRPRECODIA || '/' || PRECO FROM ITEMPRECODIA");
    const Outcome out = call("SetPrecoHora", {deltaArg(d)});
    QVERIFY(!out.ok);
    QCOMPARE(out.message,
             message.arg(QStringLiteral("o preço diferenciado do produto %1 (dia 4, 1400 a 1600)")
                             .arg(m_product)));
    QCOMPARE(column("SELECT VRPRECODIA || '/' || PRECO FROM ITEMPRECODIA"), before);
}

void TestDayPriceMethods::savedRowEditsAndDeletes()
{
    // 16,68 % off 299,90 gives 249,88: what the screen shows and sends.
    setItem(QStringLiteral("VRPRECITEM = 299.9"));
    QVariantHash v = rowValues();
    v.insert({{"VRPRECODIA", 16.68}, {"PRECO", 249.88}, {"IDTPMODDLV", "N"}});
    Outcome out = call("SetPrecoHora", {deltaArg(insertDelta(v))});
    QVERIFY2(out.ok, qPrintable(out.message));
    const QVariantList args{kBranch, kTable, day(-30)};
    DataPacketPtr saved = read("GetPrecoHora", args);
    int row = findRow(*saved, "CDPRODUTO", m_product);
    QCOMPARE(value(*saved, row, "PRECO").toDouble(), 249.88);

    DeltaPacket edit = deltaOf(*saved);
    edit.changes << updateOf(*saved, row, {{"VRPRECODIA", 10.0}, {"PRECO", 269.91}});
    out = call("SetPrecoHora", {deltaArg(edit)});
    QVERIFY2(out.ok, qPrintable(out.message));

    saved = read("GetPrecoHora", args);
    row = findRow(*saved, "CDPRODUTO", m_product);
    DeltaPacket remove = deltaOf(*saved);
    remove.changes << deleteOf(*saved, row);
    out = call("SetPrecoHora", {deltaArg(remove)});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(dayRows(), 0);
}

void TestDayPriceMethods::secondInsertOfTheSameKey()
{
    const DeltaPacket d = insertDelta(rowValues());
    QVERIFY(callOn(storage(), "SetPrecoHora", {deltaArg(d)}).ok);
    const Outcome second = callOn(otherUser(), "SetPrecoHora", {deltaArg(d)});
    QVERIFY(!second.ok);
    QCOMPARE(second.message,
             QStringLiteral("Preço diferenciado já cadastrado para os dados informados."));
    QCOMPARE(dayRows(), 1);
}

void TestDayPriceMethods::basePriceChangeRecomputes()
{
    QVERIFY(call("SetPrecoHora", {deltaArg(insertDelta(rowValues()))}).ok);
    QCOMPARE(dayValue("PRECODLV").toDouble(), 10.8);
    const DataPacketPtr items =
        read("GetItemPreco", {kBranch, kTable, "00001", "3", day(-30), m_product, ""});
    QCOMPARE(items->rowCount(), 1);
    DeltaPacket d = deltaOf(*items);
    d.changes << updateOf(*items, 0, {{"VRPRECITEM", 1.4}, {"VRPRECITEMDLV", 19.9}});
    const Outcome out = call("SetItemPreco", {deltaArg(d), ""});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(dayValue("PRECO").toDouble(), 1.19);     // 1.40 less 15 %: 0.21 off
    QCOMPARE(dayValue("PRECODLV").toDouble(), 17.91); // 19.90 less 10 %
}

void TestDayPriceMethods::raiseToCalculatedPrices()
{
    QVERIFY(call("SetPrecoHora", {deltaArg(insertDelta(rowValues()))}).ok);
    // Calculated prices stored before prices kept two decimals.
    const auto legacy = keepValues("ITEMPRECO", {"VRCUSTITEM"}, kItemWhere,
                                   {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}});
    setItem(QStringLiteral("VRCUSTITEM = 12.341"));
    const QString priceOf =
        QStringLiteral("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                       "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = :p AND "
                       "CDPRPAITABPR = :p2");
    // Another item whose calculated price is below its price stays.
    const QString other = scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                                 "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO <> :p",
                                 {{":s", day(-30)}, {":p", m_product}})
                              .toString();
    const QString otherRows = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND "
                              "CDPRODUTO = :p";
    const auto otherLegacy = keepValues("ITEMPRECO", {"VRPRECITEM", "VRCUSTITEM"}, otherRows,
                                        {{":s", day(-30)}, {":p", other}});
    scalar("UPDATE ITEMPRECO SET VRPRECITEM = 5.0, VRCUSTITEM = 4.999 WHERE " + otherRows,
           {{":s", day(-30)}, {":p", other}});
    const int expected =
        scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' "
               "AND DTINIVGPREC = :s AND VRCUSTITEM > VRPRECITEM",
               {{":s", day(-30)}})
            .toInt();
    const QVariantList otherPeriod =
        column("SELECT VRPRECITEM FROM ITEMPRECO WHERE DTINIVGPREC <> :s ORDER BY CDFILIAL, "
               "CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR",
               {{":s", day(-30)}});

    const Outcome out = call("SetItemPrecoAtuPrec", {kBranch, kTable, day(-30)});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.toInt(), expected);
    QCOMPARE(scalar(priceOf, {{":s", day(-30)}, {":p", m_product}, {":p2", m_product}}).toDouble(),
             12.35);
    QCOMPARE(scalar(priceOf, {{":s", day(-30)}, {":p", other}, {":p2", other}}).toDouble(), 5.0);
    QCOMPARE(dayValue("PRECO").toDouble(), 10.5);    // 12.35 less 15 %: 1.85 off
    QCOMPARE(dayValue("PRECODLV").toDouble(), 10.8); // its base did not change
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                    "CDTABEPREC = '001' AND DTINIVGPREC = :s AND VRCUSTITEM > VRPRECITEM",
                    {{":s", day(-30)}})
                 .toInt(),
             0);
    QCOMPARE(column("SELECT VRPRECITEM FROM ITEMPRECO WHERE DTINIVGPREC <> :s ORDER BY "
                    "CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, CDPRPAITABPR",
                    {{":s", day(-30)}}),
             otherPeriod);
}

PRX_SERVER_TEST_MAIN(TestDayPriceMethods)
#include "tst_daypricemethods.moc"

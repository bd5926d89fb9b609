// Differentiated prices on the server: the clash check, the prices stored
// with them, the bulk raise of consumer prices.
#include "ServerTestBase.h"
#include "methods/DayPriceRecompute.h"
#include "money/DayPrice.h"

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
    // The database's price functions give, from stored values, exactly what
    // the screen's routine gives: cuts toward zero, six-place values rounded
    // half up, limits, nulls and unknown codes.
    void priceFunctionsMatchTheRoutine_data();
    void priceFunctionsMatchTheRoutine();

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

void TestDayPriceMethods::priceFunctionsMatchTheRoutine_data()
{
    // Item price, subsidy, amount, codes; the amount also stands as a
    // resulting price for the limits, the item price for the raise.
    QTest::addColumn<QVariant>("item");
    QTest::addColumn<QVariant>("subsidy");
    QTest::addColumn<QVariant>("amount");
    QTest::addColumn<QString>("rule");
    const QVariant none(QMetaType::fromType<double>());
    struct Case
    {
        const char *name;
        QVariant item, subsidy, amount;
        const char *rule;
    };
    const Case cases[] = {
        {"percentage off, binary trap", 1.4, none, 10.0, "PD"},
        {"percentage change cut", 9.99, none, 33.33, "PD"},
        {"percentage increase cut", 0.07, 0.01, 12.5, "PA"},
        {"negative base cut toward zero", -5.55, none, 12.5, "PA"},
        {"six-place base and subsidy", 1.234567, 0.005, 7.5, "PD"},
        {"above 100 percent", 10.0, none, 150.0, "PD"},
        {"large percentage", 1e14, none, 100.0, "PA"},
        {"fixed amount kept whole", 10.0, none, 0.125, "VD"},
        {"fixed sum, binary trap", 3.3, 0.1, 0.2, "VA"},
        {"seventh place rounds half up", 2.0000005, none, 0.0000015, "VA"},
        {"negative seventh place", -2.0000005, none, 1.0, "VD"},
        {"sixteen digits", 123456789.1234565, none, 1.0, "VA"},
        {"below a millionth", 1e-7, none, 50.0, "PD"},
        {"just below the limit", 999999999999998.0, none, 1.0, "VA"},
        {"item at the limit", 999999999999999.0, none, 0.0, "VA"},
        {"subsidy takes base to the limit", 999999999999990.0, 9.0, 1.0, "VA"},
        {"amount at the limit", 5.0, none, 999999999999999.0, "VD"},
        {"far past every limit", 1e300, none, 1e300, "PA"},
        {"no item price", none, 1.0, 5.0, "VA"},
        {"no amount", 8.5, none, none, "PD"},
        {"unknown codes", 8.5, none, 5.0, "XA"},
        {"lower-case codes", 8.5, none, 5.0, "pd"},
        {"price twice its base", 10.0, none, 20.0, "VA"},
        {"price just under twice", 10.0, 0.005, 20.0, "VA"},
        {"zero price", 10.0, none, 0.0, "VD"},
    };
    for (const Case &c : cases)
        QTest::newRow(c.name) << c.item << c.subsidy << c.amount << QString::fromLatin1(c.rule);
}

void TestDayPriceMethods::priceFunctionsMatchTheRoutine()
{
    QFETCH(QVariant, item);
    QFETCH(QVariant, subsidy);
    QFETCH(QVariant, amount);
    QFETCH(QString, rule);
    registerPriceFunctions(storage());
    // Through a table, so both sides compute from the doubles as stored.
    storage().execDirect("CREATE TEMPORARY TABLE PRXCASO (ITEM DOUBLE PRECISION, SUB DOUBLE "
                         "PRECISION, AMT DOUBLE PRECISION, PV VARCHAR(1), DA VARCHAR(1))");
    const auto dropped = qScopeGuard([&] { storage().execDirect("DROP TABLE PRXCASO"); });
    scalar("INSERT INTO PRXCASO VALUES (:i, :s, :a, :pv, :da)", {{":i", item},
                                                                 {":s", subsidy},
                                                                 {":a", amount},
                                                                 {":pv", rule.left(1)},
                                                                 {":da", rule.mid(1)}});
    const QVariantList stored =
        column("SELECT ITEM FROM PRXCASO UNION ALL SELECT SUB FROM PRXCASO UNION ALL "
               "SELECT AMT FROM PRXCASO UNION ALL SELECT prx_preco_dia(ITEM, SUB, AMT, PV, DA) "
               "FROM PRXCASO UNION ALL SELECT prx_preco_aceito(AMT, ITEM, SUB) FROM PRXCASO "
               "UNION ALL SELECT prx_acima_centavo(ITEM) FROM PRXCASO");
    QCOMPARE(stored.size(), 6);
    auto real = [](const QVariant &v) {
        return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
    };
    auto text = [](const std::optional<Decimal> &v) {
        return v ? QString::number(v->toDouble(), 'g', 17) : QStringLiteral("nulo");
    };
    const std::optional<double> i = real(stored[0]), s = real(stored[1]), a = real(stored[2]);
    const std::optional<Decimal> price = storedDayPrice(i, s, a, rule.left(1), rule.mid(1));
    const std::optional<Decimal> p = a ? storedDecimal(*a) : std::nullopt;
    const std::optional<Decimal> b = i ? storedDecimal(*i) : std::nullopt;
    const std::optional<Decimal> sub = s ? storedDecimal(*s) : Decimal();
    const bool accepted = p && b && sub && dayPriceAcceptable(*p, *b + *sub);
    const std::optional<Decimal> raised =
        b ? std::optional<Decimal>(dayprice::raisedPrice(*b)) : std::nullopt;
    auto sql = [&](int n) {
        return stored[n].isNull() ? QStringLiteral("nulo")
                                  : QString::number(stored[n].toDouble(), 'g', 17);
    };
    QCOMPARE(sql(3), text(price));
    QCOMPARE(stored[4].toInt(), int(accepted));
    QCOMPARE(sql(5), text(raised));
}

PRX_SERVER_TEST_MAIN(TestDayPriceMethods)
#include "tst_daypricemethods.moc"

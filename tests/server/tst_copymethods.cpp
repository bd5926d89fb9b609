// Automatic differentiated prices and the copy of one product's
// differentiated prices to others.
#include "ServerTestBase.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlRecord>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

namespace {

using Binds = QList<std::pair<QString, QVariant>>;

} // namespace

class TestCopyMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void initTestCase();
    // Each day flag gives exactly its day code; "all days" gives only "T".
    void dayMapping_data();
    void dayMapping();
    // A second identical run replaces rows instead of adding; hours typed
    // "hh:mm" are stored as four digits; the result is the screen's price;
    // products the screen would refuse are skipped and counted.
    void generationReplacesAndSkips();
    // Refused calls write nothing.
    void generationRefusals_data();
    void generationRefusals();
    // The offered products: priced in the period, base left out.
    void offeredProducts();
    // Prices follow the target's own base; a target that cannot take them is
    // untouched and reported; the base is never a target.
    void copyRecomputesAndReports();
    // A base without differentiated prices must not wipe the targets.
    void copyFromBaseWithoutPrices();
    // The copies lie inside the period even when the base's rules do not
    // (the period was shortened after they were typed).
    void copyCutsValidity_data();
    void copyCutsValidity();
    // A database failure half-way leaves every differentiated price as it was.
    void failureHalfWayWritesNothing_data();
    void failureHalfWayWritesNothing();

private:
    QVariantList genArgs(const QString &mode, const QStringList &products) const;
    QByteArray dayChecksum();
    void setItem(const QString &product, const QVariant &price, const QVariant &delivery = {});
    QString product(int n); // the n-th own priced product of the period, by tree code
    QStringList productCodes;
};

void TestCopyMethods::initTestCase()
{
    ServerTestBase::initTestCase();
    productCodes = ownPricedProducts();
    QVERIFY(productCodes.size() > 10);
}

QString TestCopyMethods::product(int n)
{
    return productCodes.value(n);
}

QVariantList TestCopyMethods::genArgs(const QString &mode, const QStringList &products) const
{
    // Monday only, percentage discount of 10, 17:30 to 19:00, the whole
    // period, all consumer types.
    return {false,
            false,
            false,
            false,
            true,
            false,
            false,
            false,
            false,
            false,
            mode == u"L",
            mode == u"T",
            mode == u"I",
            0,
            1,
            "0001",
            "001",
            products.value(1),
            products.value(0),
            "17:30",
            "19:00",
            day(-30),
            day(29),
            day(-30),
            10.0,
            QString(),
            QVariant::fromValue(std::make_shared<DataPacket>()),
            "T",
            1};
}

QByteArray TestCopyMethods::dayChecksum()
{
    QSqlQuery q = storage().prepare(
        "SELECT CDFILIAL, CDTABEPREC, CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, "
        "HRINIPRECDIA, HRFINPRECDIA, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, "
        "VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, "
        "IDTPMODCMD FROM ITEMPRECODIA ORDER BY 1, 2, 3, 4, 5, 6, 7, 8");
    storage().exec(q, "checksum");
    QCryptographicHash hash(QCryptographicHash::Sha1);
    while (q.next()) {
        for (int i = 0; i < q.record().count(); ++i)
            hash.addData(q.value(i).toString().toUtf8() + '|');
    }
    return hash.result().toHex();
}

void TestCopyMethods::setItem(const QString &code, const QVariant &price, const QVariant &delivery)
{
    scalar("UPDATE ITEMPRECO SET VRPRECITEM = :p, VRPRECITEMDLV = :d, VRPRECITEMCL = 0 WHERE "
           "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = :c AND "
           "CDPRPAITABPR = :c2",
           {{":p", price}, {":d", delivery}, {":s", day(-30)}, {":c", code}, {":c2", code}});
}

void TestCopyMethods::dayMapping_data()
{
    QTest::addColumn<int>("flag");
    QTest::addColumn<QString>("days");
    QTest::newRow("todos os dias, com segunda") << 0 << "T";
    const char *codes[] = {"V", "F", "1", "2", "3", "4", "5", "6", "7"};
    for (int f = 1; f <= 9; ++f)
        QTest::newRow(codes[f - 1]) << f << QString::fromLatin1(codes[f - 1]);
}

void TestCopyMethods::dayMapping()
{
    QFETCH(int, flag);
    QFETCH(QString, days);
    const QString code = product(2);
    QVariantList args = genArgs("L", {});
    for (int f = 0; f < 10; ++f)
        args[f] = f == flag;
    if (flag == 0)
        args[4] = true; // a weekday checked too is not sent as its own row
    args[25] = productList({code});
    args[19] = QStringLiteral("0800");
    args[20] = QStringLiteral("0801");
    const Outcome out = call("SetPrecDif", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QVariantList written =
        column("SELECT NRDIASEMANPR FROM ITEMPRECODIA WHERE CDPRODUTO = :c AND HRINIPRECDIA = "
               "'0800' AND HRFINPRECDIA = '0801'",
               {{":c", code}});
    QCOMPARE(written.size(), 1);
    QCOMPARE(written.first().toString(), days);
    scalar("DELETE FROM ITEMPRECODIA WHERE HRINIPRECDIA = '0800'");
}

void TestCopyMethods::generationReplacesAndSkips()
{
    const QString a = product(3), b = product(4), cheap = product(5);
    setItem(a, 10.0);
    setItem(b, 20.0);
    setItem(cheap, 3.0);
    QVariantList args = genArgs("I", {a, b});
    // The interval takes tree codes, sent final first.
    args[18] = scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :c", {{":c", a}});
    args[17] = scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :c", {{":c", cheap}});
    args[14] = 0; // a fixed discount of 5
    args[24] = 5.0;
    const QString count = "SELECT COUNT(*) FROM ITEMPRECODIA";
    const int before = scalar(count).toInt();
    Outcome out = call("SetPrecDif", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.toList().value(1).toInt(), 1); // 3 - 5 is refused
    const int once = scalar(count).toInt();
    QCOMPARE(once, before + 2);
    const QString price = "SELECT PRECO FROM ITEMPRECODIA WHERE CDPRODUTO = :c AND HRINIPRECDIA = "
                          "'1730' AND HRFINPRECDIA = '1900' AND NRDIASEMANPR = '2'";
    QCOMPARE(scalar(price, {{":c", a}}).toDouble(), 5.0);
    QCOMPARE(scalar(price, {{":c", b}}).toDouble(), 15.0);
    QVERIFY(scalar(price, {{":c", cheap}}).isNull());

    args[14] = 1; // the same key with 15 % replaces the rows
    args[24] = 15.0;
    args[19] = QStringLiteral("1730");
    out = call("SetPrecDif", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(scalar(count).toInt(), once + 1); // the cheap one now takes it
    QCOMPARE(scalar(price, {{":c", b}}).toDouble(), 17.0);
    QCOMPARE(scalar(price, {{":c", cheap}}).toDouble(), 2.55);
}

void TestCopyMethods::generationRefusals_data()
{
    QTest::addColumn<int>("arg");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("message");
    QTest::newRow("intervalo invertido")
        << 17 << QVariant("00") << "Produto inicial deve ser menor ou igual que produto final.";
    QTest::newRow("hora invertida")
        << 20 << QVariant("17:29") << "Horário Inicial deve ser menor ou igual ao Horário Final";
    QTest::newRow("hora inválida") << 19 << QVariant("25:00") << "Horário inicial inválido";
    QTest::newRow("validade antes da vigência")
        << 21 << QVariant(day(-31)) << "Data Inicial de Validade deve ser maior ou igual";
    QTest::newRow("validade depois da vigência")
        << 22 << QVariant(day(30)) << "Data Final de Validade deve ser menor ou igual";
    QTest::newRow("percentual 100")
        << 24 << QVariant(100.0) << "O percentual de desconto deve estar entre 0 e 100.";
    QTest::newRow("valor zero") << 24 << QVariant(0.0) << "Valor informado deve ser maior";
    QTest::newRow("sem dia") << 4 << QVariant(false) << "Dia da Semana deve ser informado.";
    QTest::newRow("tipo de consumidor") << 27 << QVariant("ZZ") << "Tipo de consumidor não";
}

void TestCopyMethods::generationRefusals()
{
    QFETCH(int, arg);
    QFETCH(QVariant, value);
    QFETCH(QString, message);
    QVariantList args = genArgs("I", {});
    args[18] = QStringLiteral("01");
    args[17] = QStringLiteral("99");
    args[arg] = value;
    const QByteArray before = dayChecksum();
    const Outcome out = call("SetPrecDif", args);
    QVERIFY(!out.ok);
    QVERIFY2(out.message.startsWith(message), qPrintable(out.message));
    QCOMPARE(dayChecksum(), before);
}

void TestCopyMethods::offeredProducts()
{
    const QString base = product(0);
    const DataPacketPtr p = read("getProdutosCopia", {"0001", "001", base, day(-30)});
    QVERIFY(p);
    QStringList offered;
    for (int r = 0; r < p->rowCount(); ++r)
        offered << value(*p, r, "CDPRODUTO").toString();
    QStringList expected = productCodes;
    expected.removeAll(base);
    // Products priced without a consumer price are offered too.
    for (const QVariant &v :
         column("SELECT I.CDPRODUTO FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND "
                "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND I.CDPRPAITABPR = I.CDPRODUTO "
                "AND I.VRPRECITEM IS NULL",
                {{":s", day(-30)}}))
        expected << v.toString();
    QCOMPARE(offered.size(), expected.size());
    QVERIFY(!offered.contains(base));
    QCOMPARE(p->fields().at(p->indexOf(u"NMPRODUTO")).size, 50);
}

void TestCopyMethods::copyRecomputesAndReports()
{
    const QString base = product(6), target = product(7), cheap = product(8),
                  noDelivery = product(9), other = product(10);
    setItem(base, 10.0, 10.0);
    setItem(target, 20.0, 30.0);
    setItem(cheap, 3.0, 3.0);
    setItem(noDelivery, 20.0);
    scalar("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO IN (:a, :b, :c, :d)",
           {{":a", base}, {":b", target}, {":c", cheap}, {":d", noDelivery}});
    // A discount of the base's, stored with the prices it gives on 10,00.
    auto rule = [&](const QString &weekday, const QString &pv, double general, double delivery,
                    const QString &dlv, double price, const QVariant &deliveryPrice) {
        scalar("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
               "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
               "VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, IDVISUACUPOM, IDTPMODGERAL, "
               "IDTPMODDLV, IDTPMODCMD) VALUES ('0001', '001', :s, :p, :p2, 'T', :d, '1000', "
               "'1200', :s2, :e, :pv, 'D', :g, :l, 0, :pg, :pl, 'N', 'S', :dlv, 'N')",
               {{":s", day(-30)},
                {":p", base},
                {":p2", base},
                {":d", weekday},
                {":s2", day(-30)},
                {":e", day(29)},
                {":pv", pv},
                {":g", general},
                {":l", delivery},
                {":dlv", dlv},
                {":pg", price},
                {":pl", deliveryPrice}});
    };
    rule("2", "P", 15, 0, "N", 8.5, QVariant(QMetaType::fromType<double>()));
    // The target had its own rows; they go.
    scalar("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
           "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, "
           "IDPERVALORPR, IDDESCACREPR, VRPRECODIA) VALUES ('0001', '001', :s, :p, :p2, 'T', "
           "'5', '0900', '0930', :s2, 'V', 'D', 1)",
           {{":s", day(-30)}, {":p", target}, {":p2", target}, {":s2", day(-30)}});
    const QString untouched = "SELECT COUNT(*) FROM ITEMPRECODIA WHERE CDPRODUTO = :c";
    const int otherRows = scalar(untouched, {{":c", other}}).toInt();

    // 15 % off: 17.00 on a base of 20.
    Outcome out = call("setCopiaPreco",
                       {"0001", "001", day(-30), base, productList({target, base}), "", "L"});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.value<DataPacketPtr>()->rowCount(), 0);
    QCOMPARE(column("SELECT PRECO FROM ITEMPRECODIA WHERE CDPRODUTO = :c", {{":c", target}}),
             QVariantList{17.0});
    // The base kept its own row.
    QCOMPARE(scalar(untouched, {{":c", base}}).toInt(), 1);

    // A fixed 5 off and a delivery price: the cheap product would go below
    // zero, the other lacks a delivery price; both stay as they were.
    rule("3", "V", 5, 1, "S", 5.0, 9.0);
    out = call("setCopiaPreco",
               {"0001", "001", day(-30), base, productList({cheap, noDelivery, target}), "", "L"});
    QVERIFY2(out.ok, qPrintable(out.message));
    const DataPacketPtr errors = out.payload.value<DataPacketPtr>();
    QCOMPARE(errors->rowCount(), 2);
    QStringList reasons;
    for (int r = 0; r < errors->rowCount(); ++r)
        reasons << value(*errors, r, "DSERRO").toString();
    QVERIFY(reasons.contains("Preço diferenciado resultante menor ou igual a zero."));
    QVERIFY(reasons.contains("Produto sem preço de delivery; o produto base tem preço "
                             "diferenciado para o delivery."));
    QCOMPARE(scalar(untouched, {{":c", cheap}}).toInt(), 0);
    QCOMPARE(scalar(untouched, {{":c", noDelivery}}).toInt(), 0);
    QCOMPARE(column("SELECT PRECODLV FROM ITEMPRECODIA WHERE CDPRODUTO = :c AND "
                    "NRDIASEMANPR = '3'",
                    {{":c", target}}),
             QVariantList{29.0});
    QCOMPARE(scalar(untouched, {{":c", other}}).toInt(), otherRows);

    // The base alone as target copies nothing and deletes nothing.
    out = call("setCopiaPreco", {"0001", "001", day(-30), base, productList({base}), "", "L"});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(scalar(untouched, {{":c", base}}).toInt(), 2);
}

void TestCopyMethods::copyFromBaseWithoutPrices()
{
    const QString base = product(11);
    scalar("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO = :c", {{":c", base}});
    const QByteArray before = dayChecksum();
    const Outcome out = call("setCopiaPreco", {"0001", "001", day(-30), base, "", "", "T"});
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains("não tem preços diferenciados"), qPrintable(out.message));
    QCOMPARE(dayChecksum(), before);
}

void TestCopyMethods::copyCutsValidity_data()
{
    // The period runs from day -30 to day 29; 999: no end.
    QTest::addColumn<QList<int>>("windows");  // from, to of each base rule
    QTest::addColumn<QList<int>>("expected"); // from, to of each copy
    QTest::addColumn<QString>("error");
    QTest::newRow("inside: kept") << QList<int>{-20, -10} << QList<int>{-20, -10} << QString();
    QTest::newRow("ends past the period: cut")
        << QList<int>{20, 40} << QList<int>{20, 29} << QString();
    QTest::newRow("starts before: cut") << QList<int>{-40, 0} << QList<int>{-30, 0} << QString();
    QTest::newRow("open end: closed with the period")
        << QList<int>{10, 999} << QList<int>{10, 29} << QString();
    QTest::newRow("wholly outside: not copied")
        << QList<int>{-20, -10, 35, 45} << QList<int>{-20, -10} << QString();
    QTest::newRow("two cut to the same start: refused")
        << QList<int>{-40, 0, -35, 5} << QList<int>{} << "mesma data inicial de validade";
}

void TestCopyMethods::copyCutsValidity()
{
    QFETCH(QList<int>, windows);
    QFETCH(QList<int>, expected);
    QFETCH(QString, error);
    const QString base = product(12), target = product(13);
    setItem(base, 10.0);
    setItem(target, 20.0);
    scalar("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO IN (:a, :b)", {{":a", base}, {":b", target}});
    // The base's rules lie partly outside the period, as a save would no
    // longer let them: they go when the test ends.
    const auto baseRules = keepRows("ITEMPRECODIA", "CDPRODUTO = :a", {{":a", base}});
    for (int i = 0; i < windows.size(); i += 2) {
        scalar("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
               "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA, "
               "VRPRECODIADLV, VRPRECODIACMD, PRECO, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, "
               "IDTPMODCMD) VALUES ('0001', '001', :s, :p, :p2, 'T', '4', '1000', '1200', :f, "
               ":e, 'P', 'D', 10, 0, 0, 9, 'N', 'S', 'N', 'N')",
               {{":s", day(-30)},
                {":p", base},
                {":p2", base},
                {":f", day(windows[i])},
                {":e", windows[i + 1] == 999 ? QVariant() : QVariant(day(windows[i + 1]))}});
    }
    const QByteArray before = dayChecksum();
    const Outcome out =
        call("setCopiaPreco", {"0001", "001", day(-30), base, productList({target}), "", "L"});
    if (!error.isEmpty()) {
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(error), qPrintable(out.message));
        QCOMPARE(dayChecksum(), before);
        return;
    }
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.value<DataPacketPtr>()->rowCount(), 0);
    QStringList want;
    for (int i = 0; i < expected.size(); i += 2) {
        want << SqlDialect::dateTimeText(day(expected[i])) + u'|' +
                    SqlDialect::dateTimeText(day(expected[i + 1]));
    }
    const SqlDialect &d = storage().dialect();
    QStringList got;
    for (const QVariant &v :
         column(QString("SELECT %1 %2 '|' %2 %3 FROM ITEMPRECODIA WHERE CDPRODUTO = :c ORDER BY 1")
                    .arg(d.selectDateTime("DTINIVALPREC"), QStringLiteral("||"),
                         d.selectDateTime("DTFINVALPREC")),
                {{":c", target}}))
        got << v.toString();
    QCOMPARE(got, want);
}

void TestCopyMethods::failureHalfWayWritesNothing_data()
{
    QTest::addColumn<bool>("copy");
    QTest::newRow("geração") << false;
    QTest::newRow("cópia") << true;
}

void TestCopyMethods::failureHalfWayWritesNothing()
{
    QFETCH(bool, copy);
    const QString base = product(6);
    const QString last = productCodes.last();
    setItem(last, 50.0, 50.0);
    // The second day (or the base's second rule) of the last product fails.
    if (backend() == Backend::Sqlite) {
        storage().execDirect("CREATE TRIGGER PRXFALHA BEFORE INSERT ON ITEMPRECODIA WHEN "
                             "NEW.CDPRODUTO = '" +
                             last +
                             "' AND NEW.NRDIASEMANPR = '3' BEGIN "
                             "SELECT RAISE(ABORT, 'falha provocada'); END");
    } else {
        storage().execDirect("CREATE FUNCTION prxfalha() RETURNS trigger AS $$ BEGIN IF "
                             "NEW.CDPRODUTO = '" +
                             last +
                             "' AND NEW.NRDIASEMANPR = '3' THEN "
                             "RAISE EXCEPTION 'falha provocada'; END IF; RETURN NEW; END $$ "
                             "LANGUAGE plpgsql");
        storage().execDirect("CREATE TRIGGER PRXFALHA BEFORE INSERT ON ITEMPRECODIA FOR EACH ROW "
                             "EXECUTE FUNCTION prxfalha()");
    }
    QVariantList gen = genArgs("T", {});
    gen[5] = true; // Monday and Tuesday
    const QByteArray before = dayChecksum();
    const Outcome out = copy ? call("setCopiaPreco", {"0001", "001", day(-30), base, "", "", "T"})
                             : call("SetPrecDif", gen);
    if (backend() == Backend::Sqlite) {
        storage().execDirect("DROP TRIGGER PRXFALHA");
    } else {
        storage().execDirect("DROP TRIGGER PRXFALHA ON ITEMPRECODIA");
        storage().execDirect("DROP FUNCTION prxfalha()");
    }
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains("falha provocada"), qPrintable(out.message));
    QCOMPARE(dayChecksum(), before);
}

PRX_SERVER_TEST_MAIN(TestCopyMethods)
#include "tst_copymethods.moc"

// Price items, component prices and differentiated prices through dispatch.
#include "ServerTestBase.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>
#include <optional>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestItemMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // The item list: every leaf product of the segment, priced or not.
    void getItemPreco();
    void getItemPrecoArguments_data();
    void getItemPrecoArguments();
    // Saving an item: update, insert of an unpriced row, empty fields as null.
    void setItemPreco();
    // Bad values never reach the table.
    void setItemPrecoRefuses_data();
    void setItemPrecoRefuses();
    // A price column never takes a third decimal, from whatever client, for
    // a product or a component; a stored one sent back untouched passes.
    void pricesKeepTwoDecimals_data();
    void pricesKeepTwoDecimals();
    // Components of a composite product and their prices.
    void components();
    // Differentiated prices: list, insert, key change, duplicates, delete.
    void dayPrices();
    // Clearing a product's prices removes its row and its differentiated prices.
    void setApagaPreco();
    // A deleted item row takes its differentiated prices along.
    void setItemPrecoDelete();

private:
    DataPacketPtr items(const QString &branch = "0001", const QString &table = "001")
    {
        return read("GetItemPreco", {branch, table, "00001", "3", day(-30), "", "T"});
    }
    int pricedRow(const DataPacket &p, bool priced)
    {
        for (int r = 0; r < p.rowCount(); ++r) {
            if (p.isNull(r, p.indexOf(u"VRPRECITEM")) != priced &&
                value(p, r, "NRCOMPPROD").toDouble() == 0)
                return r;
        }
        return -1;
    }
};

void TestItemMethods::getItemPreco()
{
    const DataPacketPtr p = items();
    QStringList layout;
    for (const FieldDef &f : p->fields())
        layout << QStringLiteral("%1:%2:%3").arg(f.name, fieldTypeName(f.type)).arg(f.size);
    QCOMPARE(layout.join(u' '),
             QStringLiteral("NMPRODUTO:string:50 CDARVPROD:string:20 CDPRODUTO:string:10 "
                            "CDBARPRODUTO:string:30 VRPRECITEM:float:0 VRPRECITEMDLV:float:0 "
                            "VRPRECITEMCMD:float:0 VRPRECITEMCL:float:0 NRCOMPPROD:float:0 "
                            "IDPRECVARIA:string:1 VRPRESUGITEM:float:0 VRCUSTITEM:float:0 "
                            "VRMKUPITEM:float:0 CDFILIAL:string:4 CDTABEPREC:string:3 "
                            "CDSEGMER:string:5 CDPRPAITABPR:string:10 DTINIVGPREC:datetime:0 "
                            "IDPRODPROMOC:string:1 HRINIVENPROD:string:4 HRFIMVENPROD:string:4"));
    const QVariantList codes =
        column("SELECT P.CDARVPROD FROM PRODSEGMER S JOIN PRODUTO P ON "
               "P.CDPRODUTO = S.CDPRODUTO WHERE S.CDSEGMER = '00001' ORDER BY 1");
    QCOMPARE(p->rowCount(), codes.size());
    int priced = 0, combos = 0;
    for (int r = 0; r < p->rowCount(); ++r) {
        QCOMPARE(value(*p, r, "CDARVPROD"), codes[r]);
        const QString product = value(*p, r, "CDPRODUTO").toString();
        QCOMPARE(value(*p, r, "CDPRPAITABPR").toString(), product);
        QCOMPARE(value(*p, r, "CDFILIAL").toString(), QStringLiteral("0001"));
        QCOMPARE(value(*p, r, "DTINIVGPREC").toDateTime(), day(-30));
        const QVariant stored =
            scalar("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                   "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = :p "
                   "AND CDPRPAITABPR = :p2",
                   {{":s", day(-30)}, {":p", product}, {":p2", product}});
        QCOMPARE(value(*p, r, "VRPRECITEM").isNull(), stored.isNull());
        if (!stored.isNull()) {
            QCOMPARE(value(*p, r, "VRPRECITEM").toDouble(), stored.toDouble());
            ++priced;
        }
        const int components =
            scalar("SELECT COUNT(*) FROM PRODCOMP WHERE CDPRODUTO = :p", {{":p", product}}).toInt();
        QCOMPARE(value(*p, r, "NRCOMPPROD").toDouble(), double(components));
        combos += components > 0;
    }
    QVERIFY(priced > 0 && priced < p->rowCount());
    QVERIFY(combos > 0);
}

void TestItemMethods::getItemPrecoArguments_data()
{
    QTest::addColumn<QString>("levels");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("all");
    QTest::addColumn<int>("rows"); // -1: refused
    QTest::newRow("one-product") << "3"
                                 << "0000000001"
                                 << "" << 1;
    QTest::newRow("two-levels") << "2"
                                << ""
                                << "T" << 0;
    QTest::newRow("four-levels") << "4"
                                 << ""
                                 << "T" << -1;
    QTest::newRow("not-a-number") << "três"
                                  << ""
                                  << "T" << -1;
    QTest::newRow("padded") << " 3"
                            << ""
                            << "T" << -1;
}

void TestItemMethods::getItemPrecoArguments()
{
    QFETCH(QString, levels);
    QFETCH(QString, product);
    QFETCH(QString, all);
    QFETCH(int, rows);
    const Outcome out =
        call("GetItemPreco", {"0001", "001", "00001", levels, day(-30), product, all});
    QCOMPARE(out.ok, rows >= 0);
    if (rows >= 0)
        QCOMPARE(out.payload.value<DataPacketPtr>()->rowCount(), rows);
    else
        QCOMPARE(out.code, int(ErrorArguments));
}

void TestItemMethods::setItemPreco()
{
    DataPacketPtr p = items();
    const int priced = pricedRow(*p, true), unpriced = pricedRow(*p, false);
    QVERIFY(priced >= 0 && unpriced >= 0);
    const QString pricedCode = value(*p, priced, "CDPRODUTO").toString();
    const QString unpricedCode = value(*p, unpriced, "CDPRODUTO").toString();
    const QString name = value(*p, priced, "NMPRODUTO").toString();

    DeltaPacket d = deltaOf(*p);
    // Joined and computed fields are not columns: changing them saves nothing.
    d.changes << updateOf(*p, priced,
                          {{"VRPRECITEM", 12.34},
                           {"VRPRECITEMDLV", QVariant()},
                           {"HRINIVENPROD", ""},
                           {"NMPRODUTO", "Outro nome"},
                           {"NRCOMPPROD", 9.0}});
    d.changes << updateOf(
        *p, unpriced,
        {{"VRPRECITEM", 7.5}, {"VRPRECITEMCL", 0.0}, {"IDPRECVARIA", "N"}, {"IDPRODPROMOC", "N"}});
    const Outcome out = call("SetItemPreco", {deltaArg(d), "VRPRECITEMDLV|HRINIVENPROD|"});
    QVERIFY2(out.ok, qPrintable(out.message));

    p = items();
    const int a = findRow(*p, "CDPRODUTO", pricedCode), b = findRow(*p, "CDPRODUTO", unpricedCode);
    QCOMPARE(value(*p, a, "VRPRECITEM").toDouble(), 12.34);
    QVERIFY(value(*p, a, "VRPRECITEMDLV").isNull());
    QCOMPARE(value(*p, a, "NMPRODUTO").toString(), name);
    QCOMPARE(value(*p, b, "VRPRECITEM").toDouble(), 7.5);
    QCOMPARE(value(*p, b, "IDPRECVARIA").toString(), QStringLiteral("N"));
    // An empty hour is stored as null, not as an empty text.
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDPRODUTO = :p AND CDPRPAITABPR = :p2 "
                    "AND DTINIVGPREC = :s AND CDFILIAL = '0001' AND CDTABEPREC = '001' "
                    "AND HRINIVENPROD IS NULL",
                    {{":p", pricedCode}, {":p2", pricedCode}, {":s", day(-30)}})
                 .toInt(),
             1);

    // The new row can be saved again from what it now reads as.
    DeltaPacket again = deltaOf(*p);
    again.changes << updateOf(*p, b, {{"VRPRECITEM", 8.0}});
    QVERIFY(call("SetItemPreco", {deltaArg(again), ""}).ok);
    // Inserting a priced product is refused.
    DeltaPacket insert = deltaOf(*p);
    insert.changes << insertOf(p->fields(), {{"CDFILIAL", "0001"},
                                             {"CDTABEPREC", "001"},
                                             {"DTINIVGPREC", day(-30)},
                                             {"CDPRODUTO", pricedCode},
                                             {"VRPRECITEM", 1.0}});
    const Outcome dup = call("SetItemPreco", {deltaArg(insert), ""});
    QVERIFY(!dup.ok);
    QVERIFY2(dup.message.contains(u"já está cadastrado"), qPrintable(dup.message));
}

void TestItemMethods::setItemPrecoRefuses_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("empty");
    QTest::newRow("hour") << "HRINIVENPROD" << QVariant("2460") << "";
    QTest::newRow("flag") << "IDPRECVARIA" << QVariant("X") << "";
    QTest::newRow("nan") << "VRPRECITEM" << QVariant(std::numeric_limits<double>::quiet_NaN())
                         << "";
    QTest::newRow("inf") << "VRPRECITEMCL" << QVariant(std::numeric_limits<double>::infinity())
                         << "";
    QTest::newRow("text-price") << "VRPRECITEM" << QVariant("12") << "";
    // The grid's price limits bind other clients too.
    QTest::newRow("negative") << "VRPRECITEM" << QVariant(-0.01) << "";
    QTest::newRow("negative-client") << "VRPRECITEMCL" << QVariant(-1.0) << "";
    QTest::newRow("limit-delivery") << "VRPRECITEMDLV" << QVariant(999999999999999.0) << "";
    QTest::newRow("limit-calculated") << "VRCUSTITEM" << QVariant(1e15) << "";
    QTest::newRow("too-long") << "IDPRODPROMOC" << QVariant("SS") << "";
    QTest::newRow("bad-list") << "VRPRECITEM" << QVariant(5.0) << "VRPRECITEMDLV";
    QTest::newRow("other-parent") << "CDPRPAITABPR" << QVariant("0000000002") << "";
    QTest::newRow("other-product") << "CDPRODUTO" << QVariant("0000000002") << "";
}

void TestItemMethods::setItemPrecoRefuses()
{
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, empty);
    const DataPacketPtr p = items("0002");
    const int row = pricedRow(*p, true);
    const QString product = ServerTestBase::value(*p, row, "CDPRODUTO").toString();
    DeltaPacket d = deltaOf(*p);
    d.changes << updateOf(*p, row, {{field, value}});
    const Outcome out = call("SetItemPreco", {deltaArg(d), empty});
    QVERIFY(!out.ok);
    QVERIFY(!out.message.isEmpty());
    const DataPacketPtr after = items("0002");
    const int again = findRow(*after, "CDPRODUTO", product);
    QCOMPARE(after->rowValues(again), p->rowValues(row));
}

void TestItemMethods::pricesKeepTwoDecimals_data()
{
    QTest::addColumn<bool>("component");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("title"); // in the refusal; empty: saved
    QTest::newRow("consumer 9,876") << false << "VRPRECITEM" << 9.876 << "Preço";
    QTest::newRow("client from a sum of doubles")
        << false << "VRPRECITEMCL" << 0.1 + 0.2 << "Preço Subs.";
    QTest::newRow("order pad") << false << "VRPRECITEMCMD" << 0.005 << "Pr. Comanda";
    QTest::newRow("calculated") << false << "VRCUSTITEM" << 12.341 << "Pr. Calculado";
    QTest::newRow("two decimals pass") << false << "VRPRECITEM" << 9.87 << "";
    QTest::newRow("stored third decimal untouched") << false << "VRPRECITEM" << 5.0 << "";
    QTest::newRow("component price") << true << "VRPRECITEM" << 4.445 << "Preço";
    QTest::newRow("component client price") << true << "VRPRECITEMCL" << 0.125 << "Preço Subs.";
}

void TestItemMethods::pricesKeepTwoDecimals()
{
    QFETCH(bool, component);
    QFETCH(QString, field);
    QFETCH(double, value);
    QFETCH(QString, title);
    const QString combo = scalar("SELECT MIN(CDPRODUTO) FROM PRODCOMP").toString();
    DataPacketPtr before;
    int row = 0;
    QString product;
    std::optional<RowsKept> legacy;
    if (component) {
        before = read("GetItemPrecoComp", {"0001", "001", combo, day(-30)});
        product = ServerTestBase::value(*before, row, "CDPRODUTO").toString();
    } else {
        before = items();
        row = pricedRow(*before, true);
        product = ServerTestBase::value(*before, row, "CDPRODUTO").toString();
        // A calculated price stored before prices kept two decimals.
        const QString own = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND "
                            "CDPRODUTO = :p";
        const Binds binds{{":s", day(-30)}, {":p", product}};
        legacy.emplace(keepValues("ITEMPRECO", {"VRCUSTITEM"}, own, binds));
        scalar("UPDATE ITEMPRECO SET VRCUSTITEM = 7.777 WHERE " + own, binds);
        before = items();
    }
    DeltaPacket d = deltaOf(*before);
    d.changes << updateOf(*before, row, {{field, value}});
    const Outcome out = component ? call("SetItemPrecoComp", {deltaArg(d)})
                                  : call("SetItemPreco", {deltaArg(d), ""});
    const DataPacketPtr after =
        component ? read("GetItemPrecoComp", {"0001", "001", combo, day(-30)}) : items();
    if (title.isEmpty()) {
        QVERIFY2(out.ok, qPrintable(out.message));
        QCOMPARE(ServerTestBase::value(*after, row, field).toDouble(), value);
        return;
    }
    QVERIFY(!out.ok);
    QVERIFY2(out.message.startsWith(
                 QStringLiteral("Valor com mais de duas casas decimais em \"%1\": ").arg(title)),
             qPrintable(out.message));
    QVERIFY2(out.message.contains(product), qPrintable(out.message));
    QCOMPARE(after->rowValues(row), before->rowValues(row));
}

void TestItemMethods::components()
{
    const QString combo = scalar("SELECT MIN(CDPRODUTO) FROM PRODCOMP").toString();
    const DataPacketPtr c = read("GetItemPrecoComp", {"0001", "001", combo, day(-30)});
    QCOMPARE(c->rowCount(),
             scalar("SELECT COUNT(*) FROM PRODCOMP WHERE CDPRODUTO = :p", {{":p", combo}}).toInt());
    QCOMPARE(c->fields().size(), 11);
    for (int r = 0; r < c->rowCount(); ++r) {
        QCOMPARE(value(*c, r, "CDPRPAITABPR").toString(), combo);
        QCOMPARE(value(*c, r, "QUANTIDADE").toDouble(),
                 scalar("SELECT QTPRODCOMP FROM PRODCOMP WHERE CDPRODUTO = :p AND CDPRODCOMP = :c",
                        {{":p", combo}, {":c", value(*c, r, "CDPRODUTO")}})
                     .toDouble());
    }
    // Change one component's price; the parent's own row is untouched.
    const QVariant parentPrice =
        scalar("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDPRODUTO = :p AND "
               "CDPRPAITABPR = :p2 AND CDFILIAL = '0001' AND CDTABEPREC = '001' "
               "AND DTINIVGPREC = :s",
               {{":p", combo}, {":p2", combo}, {":s", day(-30)}});
    DeltaPacket d = deltaOf(*c);
    d.changes << updateOf(*c, 0, {{"VRPRECITEM", 4.44}, {"QUANTIDADE", 9.0}});
    QVERIFY(call("SetItemPrecoComp", {deltaArg(d)}).ok);
    const DataPacketPtr after = read("GetItemPrecoComp", {"0001", "001", combo, day(-30)});
    QCOMPARE(value(*after, 0, "VRPRECITEM").toDouble(), 4.44);
    QCOMPARE(value(*after, 0, "QUANTIDADE"), value(*c, 0, "QUANTIDADE"));
    QCOMPARE(
        scalar("SELECT VRPRECITEM FROM ITEMPRECO WHERE CDPRODUTO = :p AND CDPRPAITABPR = :p2 AND "
               "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s",
               {{":p", combo}, {":p2", combo}, {":s", day(-30)}}),
        parentPrice);
    // A product that is not a component of that parent is refused.
    DeltaPacket wrong = deltaOf(*after);
    wrong.changes << updateOf(*after, 0, {{"CDPRODUTO", combo}, {"VRPRECITEM", 1.0}});
    QVERIFY(call("SetItemPrecoComp", {deltaArg(wrong)}).message.contains(u"não é componente"));

    // Branch 0003 does not allow component prices: refused, nothing written.
    QCOMPARE(scalar("SELECT IDPRECDIFCOM FROM FILIAL WHERE CDFILIAL = '0003'").toString(),
             QStringLiteral("N"));
    const DataPacketPtr locked = read("GetItemPrecoComp", {"0003", "001", combo, day(-30)});
    QVERIFY(locked->rowCount() > 0);
    DeltaPacket forbidden = deltaOf(*locked);
    forbidden.changes << updateOf(*locked, 0, {{"VRPRECITEM", 7.77}});
    QVERIFY(call("SetItemPrecoComp", {deltaArg(forbidden)}).message.contains(u"não permite"));
    QCOMPARE(read("GetItemPrecoComp", {"0003", "001", combo, day(-30)})->rowValues(0),
             locked->rowValues(0));
}

void TestItemMethods::dayPrices()
{
    DataPacketPtr all = read("GetPrecoHora", {"0001", "001", day(-30)});
    QCOMPARE(all->fields().size(), 24);
    QCOMPARE(all->rowCount(),
             scalar("SELECT COUNT(*) FROM ITEMPRECODIA WHERE CDFILIAL = '0001' AND "
                    "CDTABEPREC = '001' AND DTINIVGPREC = :s",
                    {{":s", day(-30)}})
                 .toInt());
    const DataPacketPtr p = items();
    const int row = pricedRow(*p, true);
    const QString product = value(*p, row, "CDPRODUTO").toString();
    QVariantHash values{
        {"CDFILIAL", "0001"},       {"CDTABEPREC", "001"},     {"DTINIVGPREC", day(-30)},
        {"CDPRODUTO", product},     {"CDPRPAITABPR", product}, {"NRDIASEMANPR", "4"},
        {"IDPERVALORPR", "P"},      {"IDDESCACREPR", "D"},     {"HRINIPRECDIA", "1400"},
        {"HRFINPRECDIA", "1600"},   {"VRPRECODIA", 10.0},      {"DTINIVALPREC", day(-30)},
        {"DTFINVALPREC", day(29)},  {"CDTIPOCONSPD", "02"},    {"IDVISUACUPOM", "N"},
        {"NMTIPOCONS", "ignorado"}, {"PRECO", QVariant()}, // computed by the server
        {"VRPRECODIADLV", 0.0},     {"VRPRECODIACMD", 0.0},    {"IDTPMODGERAL", "S"},
        {"IDTPMODDLV", "N"},        {"IDTPMODCMD", "N"}};
    DeltaPacket d = deltaOf(*all);
    d.changes << insertOf(all->fields(), values);
    Outcome out = call("SetPrecoHora", {deltaArg(d)});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(call("SetPrecoHora", {deltaArg(d)}).message,
             QStringLiteral("Preço diferenciado já cadastrado para os dados informados."));

    all = read("GetPrecoHora", {"0001", "001", day(-30)});
    int mine = -1;
    for (int r = 0; r < all->rowCount(); ++r) {
        if (value(*all, r, "CDPRODUTO").toString() == product &&
            value(*all, r, "HRINIPRECDIA") == "1400")
            mine = r;
    }
    QVERIFY(mine >= 0);
    QCOMPARE(value(*all, mine, "NMTIPOCONS").toString(), QStringLiteral("Estudante"));
    // The validity start is part of the key and may change.
    DeltaPacket edit = deltaOf(*all);
    edit.changes << updateOf(
        *all, mine, {{"DTINIVALPREC", day(-10)}, {"VRPRECODIA", 12.0}, {"PRECO", QVariant()}});
    out = call("SetPrecoHora", {deltaArg(edit)});
    QVERIFY2(out.ok, qPrintable(out.message));
    // Hours in the wrong order, an unknown consumer type, an unpriced product.
    for (const QVariantHash &bad :
         {QVariantHash{{"HRINIPRECDIA", "1700"}, {"HRFINPRECDIA", "1600"}},
          QVariantHash{{"CDTIPOCONSPD", "99"}},
          QVariantHash{{"CDPRODUTO", value(*p, pricedRow(*p, false), "CDPRODUTO")},
                       {"CDPRPAITABPR", value(*p, pricedRow(*p, false), "CDPRODUTO")}}}) {
        QVariantHash v = values;
        v.insert(bad);
        v.insert("NRDIASEMANPR", "5");
        DeltaPacket refused = deltaOf(*all);
        refused.changes << insertOf(all->fields(), v);
        QVERIFY(!call("SetPrecoHora", {deltaArg(refused)}).ok);
    }
    all = read("GetPrecoHora", {"0001", "001", day(-30)});
    mine = -1;
    for (int r = 0; r < all->rowCount(); ++r) {
        if (value(*all, r, "CDPRODUTO").toString() == product &&
            value(*all, r, "HRINIPRECDIA") == "1400")
            mine = r;
    }
    QCOMPARE(value(*all, mine, "DTINIVALPREC").toDateTime(), day(-10));
    DeltaPacket remove = deltaOf(*all);
    remove.changes << deleteOf(*all, mine);
    QVERIFY(call("SetPrecoHora", {deltaArg(remove)}).ok);
    QCOMPARE(read("GetPrecoHora", {"0001", "001", day(-30)})->rowCount(), all->rowCount() - 1);
}

void TestItemMethods::setApagaPreco()
{
    const QString product =
        scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECODIA WHERE CDFILIAL = '0002' AND "
               "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = CDPRPAITABPR",
               {{":s", day(-30)}})
            .toString();
    QVERIFY(!product.isEmpty());
    auto count = [&](const char *table, int offset) {
        return scalar(QStringLiteral(
                          "SELECT COUNT(*) FROM %1 WHERE CDFILIAL = '0002' AND CDTABEPREC = '001' "
                          "AND DTINIVGPREC = :s AND CDPRODUTO = :p")
                          .arg(QLatin1String(table)),
                      {{":s", day(offset)}, {":p", product}})
            .toInt();
    };
    const int otherPeriod = count("ITEMPRECO", 30);
    const Outcome out =
        call("setApagaPreco",
             {"0002", "001", day(-30).date().toString(u"dd/MM/yyyy"), product, product});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(count("ITEMPRECO", -30), 0);
    QCOMPARE(count("ITEMPRECODIA", -30), 0);
    QCOMPARE(count("ITEMPRECO", 30), otherPeriod);
    const DataPacketPtr p = items("0002");
    QVERIFY(p->isNull(findRow(*p, "CDPRODUTO", product), p->indexOf(u"VRPRECITEM")));
}

void TestItemMethods::setItemPrecoDelete()
{
    const QString product =
        scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECODIA WHERE CDFILIAL = '0003' AND "
               "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = CDPRPAITABPR",
               {{":s", day(-30)}})
            .toString();
    QVERIFY(!product.isEmpty());
    const DataPacketPtr p = items("0003");
    DeltaPacket d = deltaOf(*p);
    d.changes << deleteOf(*p, findRow(*p, "CDPRODUTO", product));
    const Outcome out = call("SetItemPreco", {deltaArg(d), ""});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(
        scalar("SELECT COUNT(*) FROM ITEMPRECODIA WHERE CDFILIAL = '0003' AND CDTABEPREC = '001' "
               "AND DTINIVGPREC = :s AND CDPRODUTO = :p",
               {{":s", day(-30)}, {":p", product}})
            .toInt(),
        0);
    const DataPacketPtr after = items("0003");
    QVERIFY(after->isNull(findRow(*after, "CDPRODUTO", product), after->indexOf(u"VRPRECITEM")));
}

PRX_SERVER_TEST_MAIN(TestItemMethods)
#include "tst_itemmethods.moc"

// Branches, price tables and validity periods through dispatch.
#include "ServerTestBase.h"

#include "methods/MethodSupport.h"

#include <QCoreApplication>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestTableMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // Packets must carry exactly the screen's fields, or the client loads nulls.
    void packetLayouts_data();
    void packetLayouts();
    // One branch, all branches, an unknown one; segment and group as texts.
    void getFilial();
    // Insert, rename, duplicate code and delete of a table without periods.
    void setTabePrecLifecycle();
    // A table with periods or assignments is never deleted, nor a period of
    // an assigned table.
    void setTabePrecRefusesDeletion_data();
    void setTabePrecRefusesDeletion();
    // A saved table's code and a saved period's start are never changed by
    // an update, whoever sends it.
    void keysNeverChange_data();
    void keysNeverChange();
    // A period sent without an end still may not start inside another.
    void openEndedPeriodInsideAnotherRefused();
    // A new period without a state starts pending; a bad range is refused.
    void setTabeVendInsertAndUpdate();
    // Deleting a period takes its items, component and differentiated prices.
    void setTabeVendDeleteCascades();
    // An end moved before the validity of differentiated prices is refused,
    // naming their products and rows, until those are shortened first.
    void shorterEndKeepsDayPricesInside_data();
    void shorterEndKeepsDayPricesInside();
    // A period save that sets the state to approved is held to the tax
    // rates the approval demands.
    void periodSaveApprovesOnlyWithTaxRates_data();
    void periodSaveApprovesOnlyWithTaxRates();
    // The checks the screen makes before saving a period.
    void periodChecks();
    void overlap_data();
    void overlap();
    // The four assignment lists, in their order.
    void getVeriVing_data();
    void getVeriVing();
    // Approval state changes and the products without tax rate.
    void approval();
    // Which state changes the server takes, whatever a client sends.
    void approvalTransitions_data();
    void approvalTransitions();
};

void TestTableMethods::packetLayouts_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("layout");
    QTest::newRow("filial")
        << "GetFilial" << QVariantList{"0001", ""}
        << "CDFILIAL string 4,NMFILIAL string 30,CDSEGMER string 5,SEGMENTO string 48,"
           "IDPRECDIFCOM string 1,CDGRPRODPDV string 10,GRUPOPROD string 53,"
           "IDUTMODPRODFIL string 1";
    QTest::newRow("tabeprec") << "GetTabePrec" << QVariantList{"0001"}
                              << "CDFILIAL string 4,CDTABEPREC string 3,NMTABEPREC string 20";
    QTest::newRow("verif") << "GetVerifTabePrec" << QVariantList{"0001", "001"}
                           << "CDTABEPREC string 3";
    QTest::newRow("tabevend")
        << "GetTabeVend" << QVariantList{"0001", "001"}
        << "CDTABEPREC string 3,DTINIVGPREC datetime 0,DTFINVGPREC datetime 0,"
           "CDFILIAL string 4,IDSITVGPREC string 10,NMTABEPREC string 20";
    QTest::newRow("maxdtfin") << "GetMaxDtFinVg" << QVariantList{"0001", "001"}
                              << "DTFINVGPREC datetime 0";
    QTest::newRow("pesq") << "GetPesqDataVigente" << QVariantList{"0001", "001", day(-30)}
                          << "DTINIVGPREC datetime 0,DTFINVGPREC datetime 0";
}

void TestTableMethods::packetLayouts()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(QString, layout);
    const DataPacketPtr p = read(method, args);
    QStringList got;
    for (const FieldDef &f : p->fields())
        got << QStringLiteral("%1 %2 %3").arg(f.name, fieldTypeName(f.type)).arg(f.size);
    QCOMPARE(got.join(u','), layout);
    QVERIFY(p->rowCount() > 0);
}

void TestTableMethods::getFilial()
{
    const DataPacketPtr one = read("GetFilial", {"0001", ""});
    QCOMPARE(one->rowCount(), 1);
    QCOMPARE(value(*one, 0, "NMFILIAL").toString(),
             scalar("SELECT NMFILIAL FROM FILIAL WHERE CDFILIAL = '0001'").toString());
    const QString segment = value(*one, 0, "CDSEGMER").toString();
    QCOMPARE(value(*one, 0, "SEGMENTO").toString(),
             segment + " - " +
                 scalar("SELECT NMSEGMER FROM SEGMER WHERE CDSEGMER = :s", {{":s", segment}})
                     .toString());
    QVERIFY(value(*one, 0, "GRUPOPROD")
                .toString()
                .startsWith(value(*one, 0, "CDGRPRODPDV").toString() + " - "));
    QCOMPARE(read("GetFilial", {"", "T"})->rowCount(),
             scalar("SELECT COUNT(*) FROM FILIAL").toInt());
    QCOMPARE(read("GetFilial", {"9999", ""})->rowCount(), 0);
}

void TestTableMethods::setTabePrecLifecycle()
{
    const DataPacketPtr tables = read("GetTabePrec", {"0002"});
    DeltaPacket insert = deltaOf(*tables);
    insert.changes << insertOf(
        tables->fields(), {{"CDFILIAL", "0002"}, {"CDTABEPREC", "050"}, {"NMTABEPREC", "Eventos"}});
    QVERIFY(call("SetTabePrec", {deltaArg(insert)}).ok);
    // The same code again: refused, nothing written twice.
    const Outcome twice = call("SetTabePrec", {deltaArg(insert)});
    QVERIFY(!twice.ok);
    QCOMPARE(twice.message, QStringLiteral("Tabela de preço já cadastrada."));
    QCOMPARE(read("GetVerifTabePrec", {"0002", "050"})->rowCount(), 1);

    DataPacketPtr now = read("GetTabePrec", {"0002"});
    int row = findRow(*now, "CDTABEPREC", "050");
    DeltaPacket rename = deltaOf(*now);
    rename.changes << updateOf(*now, row, {{"NMTABEPREC", "Eventos Corporativos"}});
    QVERIFY(call("SetTabePrec", {deltaArg(rename)}).ok);
    // A blank name is refused.
    now = read("GetTabePrec", {"0002"});
    row = findRow(*now, "CDTABEPREC", "050");
    QCOMPARE(value(*now, row, "NMTABEPREC").toString(), QStringLiteral("Eventos Corporativos"));
    DeltaPacket blank = deltaOf(*now);
    blank.changes << updateOf(*now, row, {{"NMTABEPREC", "  "}});
    QCOMPARE(call("SetTabePrec", {deltaArg(blank)}).message,
             QStringLiteral("Nome deve ser informado."));

    DeltaPacket remove = deltaOf(*now);
    remove.changes << deleteOf(*now, row);
    const Outcome removed = call("SetTabePrec", {deltaArg(remove)});
    QVERIFY2(removed.ok, qPrintable(removed.message));
    QCOMPARE(read("GetVerifTabePrec", {"0002", "050"})->rowCount(), 0);
}

void TestTableMethods::setTabePrecRefusesDeletion_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("message");
    QTest::newRow("periods") << "001"
                             << "possui períodos de vigência";
    QTest::newRow("assigned") << "002"
                              << "está parametrizada";
}

void TestTableMethods::setTabePrecRefusesDeletion()
{
    QFETCH(QString, table);
    QFETCH(QString, message);
    if (table == u"002") {
        // Its periods are in use: none can be deleted.
        const DataPacketPtr periods = read("GetTabeVend", {"0001", "002"});
        DeltaPacket d = deltaOf(*periods);
        d.changes << deleteOf(*periods, 0);
        const Outcome refused = call("SetTabeVend", {deltaArg(d)});
        QVERIFY(refused.message.contains(u"parametrizada"));
        QCOMPARE(read("GetTabeVend", {"0001", "002"})->rowCount(), periods->rowCount());
        // Without periods, the assignments alone must still keep the table.
        for (const char *priced : {"ITEMPRECODIA", "ITEMPRECO", "TABEVEND"}) {
            storage().execDirect(QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '0001' AND "
                                                "CDTABEPREC = '002'")
                                     .arg(QLatin1String(priced)));
        }
    }
    const DataPacketPtr tables = read("GetTabePrec", {"0001"});
    DeltaPacket d = deltaOf(*tables);
    d.changes << deleteOf(*tables, findRow(*tables, "CDTABEPREC", table));
    const Outcome out = call("SetTabePrec", {deltaArg(d)});
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(message), qPrintable(out.message));
    QCOMPARE(read("GetVerifTabePrec", {"0001", table})->rowCount(), 1);
}

void TestTableMethods::keysNeverChange_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("writer");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("table code") << "GetTabePrec" << "SetTabePrec" << "CDTABEPREC"
                                << QVariant("077");
    QTest::newRow("table branch") << "GetTabePrec" << "SetTabePrec" << "CDFILIAL"
                                  << QVariant("0002");
    QTest::newRow("period start") << "GetTabeVend" << "SetTabeVend" << "DTINIVGPREC"
                                  << QVariant(day(400));
}

void TestTableMethods::keysNeverChange()
{
    QFETCH(QString, reader);
    QFETCH(QString, writer);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    const QVariantList args = reader == u"GetTabePrec" ? QVariantList{"0001"}
                                                       : QVariantList{"0001", "001"};
    const DataPacketPtr before = read(reader, args);
    DeltaPacket d = deltaOf(*before);
    d.changes << updateOf(*before, 0, {{field, value}});
    const Outcome out = call(writer, {deltaArg(d)});
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(u"não pode ser alterado"), qPrintable(out.message));
    const DataPacketPtr after = read(reader, args);
    QCOMPARE(after->rowCount(), before->rowCount());
    QCOMPARE(after->rowValues(0), before->rowValues(0));
}

void TestTableMethods::openEndedPeriodInsideAnotherRefused()
{
    // Branch 0003, table 001: [-90,-31], [-30,29], [30,119].
    const DataPacketPtr periods = read("GetTabeVend", {"0003", "001"});
    QVERIFY(call("getTabePrecData", {"0003", "001", day(10), day(10)}).payload.toBool());
    DeltaPacket d = deltaOf(*periods);
    d.changes << insertOf(periods->fields(),
                          {{"CDFILIAL", "0003"}, {"CDTABEPREC", "001"}, {"DTINIVGPREC", day(10)}});
    const Outcome out = call("SetTabeVend", {deltaArg(d)});
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(u"conflito"), qPrintable(out.message));
    QCOMPARE(read("GetVerifTabeVend", {"0003", "001", day(10)})->rowCount(), 0);
}

void TestTableMethods::setTabeVendInsertAndUpdate()
{
    const DataPacketPtr periods = read("GetTabeVend", {"0002", "001"});
    const int before = periods->rowCount();
    DeltaPacket d = deltaOf(*periods);
    d.changes << insertOf(periods->fields(), {{"CDFILIAL", "0002"},
                                              {"CDTABEPREC", "001"},
                                              {"DTINIVGPREC", day(120)},
                                              {"DTFINVGPREC", day(150)}});
    const Outcome out = call("SetTabeVend", {deltaArg(d)});
    QVERIFY2(out.ok, qPrintable(out.message));
    DataPacketPtr after = read("GetTabeVend", {"0002", "001"});
    QCOMPARE(after->rowCount(), before + 1);
    const int row = after->rowCount() - 1;
    QCOMPARE(value(*after, row, "IDSITVGPREC").toString(), QStringLiteral("1"));
    QCOMPARE(value(*after, row, "NMTABEPREC").toString(),
             value(*after, 0, "NMTABEPREC").toString());
    // The same start twice is refused.
    QCOMPARE(call("SetTabeVend", {deltaArg(d)}).message,
             QStringLiteral("Data inicial de vigência já cadastrada."));
    QCOMPARE(read("GetVerifTabeVend", {"0002", "001", day(120)})->rowCount(), 1);

    // An end before the start is refused; a later end is saved, state kept.
    DeltaPacket bad = deltaOf(*after);
    bad.changes << updateOf(*after, row, {{"DTFINVGPREC", day(110)}});
    QVERIFY(call("SetTabeVend", {deltaArg(bad)})
                .message.startsWith(u"Data final de vigência deve ser maior"));
    DeltaPacket good = deltaOf(*after);
    good.changes << updateOf(*after, row, {{"DTFINVGPREC", day(160)}, {"IDSITVGPREC", QVariant()}});
    QVERIFY(call("SetTabeVend", {deltaArg(good)}).ok);
    after = read("GetTabeVend", {"0002", "001"});
    QCOMPARE(value(*after, row, "DTFINVGPREC").toDateTime(), day(160));
    QCOMPARE(value(*after, row, "IDSITVGPREC").toString(), QStringLiteral("1"));
    QCOMPARE(read("GetMaxDtFinVg", {"0002", "001"})->dateTime(0, 0), day(160));
}

void TestTableMethods::setTabeVendDeleteCascades()
{
    auto count = [&](const char *table, const QDateTime &start) {
        return scalar(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE CDFILIAL = '0001' AND "
                                     "CDTABEPREC = '001' AND DTINIVGPREC = :s")
                          .arg(QLatin1String(table)),
                      {{":s", start}})
            .toInt();
    };
    QVERIFY(count("ITEMPRECO", day(-90)) > 0);
    QVERIFY(count("ITEMPRECODIA", day(-90)) > 0);
    QVERIFY(scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' "
                   "AND DTINIVGPREC = :s AND CDPRODUTO <> CDPRPAITABPR",
                   {{":s", day(-90)}})
                .toInt() > 0);
    const int otherItems = count("ITEMPRECO", day(-30));

    const DataPacketPtr periods = read("GetTabeVend", {"0001", "001"});
    int row = -1;
    for (int r = 0; r < periods->rowCount(); ++r) {
        if (value(*periods, r, "DTINIVGPREC").toDateTime() == day(-90))
            row = r;
    }
    QVERIFY(row >= 0);
    DeltaPacket d = deltaOf(*periods);
    d.changes << deleteOf(*periods, row);
    const Outcome out = call("SetTabeVend", {deltaArg(d)});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(count("TABEVEND", day(-90)), 0);
    QCOMPARE(count("ITEMPRECO", day(-90)), 0);
    QCOMPARE(count("ITEMPRECODIA", day(-90)), 0);
    QCOMPARE(count("ITEMPRECO", day(-30)), otherItems);
}

void TestTableMethods::shorterEndKeepsDayPricesInside_data()
{
    QTest::addColumn<bool>("shortenFirst"); // the differentiated prices' validity, by hand
    // Branch 0001, table 001, the period from day -30 to day 29, whose
    // differentiated prices the demo made cover it whole, ends on day 10.
    QTest::newRow("prices past the new end: refused") << false;
    QTest::newRow("prices shortened first: saved") << true;
}

void TestTableMethods::shorterEndKeepsDayPricesInside()
{
    QFETCH(bool, shortenFirst);
    const QString period = "CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s";
    const Binds start{{":s", day(-30)}};
    const auto periodKept = keepRows("TABEVEND", period, start);
    const auto pricesKept = keepRows("ITEMPRECODIA", period, start);
    const Binds end{{":e", day(10)}, {":e2", day(10)}};
    if (shortenFirst) {
        scalar("DELETE FROM ITEMPRECODIA WHERE " + period + " AND DTINIVALPREC > :e",
               start + end.mid(0, 1));
        scalar("UPDATE ITEMPRECODIA SET DTFINVALPREC = :e WHERE " + period +
                   " AND DTFINVALPREC > :e2",
               start + end);
    }
    // Rows and products past the new end, by tree code.
    const QVariantList past =
        column("SELECT P.CDARVPROD FROM ITEMPRECODIA D JOIN PRODUTO P ON "
               "P.CDPRODUTO = D.CDPRPAITABPR WHERE D.CDFILIAL = '0001' AND D.CDTABEPREC = '001' "
               "AND D.DTINIVGPREC = :s AND (D.DTINIVALPREC > :e OR D.DTFINVALPREC > :e2) "
               "ORDER BY 1",
               start + end);
    QCOMPARE(past.isEmpty(), shortenFirst);

    const DataPacketPtr periods = read("GetTabeVend", {"0001", "001"});
    int at = -1;
    for (int r = 0; r < periods->rowCount(); ++r) {
        if (value(*periods, r, "DTINIVGPREC").toDateTime() == day(-30))
            at = r;
    }
    QVERIFY(at >= 0);
    DeltaPacket d = deltaOf(*periods);
    d.changes << updateOf(*periods, at, {{"DTFINVGPREC", day(10)}});
    const Outcome out = call("SetTabeVend", {deltaArg(d)});
    const QDateTime stored =
        value(*read("GetTabeVend", {"0001", "001"}), at, "DTFINVGPREC").toDateTime();
    if (shortenFirst) {
        QVERIFY2(out.ok, qPrintable(out.message));
        QCOMPARE(stored, day(10));
        return;
    }
    QVERIFY(!out.ok);
    QCOMPARE(stored, day(29));
    const QString first = past[0].toString();
    const int firstRows = int(past.count(past[0]));
    QVERIFY2(out.message.startsWith(
                 QStringLiteral("Operação bloqueada! %1 preços diferenciados dos produtos "
                                "%2.%3.%4 (%5)")
                     .arg(past.size())
                     .arg(first.left(2), first.mid(2, 2), first.mid(4))
                     .arg(firstRows)),
             qPrintable(out.message));
    QVERIFY2(out.message.contains(" têm validade após a nova data final da vigência, " +
                                  dateText(day(10)) +
                                  ". Reduza a validade desses preços diferenciados ou exclua-os "
                                  "antes de alterar a data final."),
             qPrintable(out.message));
}

void TestTableMethods::periodSaveApprovesOnlyWithTaxRates_data()
{
    QTest::addColumn<bool>("ratesComplete");
    QTest::newRow("products without a rate: refused") << false;
    QTest::newRow("every rate: saved") << true;
}

void TestTableMethods::periodSaveApprovesOnlyWithTaxRates()
{
    QFETCH(bool, ratesComplete);
    // Branch 0002, table 001: the coming period is confirmed and prices
    // products the branch has no rate for.
    const Binds start{{":s", day(30)}};
    const auto periodKept = keepRows(
        "TABEVEND", "CDFILIAL = '0002' AND CDTABEPREC = '001' AND DTINIVGPREC = :s", start);
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0002'");
    const QString missing =
        "SELECT P.CDARVPROD FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO WHERE "
        "I.CDFILIAL = '0002' AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
        "I.CDPRODUTO = I.CDPRPAITABPR AND I.CDPRODUTO NOT IN (SELECT CDPRODUTO FROM ALIQPROD "
        "WHERE CDFILIAL = '0002') ORDER BY 1";
    const QString first = scalar(missing, start).toString();
    QVERIFY(!first.isEmpty());
    if (ratesComplete) {
        scalar("INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) SELECT '0002', CDPRODUTO, "
               "7 FROM ITEMPRECO WHERE CDFILIAL = '0002' AND CDTABEPREC = '001' AND "
               "DTINIVGPREC = :s AND CDPRODUTO = CDPRPAITABPR AND CDPRODUTO NOT IN (SELECT "
               "CDPRODUTO FROM ALIQPROD WHERE CDFILIAL = '0002')",
               start);
    }
    const DataPacketPtr periods = read("GetTabeVend", {"0002", "001"});
    int at = -1;
    for (int r = 0; r < periods->rowCount(); ++r) {
        if (value(*periods, r, "DTINIVGPREC").toDateTime() == day(30))
            at = r;
    }
    QVERIFY(at >= 0);
    QCOMPARE(value(*periods, at, "IDSITVGPREC").toString(), QStringLiteral("3"));
    DeltaPacket d = deltaOf(*periods);
    d.changes << updateOf(*periods, at, {{"IDSITVGPREC", "4"}});
    const Outcome out = call("SetTabeVend", {deltaArg(d)});
    const QString state =
        value(*read("GetTabeVend", {"0002", "001"}), at, "IDSITVGPREC").toString();
    if (ratesComplete) {
        QVERIFY2(out.ok, qPrintable(out.message));
        QCOMPARE(state, QStringLiteral("4"));
        return;
    }
    QVERIFY(!out.ok);
    QCOMPARE(state, QStringLiteral("3"));
    QVERIFY2(out.message.startsWith("O período de vigência possui produtos sem alíquota de "
                                    "imposto e não pode ser aprovado: " +
                                    first.left(2) + u'.' + first.mid(2, 2) + u'.' + first.mid(4)),
             qPrintable(out.message));
}

void TestTableMethods::periodChecks()
{
    // Periods other than the one being saved; none when the table has none.
    const DataPacketPtr others = read("GetPesqDataVigente", {"0003", "002", day(-30)});
    QCOMPARE(others->rowCount(), 2);
    for (int r = 0; r < others->rowCount(); ++r)
        QVERIFY(others->dateTime(r, 0) != day(-30));
    QCOMPARE(read("GetMaxDtFinVg", {"0003", "999"})->rowCount(), 0);
    QCOMPARE(read("GetVerifTabeVend", {"0003", "002", day(-29)})->rowCount(), 0);
    QCOMPARE(read("GetVerifTabeVend", {"0003", "002", day(-30)})->rowCount(), 1);
}

void TestTableMethods::overlap_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("conflict");
    // Branch 0003, table 001: [-90,-31], [-30,29], [30,119].
    QTest::newRow("itself") << -30 << 29 << false;
    QTest::newRow("after-all") << 120 << 200 << false;
    QTest::newRow("touches-end") << 119 << 200 << true;
    QTest::newRow("inside") << 40 << 50 << true;
    QTest::newRow("covers") << -200 << 300 << true;
    QTest::newRow("before-all") << -200 << -91 << false;
}

void TestTableMethods::overlap()
{
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, conflict);
    const Outcome out = call("getTabePrecData", {"0003", "001", day(from), day(to)});
    QVERIFY(out.ok);
    QCOMPARE(out.payload.metaType().id(), int(QMetaType::Bool));
    QCOMPARE(out.payload.toBool(), conflict);
}

void TestTableMethods::getVeriVing_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QList<int>>("counts");
    QTest::newRow("store-client-branch") << "002" << QList<int>{0, 1, 1, 1};
    QTest::newRow("client-branch-client") << "003" << QList<int>{1, 0, 0, 1};
    QTest::newRow("free") << "001" << QList<int>{0, 0, 0, 0};
}

void TestTableMethods::getVeriVing()
{
    QFETCH(QString, table);
    QFETCH(QList<int>, counts);
    const Outcome out = call("GetVeriVing", {"0001", table});
    QVERIFY(out.ok);
    const QVariantList packets = out.payload.toList();
    QCOMPARE(packets.size(), 4);
    const QStringList fields = {"CDFILIAL", "CDLOJA", "CDFILIAL", "CDCLIENTE"};
    for (int i = 0; i < 4; ++i) {
        const DataPacketPtr p = packets[i].value<DataPacketPtr>();
        QCOMPARE(p->fields().value(0).name, fields[i]);
        QCOMPARE(p->rowCount(), counts[i]);
    }
}

void TestTableMethods::approval()
{
    const QString start = day(-30).date().toString(u"dd/MM/yyyy");
    QVERIFY(call("setAlteraStatus", {"2", "002", "0003", start}).ok);
    QCOMPARE(value(*read("GetVerifTabeVend", {"0003", "002", day(-30)}), 0, "CDFILIAL").toString(),
             QStringLiteral("0003"));
    const DataPacketPtr periods = read("GetTabeVend", {"0003", "002"});
    QCOMPARE(value(*periods, 1, "IDSITVGPREC").toString(), QStringLiteral("2"));
    QCOMPARE(call("setAlteraStatus", {"9", "002", "0003", start}).ok, false);
    QVERIFY(call("setAlteraStatus", {"4", "002", "0003", "01/01/1999"})
                .message.contains(u"não cadastrado"));

    // Products without tax rate: the period's own items lacking ALIQPROD
    // (branch 0002's coming period: the first branch has every rate).
    const DataPacketPtr missing =
        read("getProdSemImpos", {"0002", "001", day(30).date().toString(u"dd/MM/yyyy")});
    const QVariantList expected =
        column("SELECT P.CDARVPROD FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
               "WHERE I.CDFILIAL = '0002' AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s "
               "AND I.CDPRODUTO = I.CDPRPAITABPR AND I.CDPRODUTO NOT IN "
               "(SELECT CDPRODUTO FROM ALIQPROD WHERE CDFILIAL = '0002') ORDER BY 1",
               {{":s", day(30)}});
    QVERIFY(!expected.isEmpty());
    QCOMPARE(missing->rowCount(), expected.size());
    for (int r = 0; r < missing->rowCount(); ++r)
        QCOMPARE(value(*missing, r, "CDARVPROD"), expected[r]);
}

void TestTableMethods::approvalTransitions_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("taxRatesMissing");
    QTest::addColumn<QString>("refusal"); // empty: taken
    QTest::newRow("approve confirmed") << "3" << "4" << false << "";
    QTest::newRow("approve pending") << "1" << "4" << false << "confirmado";
    QTest::newRow("approve released") << "2" << "4" << false << "confirmado";
    QTest::newRow("approve without tax") << "3" << "4" << true << "alíquota";
    QTest::newRow("release pending") << "1" << "2" << false << "";
    QTest::newRow("release approved") << "4" << "2" << false << "";
    QTest::newRow("release twice") << "2" << "2" << false << "";
    QTest::newRow("unknown state") << "1" << "X" << false << "inválida";
}

void TestTableMethods::approvalTransitions()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(bool, taxRatesMissing);
    QFETCH(QString, refusal);
    // Branch 0001, table 001, the period starting 30 days from now.
    const QString start = day(30).date().toString(u"dd/MM/yyyy");
    auto state = [&] {
        return scalar("SELECT IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = '0001' AND "
                      "CDTABEPREC = '001' AND DTINIVGPREC = :s",
                      {{":s", day(30)}})
            .toString();
    };
    storage().execDirect(QStringLiteral("UPDATE TABEVEND SET IDSITVGPREC = '%1' WHERE CDFILIAL = "
                                        "'0001' AND CDTABEPREC = '001'")
                             .arg(from));
    // The rates as the registry had them, whatever the case adds or deletes.
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0001'");
    // Every product of the branch gets a rate, but one when the case wants it.
    storage().execDirect(QStringLiteral(
        "INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) SELECT DISTINCT I.CDFILIAL, "
        "I.CDPRODUTO, 18 FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND NOT EXISTS (SELECT 1 "
        "FROM ALIQPROD A WHERE A.CDFILIAL = I.CDFILIAL AND A.CDPRODUTO = I.CDPRODUTO)"));
    if (taxRatesMissing) {
        const QVariant product =
            scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
                   "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = CDPRPAITABPR",
                   {{":s", day(30)}});
        storage().execDirect(QStringLiteral("DELETE FROM ALIQPROD WHERE CDFILIAL = '0001' AND "
                                            "CDPRODUTO = '%1'")
                                 .arg(product.toString()));
    }
    QCOMPARE(read("getProdSemImpos", {"0001", "001", start})->rowCount() > 0, taxRatesMissing);

    const Outcome out = call("setAlteraStatus", {to, "001", "0001", start});
    if (refusal.isEmpty()) {
        QVERIFY2(out.ok, qPrintable(out.message));
        QCOMPARE(state(), to);
    } else {
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(refusal), qPrintable(out.message));
        QCOMPARE(state(), from);
    }
}

PRX_SERVER_TEST_MAIN(TestTableMethods)
#include "tst_tablemethods.moc"

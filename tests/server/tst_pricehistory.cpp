// The price history: every change of a price leaves its rows, written by the
// database in the same transaction as the change.
#include "ServerTestBase.h"

#include "methods/MethodSupport.h"
#include "storage/HistoryTriggers.h"

#include <QCoreApplication>
#include <QSet>
#include <QSqlRecord>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

namespace {

QString numberText(const QVariant &v)
{
    return v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble(), 'g', 17);
}

} // namespace

class TestPriceHistory : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void initTestCase();
    // Each kind of write leaves exactly one row per price that really changed,
    // under the caller's user and the method's name; a repeated calculation
    // that changes nothing leaves none.
    void writesRecordChanges_data();
    void writesRecordChanges();
    // A save the server refuses leaves no history, not even of the rows it
    // wrote before it found the fault.
    void refusedSaveLeavesNoHistory();
    // A caller without a name (an old client) and a name too long for the
    // column still get their change saved and recorded.
    void callerNames_data();
    void callerNames();
    // GetHistPreco: the product's changes, newest first, of one period or all.
    void readHistory();
    // Every method that may write a price reads in words, and so does a
    // change made outside any call; a differentiated price names its
    // consumer type and weekday.
    void readsInWords();
    // Statements straight in the database over many rows, some left equal:
    // one history row per price that changed, none for the rest.
    void directStatements_data();
    void directStatements();
    // A differentiated price moved to other hours is the same row: its price
    // change is told under the new hours, and a move alone tells nothing.
    void movedDayPrice();

private:
    QString product(int n) const { return m_products.value(n); }
    qint64 lastHistoryId();
    // "key|column" -> value of every price column of every price row.
    QHash<QString, QString> snapshot();
    // "key|column|old|new" of every history row after `afterId`.
    QStringList historySince(qint64 afterId, const QString &user, const QString &operation);
    // A row deleted and written again within one call (an import that
    // replaces a period) tells its net change: first old value, last new one.
    static QStringList netChanges(const QStringList &history);
    Outcome perform(const QString &what);
    Outcome saveItemPrice(const QString &code, double price);

    QStringList m_products; // own priced products of branch 0001, table 001, by tree code
};

void TestPriceHistory::initTestCase()
{
    ServerTestBase::initTestCase();
    m_products = ownPricedProducts();
    QVERIFY(m_products.size() > 10);
}

qint64 TestPriceHistory::lastHistoryId()
{
    return scalar("SELECT COALESCE(MAX(NRHISTPRECO), 0) FROM HISTPRECO").toLongLong();
}

QHash<QString, QString> TestPriceHistory::snapshot()
{
    const SqlDialect &d = storage().dialect();
    const QString itemKey = QStringLiteral("CDFILIAL, CDTABEPREC, %1, CDPRODUTO, CDPRPAITABPR")
                                .arg(d.selectDateTime("DTINIVGPREC"));
    const QList<std::pair<QString, QStringList>> tables = {
        {QStringLiteral("SELECT %1, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, VRPRECITEMCL, "
                        "VRPRESUGITEM, VRCUSTITEM FROM ITEMPRECO")
             .arg(itemKey),
         {"VRPRECITEM", "VRPRECITEMDLV", "VRPRECITEMCMD", "VRPRECITEMCL", "VRPRESUGITEM",
          "VRCUSTITEM"}},
        {QStringLiteral("SELECT %1, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, %2, "
                        "VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, PRECOCMD "
                        "FROM ITEMPRECODIA")
             .arg(itemKey, d.selectDateTime("DTINIVALPREC")),
         {"VRPRECODIA", "VRPRECODIADLV", "VRPRECODIACMD", "PRECO", "PRECODLV", "PRECOCMD"}}};
    QHash<QString, QString> out;
    for (const auto &[sql, prices] : tables) {
        QSqlQuery q = storage().prepare(sql);
        storage().exec(q, sql);
        const int keys = q.record().count() - int(prices.size());
        while (q.next()) {
            QStringList key;
            for (int i = 0; i < keys; ++i)
                key << q.value(i).toString();
            for (int i = 0; i < prices.size(); ++i) {
                if (!q.value(keys + i).isNull())
                    out.insert(key.join(u'|') + u'|' + prices[i], numberText(q.value(keys + i)));
            }
        }
    }
    return out;
}

QStringList TestPriceHistory::historySince(qint64 afterId, const QString &user,
                                           const QString &operation)
{
    const SqlDialect &d = storage().dialect();
    QSqlQuery q = storage().prepare(
        QStringLiteral("SELECT CDFILIAL, CDTABEPREC, %1, CDPRODUTO, CDPRPAITABPR, IDTPREGHIST, "
                       "CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, %2, NMCAMPO, "
                       "VRANTERIOR, VRNOVO, NMUSUARIO, NMOPERACAO, IDTPALTHIST FROM HISTPRECO "
                       "WHERE NRHISTPRECO > :id ORDER BY NRHISTPRECO")
            .arg(d.selectDateTime("DTINIVGPREC"), d.selectDateTime("DTINIVALPREC")));
    q.bindValue(":id", afterId);
    storage().exec(q, "history");
    QStringList out;
    while (q.next()) {
        QStringList key;
        for (int i = 0; i < 5; ++i)
            key << q.value(i).toString();
        const QString kind = q.value(5).toString();
        if (kind == u"D") {
            for (int i = 6; i < 11; ++i)
                key << q.value(i).toString();
        }
        // Item rows and component rows are told apart by the codes.
        if ((kind == u"I") != (key[3] == key[4]) && kind != u"D")
            out << QStringLiteral("kind %1 for %2").arg(kind, key.join(u'|'));
        if (q.value(14).toString() != user || q.value(15).toString() != operation)
            out << QStringLiteral("caller %1/%2")
                       .arg(q.value(14).toString(), q.value(15).toString());
        const QString change = q.value(16).toString();
        if (change == u"I"   ? !q.value(12).isNull()
            : change == u"E" ? !q.value(13).isNull()
                             : change != u"A")
            out << QStringLiteral("change %1 with old %2 new %3")
                       .arg(change, numberText(q.value(12)), numberText(q.value(13)));
        out << QStringLiteral("%1|%2|%3|%4")
                   .arg(key.join(u'|'), q.value(11).toString(), numberText(q.value(12)),
                        numberText(q.value(13)));
    }
    return out;
}

QStringList TestPriceHistory::netChanges(const QStringList &history)
{
    QStringList order;
    QHash<QString, std::pair<QString, QString>> net;
    QStringList out;
    for (const QString &line : history) {
        const qsizetype newAt = line.lastIndexOf(u'|'), oldAt = line.lastIndexOf(u'|', newAt - 1);
        if (oldAt < 0) {
            out << line; // a complaint of historySince
            continue;
        }
        const QString key = line.left(oldAt);
        auto it = net.find(key);
        if (it == net.end()) {
            order << key;
            net.insert(key, {line.mid(oldAt + 1, newAt - oldAt - 1), line.mid(newAt + 1)});
        } else {
            it->second = line.mid(newAt + 1);
        }
    }
    for (const QString &key : order) {
        const auto &[was, is] = net.value(key);
        if (was != is)
            out << QStringLiteral("%1|%2|%3").arg(key, was, is);
    }
    return out;
}

Outcome TestPriceHistory::saveItemPrice(const QString &code, double price)
{
    const DataPacketPtr p = read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), "", "T"});
    const int row = findRow(*p, "CDPRODUTO", code);
    DeltaPacket d = deltaOf(*p);
    d.changes << updateOf(*p, row, {{"VRPRECITEM", price}});
    return call("SetItemPreco", {deltaArg(d), ""});
}

Outcome TestPriceHistory::perform(const QString &what)
{
    if (what == u"SetItemPreco")
        return saveItemPrice(product(1), 123.45);
    if (what == u"SetItemPrecoComp") {
        const QString combo = scalar("SELECT MIN(CDPRODUTO) FROM PRODCOMP").toString();
        const DataPacketPtr c = read("GetItemPrecoComp", {"0001", "001", combo, day(-30)});
        DeltaPacket d = deltaOf(*c);
        d.changes << updateOf(*c, 0, {{"VRPRECITEM", 4.44}});
        return call("SetItemPrecoComp", {deltaArg(d)});
    }
    if (what == u"SetPrecoHora") {
        const DataPacketPtr all = read("GetPrecoHora", {"0001", "001", day(-30)});
        const QString code = product(2);
        DeltaPacket d = deltaOf(*all);
        d.changes << insertOf(all->fields(), {{"CDFILIAL", "0001"},
                                              {"CDTABEPREC", "001"},
                                              {"DTINIVGPREC", day(-30)},
                                              {"CDPRODUTO", code},
                                              {"CDPRPAITABPR", code},
                                              {"NRDIASEMANPR", "4"},
                                              {"IDPERVALORPR", "P"},
                                              {"IDDESCACREPR", "D"},
                                              {"HRINIPRECDIA", "1400"},
                                              {"HRFINPRECDIA", "1600"},
                                              {"VRPRECODIA", 10.0},
                                              {"DTINIVALPREC", day(-30)},
                                              {"DTFINVALPREC", day(29)},
                                              {"CDTIPOCONSPD", "02"},
                                              {"IDVISUACUPOM", "N"},
                                              {"PRECO", QVariant()}, // the server's
                                              {"IDTPMODGERAL", "S"},
                                              {"IDTPMODDLV", "N"},
                                              {"IDTPMODCMD", "N"}});
        return call("SetPrecoHora", {deltaArg(d)});
    }
    if (what == u"SetCalcPreco")
        return call("SetCalcPreco", {"0001", "001", day(-30), "3", "", false, true, 2});
    if (what == u"SetPrecDif") {
        // Monday, a 10 % discount from 17:30 to 19:00 over the period, for
        // every consumer type, for one listed product.
        QVariantList args(10, false);
        args[4] = true;
        args << true << false << false << 0 << 1 << "0001"
             << "001" << QString() << QString() << "17:30"
             << "19:00" << day(-30) << day(29) << day(-30) << 10.0 << productList({product(3)})
             << QVariant::fromValue(std::make_shared<DataPacket>()) << "T" << 1;
        return call("SetPrecDif", args);
    }
    if (what == u"SetImportaVigencia")
        return call("SetImportaVigencia", {"0001", "002", day(-90), day(30), day(119), true});
    if (what == u"SetItemPrecoAtuPrec")
        return call("SetItemPrecoAtuPrec", {"0001", "001", day(-30)});
    if (what == u"setApagaPreco")
        return call("setApagaPreco",
                    {"0001", "001", day(-30).toString(u"dd/MM/yyyy"), product(4), product(4)});
    return {};
}

void TestPriceHistory::writesRecordChanges_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<bool>("changes");
    QTest::newRow("grid save of an item") << "SetItemPreco" << true;
    QTest::newRow("grid save of a component") << "SetItemPrecoComp" << true;
    QTest::newRow("grid save of a differentiated price") << "SetPrecoHora" << true;
    QTest::newRow("price calculation") << "SetCalcPreco" << true;
    QTest::newRow("the same calculation again") << "SetCalcPreco" << false;
    QTest::newRow("automatic differentiated prices") << "SetPrecDif" << true;
    QTest::newRow("consumer prices raised to calculated") << "SetItemPrecoAtuPrec" << true;
    QTest::newRow("import of a period") << "SetImportaVigencia" << true;
    QTest::newRow("prices of a product cleared") << "setApagaPreco" << true;
}

void TestPriceHistory::writesRecordChanges()
{
    QFETCH(QString, method);
    QFETCH(bool, changes);
    const QHash<QString, QString> before = snapshot();
    const qint64 lastId = lastHistoryId();
    Outcome out;
    {
        const HistoryCaller caller(QStringLiteral("maria"), method);
        out = perform(method);
    }
    QVERIFY2(out.ok, qPrintable(out.message));
    const QHash<QString, QString> after = snapshot();

    QStringList expected;
    QSet<QString> keys(before.keyBegin(), before.keyEnd());
    keys.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
    for (const QString &k : keys) {
        const QString was = before.value(k, "-"), is = after.value(k, "-");
        if (was != is)
            expected << QStringLiteral("%1|%2|%3").arg(k, was, is);
    }
    QStringList recorded = netChanges(historySince(lastId, QStringLiteral("maria"), method));
    expected.sort();
    recorded.sort();
    QCOMPARE(recorded, expected);
    QCOMPARE(!expected.isEmpty(), changes);
}

void TestPriceHistory::refusedSaveLeavesNoHistory()
{
    const QHash<QString, QString> before = snapshot();
    const qint64 lastId = lastHistoryId();
    const DataPacketPtr p = read("GetItemPreco", {"0001", "001", "00001", "3", day(-30), "", "T"});
    DeltaPacket d = deltaOf(*p);
    d.changes << updateOf(*p, findRow(*p, "CDPRODUTO", product(5)), {{"VRPRECITEM", 77.0}});
    d.changes << updateOf(*p, findRow(*p, "CDPRODUTO", product(6)),
                          {{"VRPRECITEM", 78.0}, {"HRINIVENPROD", "2460"}});
    QVERIFY(!call("SetItemPreco", {deltaArg(d), ""}).ok);
    QCOMPARE(lastHistoryId(), lastId);
    QCOMPARE(snapshot(), before);
}

void TestPriceHistory::callerNames_data()
{
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("named") << "joana"
                           << "joana";
    QTest::newRow("no name") << ""
                             << "desconhecido";
    QTest::newRow("too long") << QString(70, u'x') << QString(HistoryCaller::MaxNameLength, u'x');
}

void TestPriceHistory::callerNames()
{
    QFETCH(QString, sent);
    QFETCH(QString, recorded);
    const qint64 lastId = lastHistoryId();
    {
        const HistoryCaller caller(sent, QStringLiteral("SetItemPreco"));
        const Outcome out = saveItemPrice(product(7), 50.0 + lastId % 7 + sent.size());
        QVERIFY2(out.ok, qPrintable(out.message));
    }
    // The item's differentiated prices follow its price: several rows, one caller.
    const QVariantList users = column(
        "SELECT DISTINCT NMUSUARIO || '/' || NMOPERACAO FROM HISTPRECO WHERE NRHISTPRECO > :id",
        {{":id", lastId}});
    QCOMPARE(users, QVariantList{recorded + QStringLiteral("/SetItemPreco")});
    // A write outside any call is recorded too, and not under the name of
    // the call before it.
    const qint64 afterCall = lastHistoryId();
    // That write moves the base under the item's differentiated prices: the
    // prices go back once it is seen recorded.
    const auto base =
        keepValues("ITEMPRECO", {"VRPRECITEM"}, "CDPRODUTO = :p AND CDPRPAITABPR = CDPRODUTO",
                   {{":p", product(7)}});
    storage().execDirect(QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = VRPRECITEM + 1 WHERE "
                                        "CDPRODUTO = '%1' AND CDPRPAITABPR = CDPRODUTO")
                             .arg(product(7)));
    QCOMPARE(column("SELECT DISTINCT NMUSUARIO || '/' || NMOPERACAO FROM HISTPRECO WHERE "
                    "NRHISTPRECO > :id",
                    {{":id", afterCall}}),
             QVariantList{QStringLiteral("desconhecido/")});
}

void TestPriceHistory::readHistory()
{
    const QString code = product(8);
    {
        const HistoryCaller caller(QStringLiteral("ana"), QStringLiteral("SetItemPreco"));
        QVERIFY(saveItemPrice(code, 1.5).ok);
        QVERIFY(saveItemPrice(code, 2.25).ok);
    }
    const DataPacketPtr all = read("GetHistPreco", {"0001", "001", QVariant(), code});
    QVERIFY(all->rowCount() >= 2);
    QCOMPARE(value(*all, 0, "VRANTERIOR").toDouble(), 1.5);
    QCOMPARE(value(*all, 0, "VRNOVO").toDouble(), 2.25);
    QCOMPARE(value(*all, 1, "VRNOVO").toDouble(), 1.5);
    QCOMPARE(value(*all, 0, "NMUSUARIO").toString(), QStringLiteral("ana"));
    QCOMPARE(value(*all, 0, "NMCAMPO").toString(), QStringLiteral("VRPRECITEM"));
    QCOMPARE(value(*all, 0, "DSCAMPO").toString(), QStringLiteral("Preço"));
    QCOMPARE(value(*all, 0, "DSALTERACAO").toString(), QStringLiteral("Alteração"));
    QCOMPARE(value(*all, 0, "DTINIVGPREC").toDateTime(), day(-30));
    QVERIFY(qAbs(value(*all, 0, "DTHISTPRECO").toDateTime().secsTo(storage().now())) < 120);
    // Only this period's rows when it is given; none of another product.
    const DataPacketPtr period = read("GetHistPreco", {"0001", "001", day(-30), code});
    QVERIFY(period->rowCount() >= 2 && period->rowCount() <= all->rowCount());
    QCOMPARE(read("GetHistPreco", {"0001", "001", day(-9999), code})->rowCount(), 0);
    QCOMPARE(read("GetHistPreco", {"0001", "001", QVariant(), "NENHUM"})->rowCount(), 0);
    QVERIFY(!call("GetHistPreco", {"0001", "001", "ontem", code}).ok);
}

void TestPriceHistory::readsInWords()
{
    MethodRegistry registry;
    registerAllMethods(registry);
    int writers = 0;
    for (const QString &object : {kPriceTableObject, QStringLiteral("cus.rdmCustProd")}) {
        for (const QString &method : registry.methodNames(object)) {
            if (method.startsWith(u"get", Qt::CaseInsensitive))
                continue;
            ++writers;
            QVERIFY2(historyOperationText(method) != method, qPrintable(method));
        }
    }
    QVERIFY(writers > 10);

    // The differentiated price the grid saves, written anew whatever ran before.
    storage().execDirect(QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO = '%1' AND "
                                        "NRDIASEMANPR = '4' AND HRINIPRECDIA = '1400'")
                             .arg(product(2)));
    {
        const HistoryCaller caller(QStringLiteral("ana"), QStringLiteral("SetPrecoHora"));
        const Outcome out = perform(QStringLiteral("SetPrecoHora"));
        QVERIFY2(out.ok, qPrintable(out.message));
    }
    const DataPacketPtr dayRows = read("GetHistPreco", {"0001", "001", QVariant(), product(2)});
    QVERIFY(dayRows->rowCount() > 0);
    QCOMPARE(value(*dayRows, 0, "NMOPERACAO").toString(),
             QStringLiteral("Digitação de preços diferenciados"));
    const QString consumer =
        scalar("SELECT NMTIPOCONS FROM TIPOCONS WHERE CDTIPOCONS = '02'").toString();
    QVERIFY(!consumer.isEmpty());
    QCOMPARE(value(*dayRows, 0, "DSCHAVEDIA").toString(),
             QStringLiteral("%1 | Quarta | 14:00-16:00 | %2")
                 .arg(consumer, day(-30).toString(u"dd/MM/yyyy")));

    const QString code = product(9);
    // Written straight in the database and back, so the stored prices stay
    // as the rules want them.
    for (const char *step : {"+ 1", "- 1"}) {
        storage().execDirect(QStringLiteral("UPDATE ITEMPRECO SET VRPRECITEM = VRPRECITEM %1 "
                                            "WHERE CDPRODUTO = '%2' AND CDPRPAITABPR = CDPRODUTO")
                                 .arg(QLatin1String(step), code));
    }
    const DataPacketPtr direct = read("GetHistPreco", {"0001", "001", QVariant(), code});
    QVERIFY(direct->rowCount() > 0);
    QCOMPARE(value(*direct, 0, "NMOPERACAO").toString(),
             QStringLiteral("Alteração direta na base de dados"));
}

void TestPriceHistory::directStatements_data()
{
    QTest::addColumn<QStringList>("statements");
    const QString half = QStringLiteral("CDPRODUTO < (SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE "
                                        "CDPRODUTO > '%1')")
                             .arg(product(5));
    QTest::newRow("update, half the rows equal")
        << QStringList{QStringLiteral("UPDATE ITEMPRECO SET VRPRESUGITEM = CASE WHEN %1 THEN "
                                      "VRPRESUGITEM ELSE COALESCE(VRPRESUGITEM, 0) + 1 END")
                           .arg(half),
                       QStringLiteral("UPDATE ITEMPRECO SET VRPRESUGITEM = CASE WHEN %1 THEN "
                                      "VRPRESUGITEM WHEN VRPRESUGITEM = 1 THEN NULL ELSE "
                                      "VRPRESUGITEM - 1 END")
                           .arg(half)};
    QTest::newRow("rows deleted and written back") << QStringList{
        QStringLiteral("CREATE TEMPORARY TABLE KEPT AS SELECT * FROM ITEMPRECODIA "
                       "WHERE CDPRODUTO = '%1'")
            .arg(product(2)),
        QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO = '%1'").arg(product(2)),
        QStringLiteral("INSERT INTO ITEMPRECODIA SELECT * FROM KEPT"),
        QStringLiteral("DROP TABLE KEPT")};
}

void TestPriceHistory::directStatements()
{
    QFETCH(QStringList, statements);
    for (const QString &sql : statements) {
        const QHash<QString, QString> before = snapshot();
        const qint64 lastId = lastHistoryId();
        storage().execDirect(sql);
        const QHash<QString, QString> after = snapshot();
        QStringList expected;
        QSet<QString> keys(before.keyBegin(), before.keyEnd());
        keys.unite(QSet<QString>(after.keyBegin(), after.keyEnd()));
        for (const QString &k : keys) {
            if (before.value(k, "-") != after.value(k, "-"))
                expected
                    << QStringLiteral("%1|%2|%3").arg(k, before.value(k, "-"), after.value(k, "-"));
        }
        QStringList recorded = historySince(lastId, QStringLiteral("desconhecido"), QString());
        expected.sort();
        recorded.sort();
        QCOMPARE(recorded, expected);
    }
}

void TestPriceHistory::movedDayPrice()
{
    const QString where = QStringLiteral("CDPRODUTO = '%1' AND NRDIASEMANPR = '4' AND "
                                         "CDTIPOCONSPD = '02' AND HRINIPRECDIA = '%2'");
    // The differentiated price the grid saves, written anew whatever ran before.
    storage().execDirect(QStringLiteral("DELETE FROM ITEMPRECODIA WHERE ") +
                         where.arg(product(2), "1400"));
    QVERIFY(perform(QStringLiteral("SetPrecoHora")).ok);
    const QVariant amount = scalar(QStringLiteral("SELECT VRPRECODIA FROM ITEMPRECODIA WHERE ") +
                                   where.arg(product(2), "1400"));
    QVERIFY(!amount.isNull());
    const QString key = QStringLiteral("0001|001|%1|%2|%2|02|4|%3|1600|%1|VRPRECODIA")
                            .arg(SqlDialect::dateTimeText(day(-30)), product(2));
    const QString was = numberText(amount), raised = numberText(amount.toDouble() + 1);
    struct Step
    {
        QString from, to, change;
        QStringList recorded;
    };
    const Step steps[] = {{"1400", "1401", "+ 1", {key.arg("1401") + u'|' + was + u'|' + raised}},
                          {"1401", "1400", "- 1", {key.arg("1400") + u'|' + raised + u'|' + was}},
                          {"1400", "1401", "+ 0", {}},
                          {"1401", "1400", "+ 0", {}}};
    for (const Step &s : steps) {
        const qint64 lastId = lastHistoryId();
        storage().execDirect(QStringLiteral("UPDATE ITEMPRECODIA SET HRINIPRECDIA = '%1', "
                                            "VRPRECODIA = VRPRECODIA %2 WHERE ")
                                 .arg(s.to, s.change) +
                             where.arg(product(2), s.from));
        QCOMPARE(historySince(lastId, QStringLiteral("desconhecido"), QString()), s.recorded);
    }
}

PRX_SERVER_TEST_MAIN(TestPriceHistory)

#include "tst_pricehistory.moc"

// Export of a price table to other branches and import of a validity period.
#include "ServerTestBase.h"

#include "methods/MethodSupport.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QScopeGuard>
#include <QSqlRecord>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

namespace {

using Binds = QList<std::pair<QString, QVariant>>;

const QString kItemColumns = QStringLiteral(
    "CDPRODUTO, CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, VRPRECITEMCL, "
    "IDPRECVARIA, VRPRESUGITEM, VRCUSTITEM, VRMKUPITEM, IDPRODPROMOC, HRINIVENPROD, "
    "HRFIMVENPROD, IDIMPPRODROT");
const QString kDayColumns = QStringLiteral(
    "CDPRODUTO, CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
    "IDPERVALORPR, IDDESCACREPR, VRPRECODIA, VRPRECODIADLV, VRPRECODIACMD, PRECO, PRECODLV, "
    "PRECOCMD, IDVISUACUPOM, IDTPMODGERAL, IDTPMODDLV, IDTPMODCMD");
// A validity window's end that is left open.
constexpr int kOpen = 9999;

} // namespace

class TestTransferMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void initTestCase();
    // A new table gets every period of the origin, pending, and exactly the
    // origin's price sets of the products its branch's segment sells.
    void exportToNewTable();
    // An existing table: sets are replaced, not added to; products the
    // origin does not price and the reused periods' end and state stay; a
    // second run changes nothing.
    void exportReplacesSets();
    // Refused calls write nothing at all, whatever failed.
    void refusals_data();
    void refusals();
    // Several branches: only the listed products, only in the period in
    // force, only where the segment sells them.
    void exportToSeveralBranches();
    // With overwrite every origin product replaces its set; without it only
    // products the destination lacks arrive. Twice is the same as once.
    void importPeriod_data();
    void importPeriod();
    // Validity dates of differentiated prices follow the destination period.
    void validityMapping_data();
    void validityMapping();
    // An export into a period that ends earlier than the origin's stores no
    // differentiated price outside it: dates are cut, rows wholly outside
    // dropped, and two cut to one start refuse the call.
    void exportCutsValidity_data();
    void exportCutsValidity();
    // An approved destination period takes no product without a tax rate
    // in its branch: the whole call is refused, naming the products.
    void approvedDestinationNeedsTaxRates_data();
    void approvedDestinationNeedsTaxRates();

private:
    QStringList rows(const QString &sql, const Binds &binds = {});
    // Item and differentiated-price rows of a period (without the period
    // columns, the time of change and, for day prices, the validity dates),
    // restricted by `where` on CDPRPAITABPR.
    QStringList priceSets(const QString &branch, const QString &table, const QDateTime &start,
                          const QString &where = QStringLiteral("IS NOT NULL"),
                          const Binds &binds = {});
    QByteArray checksum();
    QString priceOf(const QString &branch, const QString &table, const QDateTime &start);
    // Replaces the product's differentiated prices in the period by one
    // rule per window (from, to in days from today; kOpen: no end).
    void setWindows(const QString &branch, const QString &table, const QDateTime &start,
                    const QString &product, const QList<int> &windows);
    // from|to of the product's differentiated prices in the period.
    QStringList windowsOf(const QString &branch, const QString &table, const QDateTime &start,
                          const QString &product);
    static QStringList windowTexts(const QList<int> &windows);
    // The tree code as the screens show it ("01.01.0001").
    static QString masked(const QString &treeCode);
};

void TestTransferMethods::initTestCase()
{
    ServerTestBase::initTestCase();
    // Table 902 of branch 0002 has a period that starts inside the origin's
    // first period without sharing its start.
    scalar("INSERT INTO TABEPREC (CDFILIAL, CDTABEPREC, NMTABEPREC) VALUES ('0002', '902', 'X')");
    QSqlQuery q = storage().prepare(
        "INSERT INTO TABEVEND (CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC) "
        "VALUES ('0002', '902', :s, :e, '2')");
    q.bindValue(":s", SqlDialect::bindDateTime(day(-40)));
    q.bindValue(":e", SqlDialect::bindDateTime(day(-35)));
    storage().exec(q, "fixture");
}

QStringList TestTransferMethods::rows(const QString &sql, const Binds &binds)
{
    QSqlQuery q = storage().prepare(sql);
    for (const auto &[name, v] : binds) {
        q.bindValue(name, v.metaType().id() == QMetaType::QDateTime
                              ? SqlDialect::bindDateTime(v.toDateTime())
                              : v);
    }
    storage().exec(q, sql);
    QStringList out;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << q.value(i).toString();
        out << cells.join(u'|');
    }
    out.sort();
    return out;
}

QStringList TestTransferMethods::priceSets(const QString &branch, const QString &table,
                                           const QDateTime &start, const QString &where,
                                           const Binds &binds)
{
    Binds all = binds;
    all << std::pair{QStringLiteral(":b"), QVariant(branch)}
        << std::pair{QStringLiteral(":t"), QVariant(table)}
        << std::pair{QStringLiteral(":s"), QVariant(start)};
    const QString period =
        QStringLiteral("CDFILIAL = :b AND CDTABEPREC = :t AND DTINIVGPREC = :s AND CDPRPAITABPR ");
    QStringList out = rows(QStringLiteral("SELECT 'I', %1 FROM ITEMPRECO WHERE %2 %3")
                               .arg(kItemColumns, period, where),
                           all);
    out << rows(QStringLiteral("SELECT 'D', %1 FROM ITEMPRECODIA WHERE %2 %3")
                    .arg(kDayColumns, period, where),
                all);
    return out;
}

// Everything an export or import may touch.
QByteArray TestTransferMethods::checksum()
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const QStringList parts = {
        "SELECT * FROM TABEPREC",
        "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, DTFINVGPREC, IDSITVGPREC FROM TABEVEND",
        "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, " + kItemColumns + " FROM ITEMPRECO",
        "SELECT CDFILIAL, CDTABEPREC, DTINIVGPREC, DTINIVALPREC, DTFINVALPREC, " + kDayColumns +
            " FROM ITEMPRECODIA"};
    for (const QString &sql : parts)
        hash.addData(rows(sql).join(u'\n').toUtf8());
    return hash.result().toHex();
}

void TestTransferMethods::exportToNewTable()
{
    const Outcome out =
        call("setConfirmar", {true, "0002", "901", "Exportada", "0001", "001", "", "T"});
    QVERIFY2(out.ok, qPrintable(out.message));
    const QStringList origin =
        rows("SELECT DTINIVGPREC, DTFINVGPREC FROM TABEVEND WHERE CDFILIAL = '0001' AND "
             "CDTABEPREC = '001'");
    QCOMPARE(rows("SELECT DTINIVGPREC, DTFINVGPREC FROM TABEVEND WHERE CDFILIAL = '0002' AND "
                  "CDTABEPREC = '901'"),
             origin);
    QCOMPARE(rows("SELECT DISTINCT IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = '0002' AND "
                  "CDTABEPREC = '901'"),
             QStringList{"1"});
    const QString inSegment = "IN (SELECT CDPRODUTO FROM PRODSEGMER WHERE CDSEGMER = '00003')";
    for (int offset : {-90, -30, 30}) {
        const QStringList copied = priceSets("0002", "901", day(offset));
        QVERIFY(!copied.isEmpty());
        QCOMPARE(copied, priceSets("0001", "001", day(offset), inSegment));
        // The origin prices products the destination's segment does not sell.
        QVERIFY(priceSets("0001", "001", day(offset)).size() > copied.size());
    }
}

void TestTransferMethods::exportReplacesSets()
{
    const QDateTime now = day(-30);
    // Destination 0003/001 (segment 00002): its period in force ends earlier
    // and is confirmed; one product is priced differently and has an extra
    // differentiated price; another is priced only there.
    const QString product =
        scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE CDFILIAL = '0001' AND "
               "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = CDPRPAITABPR AND "
               "CDPRODUTO IN (SELECT CDPRODUTO FROM ITEMPRECO WHERE CDFILIAL = '0003' AND "
               "CDTABEPREC = '001' AND DTINIVGPREC = :s2)",
               {{":s", now}, {":s2", now}})
            .toString();
    QVERIFY(!product.isEmpty());
    scalar("UPDATE TABEVEND SET DTFINVGPREC = :e, IDSITVGPREC = '3' WHERE CDFILIAL = '0003' AND "
           "CDTABEPREC = '001' AND DTINIVGPREC = :s",
           {{":e", day(20)}, {":s", now}});
    scalar("UPDATE ITEMPRECO SET VRPRECITEM = 1234.5 WHERE CDFILIAL = '0003' AND "
           "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRODUTO = :p",
           {{":s", now}, {":p", product}});
    scalar("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
           "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, DTINIVALPREC, "
           "IDPERVALORPR, IDDESCACREPR, VRPRECODIA) VALUES ('0003', '001', :s, :p, :p2, 'T', "
           "'3', '0900', '0930', :s2, 'V', 'D', 1)",
           {{":s", now}, {":p", product}, {":p2", product}, {":s2", now}});
    const QString onlyThere =
        scalar("SELECT MIN(CDPRPAITABPR) FROM ITEMPRECO WHERE CDFILIAL = '0003' AND "
               "CDTABEPREC = '001' AND DTINIVGPREC = :s AND CDPRPAITABPR NOT IN (SELECT "
               "CDPRPAITABPR FROM ITEMPRECO WHERE CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
               "DTINIVGPREC = :s2)",
               {{":s", now}, {":s2", now}})
            .toString();
    QVERIFY(!onlyThere.isEmpty());
    const QStringList untouched = priceSets("0003", "001", now, "= :q", {{":q", onlyThere}});

    const QVariantList args{false, "0003", "001", "", "0001", "001", "", "T"};
    Outcome out = call("setConfirmar", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QByteArray once = checksum();
    out = call("setConfirmar", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(checksum(), once);

    QCOMPARE(rows(QString("SELECT %1, IDSITVGPREC FROM TABEVEND WHERE CDFILIAL = '0003' AND "
                          "CDTABEPREC = '001' AND DTINIVGPREC = :s")
                      .arg(storage().dialect().selectDateTime("DTFINVGPREC")),
                  {{":s", now}}),
             QStringList{SqlDialect::dateTimeText(day(20)) + "|3"});
    const QString fromOrigin = "IN (SELECT CDPRPAITABPR FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                               "AND CDTABEPREC = '001' AND DTINIVGPREC = :o)";
    const QString inSegment = "IN (SELECT CDPRODUTO FROM PRODSEGMER WHERE CDSEGMER = '00002')";
    QCOMPARE(priceSets("0003", "001", now, fromOrigin, {{":o", now}}),
             priceSets("0001", "001", now, inSegment));
    QCOMPARE(priceSets("0003", "001", now, "= :q", {{":q", onlyThere}}), untouched);
}

void TestTransferMethods::refusals_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QStringList>("expected");
    const QString t = "T";
    QTest::newRow("origin as its own destination")
        << "setConfirmar" << QVariantList{false, "0001", "001", "", "0001", "001", "", t}
        << QStringList{"Tabela destino deve ser diferente da tabela origem."};
    QTest::newRow("new table with a code in use")
        << "setConfirmar" << QVariantList{true, "0002", "001", "Nova", "0001", "001", "", t}
        << QStringList{"Tabela já cadastrada para a filial informada."};
    QTest::newRow("new table name too long")
        << "setConfirmar"
        << QVariantList{true, "0002", "903", QString(21, u'N'), "0001", "001", "", t}
        << QStringList{"no máximo 20 caracteres"};
    QTest::newRow("unknown destination table")
        << "setConfirmar" << QVariantList{false, "0002", "904", "", "0001", "001", "", t}
        << QStringList{"Tabela não cadastrada para a filial informada."};
    QTest::newRow("empty product list")
        << "setConfirmar" << QVariantList{false, "0002", "001", "", "0001", "001", "", "L"}
        << QStringList{"Não há produto selecionado."};
    QTest::newRow("created period overlaps")
        << "setConfirmar" << QVariantList{false, "0002", "902", "", "0001", "001", "", t}
        << QStringList{dateText(day(-90)) + " a " + dateText(day(-31)),
                       dateText(day(-40)) + " a " + dateText(day(-35))};
    QTest::newRow("several branches, origin and unknown among them")
        << "setConfirmar2"
        << QVariantList{"0001", "001", productList({"0002", "0001", "9999"}), "", false}
        << QStringList{"Filial 0001: é a filial de origem.", "Filial 9999: não cadastrada."};
    QTest::newRow("several branches, origin without a period in force")
        << "setConfirmar2" << QVariantList{"0002", "902", productList({"0001"}), "", false}
        << QStringList{"não tem vigência em vigor"};
    QTest::newRow("import onto itself")
        << "SetImportaVigencia" << QVariantList{"0001", "001", day(-30), day(-30), day(29), true}
        << QStringList{"Vigência de origem deve ser diferente da vigência de destino."};
    QTest::newRow("import of an unknown period")
        << "SetImportaVigencia" << QVariantList{"0001", "001", day(-29), day(30), day(119), true}
        << QStringList{"Vigência de origem não cadastrada."};
}

void TestTransferMethods::refusals()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(QStringList, expected);
    const QByteArray before = checksum();
    const Outcome out = call(method, args);
    QVERIFY(!out.ok);
    for (const QString &text : expected)
        QVERIFY2(out.message.contains(text), qPrintable(out.message));
    QCOMPARE(checksum(), before);
}

void TestTransferMethods::exportToSeveralBranches()
{
    const QDateTime now = day(-30);
    // A drink every segment sells and a snack the shops' segment does not.
    const QString drink = scalar("SELECT MIN(P.CDPRODUTO) FROM PRODUTO P JOIN ITEMPRECO I ON "
                                 "I.CDPRPAITABPR = P.CDPRODUTO AND I.CDFILIAL = '0001' AND "
                                 "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s "
                                 "WHERE P.CDARVPROD LIKE '01%'",
                                 {{":s", now}})
                              .toString();
    const QString snack = scalar("SELECT MIN(P.CDPRODUTO) FROM PRODUTO P JOIN ITEMPRECO I ON "
                                 "I.CDPRPAITABPR = P.CDPRODUTO AND I.CDFILIAL = '0001' AND "
                                 "I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s "
                                 "WHERE P.CDARVPROD LIKE '02%'",
                                 {{":s", now}})
                              .toString();
    QVERIFY(!drink.isEmpty() && !snack.isEmpty());
    const QString others = "NOT IN (:pa, :pb)";
    const Binds pair{{":pa", drink}, {":pb", snack}};
    const QStringList before2 = priceSets("0002", "002", now, others, pair);
    const QStringList before3 = priceSets("0003", "002", now, others, pair);
    const QStringList future2 = priceSets("0002", "002", day(30));

    const Outcome out = call("setConfirmar2", {"0001", "002", productList({"0002", "0003"}),
                                               productList({drink, snack}), true});
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(priceSets("0002", "002", now, "IN (:pa, :pb)", pair),
             priceSets("0001", "002", now, "= :pa", {{":pa", drink}}));
    QCOMPARE(priceSets("0003", "002", now, "IN (:pa, :pb)", pair),
             priceSets("0001", "002", now, "IN (:pa, :pb)", pair));
    QCOMPARE(priceSets("0002", "002", now, others, pair), before2);
    QCOMPARE(priceSets("0003", "002", now, others, pair), before3);
    QCOMPARE(priceSets("0002", "002", day(30)), future2);
}

void TestTransferMethods::importPeriod_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("keep what is there") << false;
    QTest::newRow("overwrite") << true;
}

void TestTransferMethods::importPeriod()
{
    QFETCH(bool, overwrite);
    const QString table = overwrite ? "003" : "002";
    const QDateTime from = day(-90), into = day(30);
    const QString inOrigin = "IN (SELECT CDPRPAITABPR FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                             "AND CDTABEPREC = :tt AND DTINIVGPREC = :o)";
    const QString inTarget = "IN (SELECT CDPRPAITABPR FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                             "AND CDTABEPREC = :tt AND DTINIVGPREC = :d)";
    const Binds binds{{":tt", table}, {":o", from}, {":d", into}};
    const QStringList targetBefore = priceSets("0001", table, into);
    const QStringList originSets = priceSets("0001", table, from);
    const QStringList keptBefore = priceSets("0001", table, into, "NOT " + inOrigin, binds);
    const QStringList presentBefore = priceSets("0001", table, into, inTarget, binds);
    const QStringList states = rows("SELECT DTFINVGPREC, IDSITVGPREC FROM TABEVEND");

    const QVariantList args{"0001", table, from, into, day(119), overwrite};
    Outcome out = call("SetImportaVigencia", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QByteArray once = checksum();
    out = call("SetImportaVigencia", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(checksum(), once);

    QCOMPARE(rows("SELECT DTFINVGPREC, IDSITVGPREC FROM TABEVEND"), states);
    QCOMPARE(priceSets("0001", table, into, "NOT " + inOrigin, binds), keptBefore);
    const QStringList after = priceSets("0001", table, into);
    if (overwrite) {
        QCOMPARE(priceSets("0001", table, into, inOrigin, binds), originSets);
    } else {
        // What the destination priced stays; the rest comes from the origin.
        for (const QString &row : presentBefore)
            QVERIFY(after.contains(row));
        QVERIFY(after.size() > targetBefore.size());
        QVERIFY(after.size() < targetBefore.size() + originSets.size());
    }
}

void TestTransferMethods::setWindows(const QString &branch, const QString &table,
                                     const QDateTime &start, const QString &product,
                                     const QList<int> &windows)
{
    scalar("DELETE FROM ITEMPRECODIA WHERE CDFILIAL = :b AND CDTABEPREC = :t AND "
           "DTINIVGPREC = :s AND CDPRPAITABPR = :p",
           {{":b", branch}, {":t", table}, {":s", start}, {":p", product}});
    for (int i = 0; i < windows.size(); i += 2) {
        scalar("INSERT INTO ITEMPRECODIA (CDFILIAL, CDTABEPREC, DTINIVGPREC, CDPRODUTO, "
               "CDPRPAITABPR, CDTIPOCONSPD, NRDIASEMANPR, HRINIPRECDIA, HRFINPRECDIA, "
               "DTINIVALPREC, DTFINVALPREC, IDPERVALORPR, IDDESCACREPR, VRPRECODIA) VALUES "
               "(:b, :t, :s, :p, :p2, 'T', '1', '0100', '0200', :f, :e, 'V', 'D', 1)",
               {{":b", branch},
                {":t", table},
                {":s", start},
                {":p", product},
                {":p2", product},
                {":f", day(windows[i])},
                {":e", windows[i + 1] == kOpen ? QVariant() : QVariant(day(windows[i + 1]))}});
    }
}

QStringList TestTransferMethods::windowsOf(const QString &branch, const QString &table,
                                           const QDateTime &start, const QString &product)
{
    const SqlDialect &d = storage().dialect();
    return rows(QString("SELECT %1, %2 FROM ITEMPRECODIA WHERE CDFILIAL = :b AND "
                        "CDTABEPREC = :t AND DTINIVGPREC = :s AND CDPRPAITABPR = :p")
                    .arg(d.selectDateTime("DTINIVALPREC"), d.selectDateTime("DTFINVALPREC")),
                {{":b", branch}, {":t", table}, {":s", start}, {":p", product}});
}

QString TestTransferMethods::masked(const QString &treeCode)
{
    return treeCode.left(2) + u'.' + treeCode.mid(2, 2) + u'.' + treeCode.mid(4);
}

QStringList TestTransferMethods::windowTexts(const QList<int> &windows)
{
    QStringList out;
    for (int i = 0; i < windows.size(); i += 2) {
        out << SqlDialect::dateTimeText(day(windows[i])) + u'|' +
                   SqlDialect::dateTimeText(day(windows[i + 1]));
    }
    out.sort();
    return out;
}

void TestTransferMethods::validityMapping_data()
{
    // Origin period: days -90 to -31; destination: 30 to 119 (120 days on).
    QTest::addColumn<QList<int>>("windows");  // from, to of each origin row
    QTest::addColumn<QList<int>>("expected"); // from, to of each destination row
    QTest::addColumn<QString>("error");
    QTest::newRow("covers the origin period")
        << QList<int>{-90, -31} << QList<int>{30, 119} << QString();
    QTest::newRow("covers more than it")
        << QList<int>{-100, -20} << QList<int>{30, 119} << QString();
    QTest::newRow("inside: moved") << QList<int>{-80, -70} << QList<int>{40, 50} << QString();
    QTest::newRow("starts before: cut") << QList<int>{-95, -85} << QList<int>{30, 35} << QString();
    QTest::newRow("ends past the destination: cut")
        << QList<int>{-5, 5} << QList<int>{115, 119} << QString();
    QTest::newRow("open end: closed with the destination")
        << QList<int>{-50, kOpen} << QList<int>{70, 119} << QString();
    QTest::newRow("falls outside: dropped") << QList<int>{0, 10} << QList<int>{} << QString();
    QTest::newRow("two cut to the same start: refused")
        << QList<int>{-95, -85, -93, -80} << QList<int>{} << "mesma data inicial de validade";
}

void TestTransferMethods::validityMapping()
{
    QFETCH(QList<int>, windows);
    QFETCH(QList<int>, expected);
    QFETCH(QString, error);
    const QDateTime from = day(-90), into = day(30);
    const QString product = scalar("SELECT MIN(CDPRODUTO) FROM ITEMPRECO WHERE CDFILIAL = '0001' "
                                   "AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND "
                                   "CDPRODUTO = CDPRPAITABPR",
                                   {{":s", from}})
                                .toString();
    setWindows("0001", "001", from, product, windows);
    // Rows stored outside the period stay out of the tests after this one.
    const auto clean = qScopeGuard([&] { setWindows("0001", "001", from, product, {}); });
    const QByteArray before = error.isEmpty() ? QByteArray() : checksum();
    const Outcome out = call("SetImportaVigencia", {"0001", "001", from, into, day(119), true});
    if (!error.isEmpty()) {
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(error), qPrintable(out.message));
        QCOMPARE(checksum(), before);
        return;
    }
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(windowsOf("0001", "001", into, product), windowTexts(expected));
}

void TestTransferMethods::exportCutsValidity_data()
{
    // Origin period: days -30 to 29; the destination's, same start, ends on
    // day 10. Windows as in validityMapping.
    QTest::addColumn<bool>("severalBranches");
    QTest::addColumn<bool>("everyProduct");
    QTest::addColumn<QList<int>>("windows");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QString>("error");
    for (bool several : {false, true}) {
        const char *method = several ? "setConfirmar2" : "setConfirmar";
        // The demo's own differentiated prices cover the origin period.
        QTest::addRow("%s: every product", method)
            << several << true << QList<int>{-30, 29} << QList<int>{-30, 10} << QString();
        QTest::addRow("%s: inside: kept", method) << several << false << QList<int>{-20, -10, 0, 10}
                                                  << QList<int>{-20, -10, 0, 10} << QString();
        QTest::addRow("%s: ends past the destination: cut", method)
            << several << false << QList<int>{5, 20} << QList<int>{5, 10} << QString();
        QTest::addRow("%s: open end: closed with the destination", method)
            << several << false << QList<int>{-5, kOpen} << QList<int>{-5, 10} << QString();
        QTest::addRow("%s: falls outside: dropped", method)
            << several << false << QList<int>{-25, -20, 15, 25} << QList<int>{-25, -20}
            << QString();
        // Rows stored before the origin period's start (it was moved).
        QTest::addRow("%s: two cut to the same start: refused", method)
            << several << false << QList<int>{-35, -25, -33, -20} << QList<int>{}
            << "mesma data inicial de validade";
    }
}

void TestTransferMethods::exportCutsValidity()
{
    QFETCH(bool, severalBranches);
    QFETCH(bool, everyProduct);
    QFETCH(QList<int>, windows);
    QFETCH(QList<int>, expected);
    QFETCH(QString, error);
    const QDateTime now = day(-30);
    // A drink: every segment sells it.
    const QString product = scalar("SELECT MIN(P.CDPRODUTO) FROM PRODUTO P JOIN ITEMPRECO I ON "
                                   "I.CDPRODUTO = P.CDPRODUTO AND I.CDPRPAITABPR = P.CDPRODUTO "
                                   "AND I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND "
                                   "I.DTINIVGPREC = :s WHERE P.CDARVPROD LIKE '01%'",
                                   {{":s", now}})
                                .toString();
    QVERIFY(!product.isEmpty());
    const QString period = "UPDATE TABEVEND SET DTFINVGPREC = :e WHERE CDFILIAL = '0002' AND "
                           "CDTABEPREC = '001' AND DTINIVGPREC = :s";
    scalar(period, {{":e", day(10)}, {":s", now}});
    const auto restore = qScopeGuard([&] { scalar(period, {{":e", day(29)}, {":s", now}}); });
    setWindows("0001", "001", now, product, windows);
    const auto clean = qScopeGuard([&] { setWindows("0001", "001", now, product, {}); });

    // The destination branch has the rate of every product exported: its
    // periods in force and past are approved. Rates and prices go back
    // together.
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0002'");
    const QString destination = "CDFILIAL = '0002' AND CDTABEPREC = '001'";
    const auto items = keepRows("ITEMPRECO", destination);
    const auto dayPrices = keepRows("ITEMPRECODIA", destination);
    scalar("INSERT INTO ALIQPROD (CDFILIAL, CDPRODUTO, VRALIQPROD) SELECT DISTINCT '0002', "
           "I.CDPRODUTO, 7 FROM ITEMPRECO I WHERE I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' "
           "AND I.CDPRODUTO NOT IN (SELECT A.CDPRODUTO FROM ALIQPROD A WHERE A.CDFILIAL = '0002')");

    const QByteArray before = error.isEmpty() ? QByteArray() : checksum();
    const QString list = everyProduct ? QString() : productList({product});
    const Outcome out =
        severalBranches
            ? call("setConfirmar2", {"0001", "001", productList({"0002"}), list, !everyProduct})
            : call("setConfirmar",
                   {false, "0002", "001", "", "0001", "001", list, everyProduct ? "T" : "L"});
    if (!error.isEmpty()) {
        QVERIFY(!out.ok);
        QVERIFY2(out.message.contains(error) && out.message.contains(product),
                 qPrintable(out.message));
        QCOMPARE(checksum(), before);
        return;
    }
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(windowsOf("0002", "001", now, product), windowTexts(expected));
    if (!everyProduct)
        return;
    // Nothing the export wrote lies outside its period.
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECODIA D JOIN TABEVEND V ON V.CDFILIAL = "
                    "D.CDFILIAL AND V.CDTABEPREC = D.CDTABEPREC AND V.DTINIVGPREC = "
                    "D.DTINIVGPREC WHERE D.CDFILIAL = '0002' AND D.CDTABEPREC = '001' AND "
                    "D.CDPRPAITABPR IN (SELECT O.CDPRPAITABPR FROM ITEMPRECO O WHERE O.CDFILIAL = "
                    "'0001' AND O.CDTABEPREC = '001' AND O.DTINIVGPREC = D.DTINIVGPREC) AND "
                    "(D.DTINIVALPREC < V.DTINIVGPREC OR D.DTFINVALPREC IS NULL OR "
                    "D.DTFINVALPREC > V.DTFINVGPREC OR D.DTINIVALPREC > D.DTFINVALPREC)")
                 .toInt(),
             0);
}

void TestTransferMethods::approvedDestinationNeedsTaxRates_data()
{
    // Branch 0002, table 001: the periods from day -90 and from day -30 are
    // approved, the one from day 30 only confirmed. "{p}" stands for the
    // product left without a rate.
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("args");
    QTest::addColumn<QString>("source"); // branch|start of the period whose products go
    QTest::addColumn<QString>("period"); // the approved destination period
    QTest::addColumn<QString>("work");
    const QString period = dateText(day(-30)) + " a " + dateText(day(29));
    QTest::newRow("export of listed products onto a table")
        << "setConfirmar" << QVariantList{false, "0002", "001", "", "0001", "001", "{p}", "L"}
        << "0001|-30" << QString() << "exportado";
    QTest::newRow("export to the tables in force")
        << "setConfirmar2" << QVariantList{"0001", "001", productList({"0002"}), "{p}", true}
        << "0001|-30" << period << "exportado";
    QTest::newRow("import of a confirmed period into the approved one")
        << "SetImportaVigencia" << QVariantList{"0002", "001", day(30), day(-30), day(29), true}
        << "0002|30" << period << "importado";
}

void TestTransferMethods::approvedDestinationNeedsTaxRates()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, args);
    QFETCH(QString, source);
    QFETCH(QString, period);
    QFETCH(QString, work);
    // A drink (every segment sells it) priced by both origins, whose rate in
    // branch 0002 another module deleted.
    const QString product =
        scalar("SELECT MIN(A.CDPRODUTO) FROM ITEMPRECO A JOIN ITEMPRECO B ON "
               "B.CDPRODUTO = A.CDPRODUTO AND B.CDPRPAITABPR = A.CDPRODUTO JOIN PRODUTO P ON "
               "P.CDPRODUTO = A.CDPRODUTO WHERE A.CDFILIAL = '0001' AND A.CDTABEPREC = '001' AND "
               "A.DTINIVGPREC = :a AND A.CDPRPAITABPR = A.CDPRODUTO AND B.CDFILIAL = '0002' AND "
               "B.CDTABEPREC = '001' AND B.DTINIVGPREC = :b AND P.CDARVPROD LIKE '01%'",
               {{":a", day(-30)}, {":b", day(30)}})
            .toString();
    QVERIFY(!product.isEmpty());
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0002'");
    scalar("DELETE FROM ALIQPROD WHERE CDFILIAL = '0002' AND CDPRODUTO = :p", {{":p", product}});
    for (QVariant &a : args) {
        if (a == QVariant("{p}"))
            a = productList({product});
    }
    // What the call would bring without a rate, as the screens show it.
    QStringList missing;
    const QString branch = source.section(u'|', 0, 0);
    const QString where = method == u"SetImportaVigencia" ? QString() : " AND I.CDPRODUTO = :p";
    for (const QVariant &v :
         column("SELECT P.CDARVPROD FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                "WHERE I.CDFILIAL = :b AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
                "I.CDPRPAITABPR = I.CDPRODUTO AND I.CDPRODUTO IN (SELECT S.CDPRODUTO FROM "
                "PRODSEGMER S JOIN FILIAL F ON F.CDSEGMER = S.CDSEGMER WHERE F.CDFILIAL = '0002') "
                "AND I.CDPRODUTO NOT IN (SELECT CDPRODUTO FROM ALIQPROD WHERE CDFILIAL = '0002')" +
                    where + " ORDER BY P.CDARVPROD",
                Binds{{":b", branch}, {":s", day(source.section(u'|', 1).toInt())}} +
                    (where.isEmpty() ? Binds{} : Binds{{":p", product}})))
        missing << masked(v.toString());
    QVERIFY(!missing.isEmpty());

    const QByteArray before = checksum();
    const Outcome out = call(method, args);
    QVERIFY(!out.ok);
    QCOMPARE(checksum(), before);
    QVERIFY2(out.message.startsWith("Operação bloqueada. A vigência de destino "),
             qPrintable(out.message));
    QVERIFY2(out.message.contains(" da tabela 001 da filial 0002 está aprovada e "),
             qPrintable(out.message));
    QVERIFY2(out.message.endsWith(" alíquota na filial 0002. Nada foi " + work + "."),
             qPrintable(out.message));
    if (!period.isEmpty())
        QVERIFY2(out.message.contains(period), qPrintable(out.message));
    // The first few by tree code, then how many more.
    constexpr int kNamed = 5;
    QString named = QStringList(missing.mid(0, kNamed)).join(", ");
    if (missing.size() > kNamed)
        named += QStringLiteral(" e mais %1").arg(missing.size() - kNamed);
    QVERIFY2(out.message.contains((missing.size() == 1 ? "o produto " : "os produtos ") + named +
                                  (missing.size() == 1 ? " não tem" : " não têm")),
             qPrintable(out.message));
}

PRX_SERVER_TEST_MAIN(TestTransferMethods)

#include "tst_transfermethods.moc"

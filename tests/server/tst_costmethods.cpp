// Prices from costs, promotion marks and name prefixes, through dispatch.
#include "ServerTestBase.h"

#include "storage/SqlDialect.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlRecord>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestCostMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void costTypes();
    // The exact formula, its rounding and the row it writes.
    void calcRounding_data();
    void calcRounding();
    // All products: only calculated prices move, elsewhere nothing does.
    void calcAllLeavesTheRestAlone();
    // A product that cannot be priced is left as it was and named in the
    // answer with its reason; the others are priced.
    void calcSkips_data();
    void calcSkips();
    // A bad product placed last refuses the whole run, naming it.
    void calcRefusals_data();
    void calcRefusals();
    // Percentages: the whole segment with an empty list, else the list.
    void percentages();
    void promotionMarks();
    // Prefixes are idempotent and never cut a name.
    void prefixes();
    void longListTravelsAsData();
    // Automatic differentiated prices name every product that got none.
    void dayPricesListSkipped();

private:
    const QString kPeriod =
        QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND DTINIVGPREC = :s");

    // The leaf products of branch 0001's segment, by tree code.
    QStringList segmentProducts(const QString &branch = "0001")
    {
        QStringList out;
        for (const QVariant &v :
             column("SELECT P.CDPRODUTO FROM FILIAL F JOIN PRODSEGMER S ON S.CDSEGMER = "
                    "F.CDSEGMER JOIN PRODUTO P ON P.CDPRODUTO = S.CDPRODUTO WHERE F.CDFILIAL = "
                    ":b AND LENGTH(P.CDARVPROD) = 8 ORDER BY P.CDARVPROD",
                    {{":b", branch}}))
            out << v.toString();
        return out;
    }
    // Every row of the query as text, hashed: equal before and after means
    // nothing changed.
    QByteArray checksum(const QString &sql, const QList<std::pair<QString, QVariant>> &binds = {})
    {
        QSqlQuery q = storage().prepare(sql);
        for (const auto &[name, v] : binds)
            q.bindValue(name, v.metaType().id() == QMetaType::QDateTime
                                  ? SqlDialect::bindDateTime(v.toDateTime())
                                  : v);
        storage().exec(q, sql);
        QCryptographicHash hash(QCryptographicHash::Sha1);
        while (q.next()) {
            for (int c = 0; c < q.record().count(); ++c)
                hash.addData((q.value(c).toString() + u'|').toUtf8());
            hash.addData("\n");
        }
        return hash.result().toHex();
    }
    QByteArray wholeDatabase()
    {
        return checksum("SELECT * FROM ITEMPRECO ORDER BY CDFILIAL, CDTABEPREC, DTINIVGPREC, "
                        "CDPRODUTO, CDPRPAITABPR") +
               checksum("SELECT * FROM PRODUTO ORDER BY CDPRODUTO") +
               checksum("SELECT * FROM ITEMPRECODIA ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 9, 10");
    }
    void set(const QString &table, const QString &column, const QString &product, const QVariant &v,
             const QString &extra = {})
    {
        storage().execDirect(
            QStringLiteral("DELETE FROM %1 WHERE CDFILIAL = '0001' AND "
                           "CDPRODUTO = '%2' %3")
                .arg(table, product, extra.isEmpty() ? QString() : " AND " + extra));
        if (v.isValid()) {
            const QString type = table == u"CUSTOPROD" ? QStringLiteral("CDTIPOCUSTO, ") : "";
            storage().execDirect(
                QStringLiteral("INSERT INTO %1 (CDFILIAL, CDPRODUTO, %2%3) "
                               "VALUES ('0001', '%4', %5%6)")
                    .arg(table, type, column, product, type.isEmpty() ? "" : "2, ", v.toString()));
        }
    }
    Outcome calc(const QString &list, bool taxes, int type = 2, const QString &branch = "0001")
    {
        return call("SetCalcPreco",
                    {branch, "001", day(-30), "3", list, !list.isEmpty(), taxes, type});
    }
    QVariant own(const QString &column, const QString &product)
    {
        return scalar(QStringLiteral("SELECT %1 FROM ITEMPRECO WHERE %2 AND CDPRODUTO = :p AND "
                                     "CDPRPAITABPR = :p")
                          .arg(column, kPeriod),
                      {{":s", day(-30)}, {":p", product}});
    }
    QVariantList selection(const QString &all, const QString &from, const QString &to,
                           const QString &list)
    {
        return {from, to, list, all, "0001", "001", day(-30)};
    }
};

void TestCostMethods::costTypes()
{
    MethodRegistry registry;
    registerAllMethods(registry);
    Context context{storage()};
    const Outcome out = dispatch(registry, context, "cus.rdmCustProd", "GetTipoCusto", {});
    QVERIFY2(out.ok, qPrintable(out.message));
    const DataPacketPtr p = out.payload.value<DataPacketPtr>();
    QCOMPARE(p->rowCount(), 3);
    QCOMPARE(value(*p, 1, "CDTIPOCUSTO").toInt(), 2);
    QCOMPARE(value(*p, 1, "NMTIPOCUSTO").toString(), QStringLiteral("Custo da Última Compra"));
}

void TestCostMethods::calcRounding_data()
{
    QTest::addColumn<QString>("cost");
    QTest::addColumn<QString>("percent");
    QTest::addColumn<QVariant>("tax");
    QTest::addColumn<bool>("taxes");
    QTest::addColumn<double>("expected");
    QTest::addColumn<bool>("rowExisted");
    QTest::newRow("with 18 % tax") << "10.00"
                                   << "50" << QVariant(18) << true << 18.29 << true;
    QTest::newRow("half up 3.015") << "2.01"
                                   << "50" << QVariant(18) << false << 3.02 << true;
    QTest::newRow("half up 1.265") << "1.10"
                                   << "15" << QVariant() << false << 1.27 << false;
    QTest::newRow("no tax rate, taxes not considered")
        << "10"
        << "50" << QVariant() << false << 15.0 << true;
    QTest::newRow("average cost, every digit") << "60.55634146341463"
                                               << "105.09" << QVariant() << false << 124.2 << true;
    QTest::newRow("long percentage and tax rate")
        << "60.55634146341463"
        << "3.3333333333333335" << QVariant("17.999999999999996") << true << 76.31 << true;
    QTest::newRow("negative percentage") << "10"
                                         << "-10" << QVariant(0) << true << 9.0 << false;
}

void TestCostMethods::calcRounding()
{
    QFETCH(QString, cost);
    QFETCH(QString, percent);
    QFETCH(QVariant, tax);
    QFETCH(bool, taxes);
    QFETCH(double, expected);
    QFETCH(bool, rowExisted);
    const QString product = segmentProducts().at(3);
    // The registry's rates come back: a product another module left
    // without one stays out of the approved periods after the test.
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0001'");
    set("CUSTOPROD", "VRCUSTPROD", product, cost, "CDTIPOCUSTO = 2");
    set("PERCCUSTO", "VRPERCCUSTO", product, percent);
    set("ALIQPROD", "VRALIQPROD", product, tax);
    if (!rowExisted) {
        storage().execDirect(
            QStringLiteral("DELETE FROM ITEMPRECODIA WHERE CDPRODUTO = '%1'").arg(product));
        storage().execDirect(
            QStringLiteral("DELETE FROM ITEMPRECO WHERE CDPRODUTO = '%1'").arg(product));
    }
    const Outcome out = calc(productList({product}), taxes);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(own("VRCUSTITEM", product).toDouble(), expected);
    QCOMPARE(out.payload.toList().value(0).toInt(), 1);
    QCOMPARE(out.payload.toList().value(1).toInt(), 0);
    QCOMPARE(own("VRMKUPITEM", product).toDouble(), percent.toDouble());
    if (!rowExisted) {
        // A new row has no prices and "N" flags.
        QVERIFY(own("VRPRECITEM", product).isNull());
        QCOMPARE(own("IDPRODPROMOC || IDPRECVARIA || IDIMPPRODROT", product).toString(),
                 QStringLiteral("NNN"));
    }
}

void TestCostMethods::calcAllLeavesTheRestAlone()
{
    const QStringList products = segmentProducts();
    const QString uncosted = products.at(5);
    storage().execDirect(
        QStringLiteral("DELETE FROM CUSTOPROD WHERE CDFILIAL = '0001' AND CDPRODUTO = '%1' "
                       "AND CDTIPOCUSTO = 1")
            .arg(uncosted));
    const QVariant uncostedBefore = own("VRCUSTITEM", uncosted);
    const QList<std::pair<QString, QVariant>> s{{":s", day(-30)}};
    // Consumer prices and flags of the period's rows, by product and parent.
    auto consumer = [&] {
        QSqlQuery q = storage().prepare(
            "SELECT CDPRODUTO, CDPRPAITABPR, VRPRECITEM, VRPRECITEMDLV, VRPRECITEMCMD, "
            "VRPRECITEMCL, IDPRECVARIA, VRPRESUGITEM, IDPRODPROMOC, HRINIVENPROD, HRFIMVENPROD "
            "FROM ITEMPRECO WHERE " +
            kPeriod);
        q.bindValue(":s", SqlDialect::bindDateTime(day(-30)));
        storage().exec(q, "ler");
        QHash<QString, QString> rows;
        while (q.next()) {
            QString text;
            for (int c = 2; c < 11; ++c)
                text += q.value(c).toString() + u'|';
            rows.insert(q.value(0).toString() + u'/' + q.value(1).toString(), text);
        }
        return rows;
    };
    auto elsewhere = [&] {
        return checksum("SELECT * FROM ITEMPRECO WHERE NOT (" + kPeriod +
                            ") OR CDPRODUTO <> CDPRPAITABPR ORDER BY 1, 2, 3, 4, 5",
                        s) +
               checksum("SELECT * FROM ITEMPRECODIA ORDER BY 1, 2, 3, 4, 5, 6, 7, 8, 9, 10") +
               checksum("SELECT * FROM PRODUTO ORDER BY 1");
    };
    const QHash<QString, QString> consumerBefore = consumer();
    const QByteArray elsewhereBefore = elsewhere();
    QHash<QString, QVariant> calculatedBefore;
    for (const QString &p : products)
        calculatedBefore.insert(p, own("VRCUSTITEM", p));
    // With taxes, the products still waiting for a tax rate are not priced.
    const QStringList taxless = [&] {
        QStringList out;
        for (const QString &p : products) {
            if (scalar("SELECT COUNT(*) FROM ALIQPROD WHERE CDFILIAL = '0001' AND CDPRODUTO = :p",
                       {{":p", p}})
                        .toInt() == 0 &&
                p != uncosted)
                out << p;
        }
        return out;
    }();

    const Outcome out = calc({}, true, 1);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QVariantList answer = out.payload.toList();
    QCOMPARE(answer.value(0).toInt(), products.size() - 1 - taxless.size());
    QCOMPARE(answer.value(1).toInt(), 1 + taxless.size());
    const DataPacketPtr skipped = answer.value(2).value<DataPacketPtr>();
    QVERIFY(skipped);
    QCOMPARE(skipped->rowCount(), 1 + taxless.size());
    for (int r = 0; r < skipped->rowCount(); ++r) {
        const QString p = value(*skipped, r, "CDPRODUTO").toString();
        QCOMPARE(value(*skipped, r, "DSMOTIVO").toString(),
                 p == uncosted ? QStringLiteral("sem custo do tipo escolhido")
                               : QStringLiteral("sem alíquota de imposto"));
        QVERIFY(p == uncosted || taxless.contains(p));
        QCOMPARE(own("VRCUSTITEM", p), calculatedBefore.value(p));
    }
    int calculated = answer.value(0).toInt();
    for (const QString &p : taxless + QStringList{uncosted})
        calculated += calculatedBefore.value(p).isNull() ? 0 : 1;
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE " + kPeriod +
                        " AND CDPRODUTO = CDPRPAITABPR AND VRCUSTITEM IS NOT NULL",
                    s)
                 .toInt(),
             calculated);
    const QHash<QString, QString> consumerAfter = consumer();
    for (auto it = consumerBefore.cbegin(); it != consumerBefore.cend(); ++it)
        QCOMPARE(consumerAfter.value(it.key()), it.value());
    QVERIFY(consumerAfter.size() > consumerBefore.size()); // unpriced products got rows
    QCOMPARE(elsewhere(), elsewhereBefore);
}

void TestCostMethods::calcSkips_data()
{
    QTest::addColumn<bool>("hasCost");
    QTest::addColumn<bool>("hasTax");
    QTest::addColumn<bool>("taxes");
    QTest::addColumn<QString>("reason"); // empty: priced
    QTest::newRow("no cost of the type") << false << true << true << "sem custo do tipo escolhido";
    QTest::newRow("no tax rate, taxes considered")
        << true << false << true << "sem alíquota de imposto";
    QTest::newRow("no tax rate, taxes not considered") << true << false << false << "";
}

void TestCostMethods::calcSkips()
{
    QFETCH(bool, hasCost);
    QFETCH(bool, hasTax);
    QFETCH(bool, taxes);
    QFETCH(QString, reason);
    const QString priced = ownPricedProducts().at(1), other = ownPricedProducts().at(2);
    const auto rates = keepRows("ALIQPROD", "CDFILIAL = '0001'");
    for (const QString &p : {priced, other}) {
        set("CUSTOPROD", "VRCUSTPROD", p, 10, "CDTIPOCUSTO = 2");
        set("PERCCUSTO", "VRPERCCUSTO", p, 50);
        set("ALIQPROD", "VRALIQPROD", p, 18);
    }
    if (!hasCost)
        set("CUSTOPROD", "VRCUSTPROD", other, QVariant(), "CDTIPOCUSTO = 2");
    if (!hasTax)
        set("ALIQPROD", "VRALIQPROD", other, QVariant());
    const QList<std::pair<QString, QVariant>> s{{":s", day(-30)}, {":p", other}};
    scalar("UPDATE ITEMPRECO SET VRCUSTITEM = 7.77 WHERE " + kPeriod +
               " AND CDPRODUTO = :p AND CDPRPAITABPR = :p",
           s);
    const QVariant before = own("VRCUSTITEM", other);

    const Outcome out = calc(productList({priced, other}), taxes);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QVariantList answer = out.payload.toList();
    const DataPacketPtr skipped = answer.value(2).value<DataPacketPtr>();
    QVERIFY(skipped);
    QCOMPARE(own("VRCUSTITEM", priced).toDouble(), taxes ? 18.29 : 15.0);
    if (reason.isEmpty()) {
        QCOMPARE(answer.value(0).toInt(), 2);
        QCOMPARE(answer.value(1).toInt(), 0);
        QCOMPARE(skipped->rowCount(), 0);
        QCOMPARE(own("VRCUSTITEM", other).toDouble(), 15.0);
        return;
    }
    QCOMPARE(answer.value(0).toInt(), 1);
    QCOMPARE(answer.value(1).toInt(), 1);
    QCOMPARE(skipped->rowCount(), 1);
    QCOMPARE(value(*skipped, 0, "CDPRODUTO").toString(), other);
    QCOMPARE(value(*skipped, 0, "NMPRODUTO"),
             scalar("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", other}}));
    QCOMPARE(value(*skipped, 0, "CDARVPROD"),
             scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", other}}));
    QCOMPARE(value(*skipped, 0, "DSMOTIVO").toString(), reason);
    QCOMPARE(own("VRCUSTITEM", other), before); // its old price is kept, and said so
}

void TestCostMethods::calcRefusals_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("negative cost") << "CUSTOPROD"
                                   << "VRCUSTPROD" << QVariant(-0.01) << "negativo";
    QTest::newRow("percentage -100") << "PERCCUSTO"
                                     << "VRPERCCUSTO" << QVariant(-100) << "-100";
    QTest::newRow("tax 100 %") << "ALIQPROD"
                               << "VRALIQPROD" << QVariant(100) << "alíquota";
    QTest::newRow("negative tax") << "ALIQPROD"
                                  << "VRALIQPROD" << QVariant(-1) << "alíquota";
    QTest::newRow("too large") << "CUSTOPROD"
                               << "VRCUSTPROD" << QVariant(9e14) << "máximo";
    QTest::newRow("no percentage") << "PERCCUSTO"
                                   << "VRPERCCUSTO" << QVariant() << "percentual";
}

void TestCostMethods::calcRefusals()
{
    QFETCH(QString, table);
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QString, refusal);
    const QString last = segmentProducts().constLast();
    set("CUSTOPROD", "VRCUSTPROD", last, 10, "CDTIPOCUSTO = 2");
    set("PERCCUSTO", "VRPERCCUSTO", last, 50);
    set("ALIQPROD", "VRALIQPROD", last, 18);
    set(table, column, last, value, table == u"CUSTOPROD" ? "CDTIPOCUSTO = 2" : QString());
    const QByteArray before = wholeDatabase();
    const Outcome out = calc({}, true);
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(refusal), qPrintable(out.message));
    const QString code =
        scalar("SELECT CDARVPROD FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", last}}).toString();
    QVERIFY2(out.message.contains(code), qPrintable(out.message));
    QCOMPARE(wholeDatabase(), before);
    set("PERCCUSTO", "VRPERCCUSTO", last, 50);
}

void TestCostMethods::percentages()
{
    const QStringList products = segmentProducts("0002");
    const QString missing = products.at(2);
    storage().execDirect(
        QStringLiteral("DELETE FROM PERCCUSTO WHERE CDFILIAL = '0002' AND CDPRODUTO = '%1'")
            .arg(missing));
    auto perc = [&](const QString &branch, const QString &list) {
        const Outcome out = call("GetPercProd", {branch, list, "3"});
        return out.ok ? QVariant(out.payload.toBool()) : QVariant(out.message);
    };
    QCOMPARE(perc("0001", ""), QVariant(true));
    QCOMPARE(perc("0002", ""), QVariant(false));
    QCOMPARE(perc("0002", productList({products.at(0), missing})), QVariant(false));
    QCOMPARE(perc("0002", productList({products.at(0), products.at(1)})), QVariant(true));
    // A product of another segment is no product of the branch.
    const QString foreign = scalar("SELECT MIN(CDPRODUTO) FROM PRODUTO WHERE CDPRODUTO NOT IN "
                                   "(SELECT S.CDPRODUTO FROM PRODSEGMER S JOIN FILIAL F ON "
                                   "F.CDSEGMER = S.CDSEGMER WHERE F.CDFILIAL = '0002')")
                                .toString();
    if (!foreign.isEmpty())
        QVERIFY(perc("0002", productList({foreign})).toString().contains(u"segmento"));
    // The calculation checks again, in its own transaction.
    const QByteArray before = wholeDatabase();
    const Outcome out = calc({}, true, 1, "0002");
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(u"percentual"), qPrintable(out.message));
    QCOMPARE(wholeDatabase(), before);
}

void TestCostMethods::promotionMarks()
{
    const QList<std::pair<QString, QVariant>> s{{":s", day(-30)}};
    const int rows = scalar("SELECT COUNT(*) FROM ITEMPRECO", {}).toInt();
    const DataPacketPtr listed = read("GetAutItemPreco", {"0001", "001", day(-30)});
    QCOMPARE(listed->rowCount(), scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE " + kPeriod +
                                            " AND CDPRODUTO = CDPRPAITABPR",
                                        s)
                                     .toInt());
    QVERIFY(listed->rowCount() > 4);
    const QString firstTree = value(*listed, 1, "CDARVPROD").toString();
    const QString lastTree = value(*listed, 2, "CDARVPROD").toString();
    QCOMPARE(read("GetProdValid", {"0001", "001", day(-30), firstTree})->rowCount(), 1);
    QCOMPARE(read("GetProdValid", {"0001", "001", day(-30), "99999999"})->rowCount(), 0);

    auto promoted = [&] {
        return column("SELECT CDPRODUTO FROM ITEMPRECO WHERE " + kPeriod +
                          " AND CDPRODUTO = CDPRPAITABPR AND IDPRODPROMOC = 'S' ORDER BY 1",
                      s)
            .size();
    };
    const QByteArray components =
        checksum("SELECT * FROM ITEMPRECO WHERE CDPRODUTO <> CDPRPAITABPR ORDER BY 1, 2, 3, 4, 5");
    const QVariant none = QVariant::fromValue(std::make_shared<DataPacket>());
    auto alter = [&](const QString &mark, const QString &from, const QString &to,
                     const QString &all, const QVariant &packet, bool isList) {
        return call("SetUpdItemPrecoAlt",
                    {mark, from, to, "", all, packet, isList, "0001", "001", day(-30)});
    };
    QVERIFY(alter("N", "", "", "T", none, false).ok);
    QCOMPARE(promoted(), 0);
    QVERIFY(alter("S", firstTree, lastTree, "", none, false).ok);
    QCOMPARE(promoted(), 2);
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDPRODUTO"), FieldType::String, 10}});
    for (int r : {3, 4}) {
        packet->setString(packet->appendRow(), 0, value(*listed, r, "CDPRODUTO").toString());
    }
    const Outcome byList = alter("S", "", "", "", QVariant::fromValue(packet), true);
    QVERIFY2(byList.ok, qPrintable(byList.message));
    QCOMPARE(byList.payload.toInt(), 2);
    QCOMPARE(promoted(), 4);
    QVERIFY(alter("S", "", "", "T", none, false).ok);
    QCOMPARE(promoted(), listed->rowCount());
    // Nothing created, components untouched, bad marks and intervals refused.
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECO", {}).toInt(), rows);
    QCOMPARE(checksum("SELECT * FROM ITEMPRECO WHERE CDPRODUTO <> CDPRPAITABPR ORDER BY 1, 2, 3, "
                      "4, 5"),
             components);
    QVERIFY(!alter("X", "", "", "T", none, false).ok);
    QVERIFY(alter("S", lastTree, firstTree, "", none, false).message.contains(u"menor ou igual"));
}

void TestCostMethods::prefixes()
{
    const DataPacketPtr listed = read("GetAutItemPreco", {"0001", "001", day(-30)});
    const QString a = value(*listed, 0, "CDPRODUTO").toString();
    const QString b = value(*listed, 1, "CDPRODUTO").toString();
    auto name = [&](const QString &p) {
        return scalar("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", p}}).toString();
    };
    const QString nameA = name(a), nameB = name(b);
    // Only promotional products take a prefix.
    scalar("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE " + kPeriod +
               " AND CDPRODUTO = CDPRPAITABPR",
           {{":s", day(-30)}});
    const QVariantList two = selection("", "", "", productList({a, b}));
    QVERIFY(call("SetAddPrefixo", QVariantList{"PROMO "} + two).ok);
    QVERIFY(call("SetAddPrefixo", QVariantList{"PROMO "} + two).ok); // a retry adds nothing
    QCOMPARE(name(a), "PROMO " + nameA);
    QCOMPARE(name(b), "PROMO " + nameB);
    QVERIFY(call("SetDelPrefixo", QVariantList{"PROMO "} + two).ok);
    QVERIFY(call("SetDelPrefixo", QVariantList{"PROMO "} + two).ok);
    QCOMPARE(name(a), nameA);
    QCOMPARE(name(b), nameB);
    QVERIFY(call("SetAddPrefixo", QVariantList{"  "} + two).message.contains(u"Prefixo"));

    // A name that would not fit refuses the whole call; none is cut.
    storage().execDirect(
        QStringLiteral("UPDATE PRODUTO SET NMPRODUTO = '%1' WHERE CDPRODUTO = '%2'")
            .arg(QString(46, u'X'), b));
    const QByteArray before = wholeDatabase();
    const Outcome out = call("SetAddPrefixo", QVariantList{"PROMO "} + selection("T", "", "", ""));
    QVERIFY(!out.ok);
    QVERIFY2(out.message.contains(QString(46, u'X')), qPrintable(out.message));
    QCOMPARE(wholeDatabase(), before);
    storage().execDirect(
        QStringLiteral("UPDATE PRODUTO SET NMPRODUTO = '%1' WHERE CDPRODUTO = '%2'").arg(nameB, b));
}

void TestCostMethods::longListTravelsAsData()
{
    QStringList codes;
    for (int i = 0; i < 40000; ++i)
        codes << QStringLiteral("Z%1").arg(i, 9, 10, QChar(u'0'));
    const DataPacketPtr listed = read("GetAutItemPreco", {"0001", "001", day(-30)});
    const QString real = value(*listed, 0, "CDPRODUTO").toString();
    scalar("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE " + kPeriod +
               " AND CDPRODUTO = :p AND CDPRPAITABPR = :p",
           {{":s", day(-30)}, {":p", real}});
    codes << real << QStringLiteral("x') OR ('1'='1");
    const Outcome out =
        call("SetAddPrefixo", QVariantList{"Z-"} + selection("", "", "", productList(codes)));
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.toInt(), 1);
    QVERIFY(
        call("SetDelPrefixo", QVariantList{"Z-"} + selection("", "", "", productList(codes))).ok);
    // The calculation refuses a list code that is not a product of the branch.
    QVERIFY(calc(productList(codes), true).message.contains(u"Z000000000"));
}

void TestCostMethods::dayPricesListSkipped()
{
    const QStringList priced = ownPricedProducts();
    const QString fine = priced.at(6), unpriced = priced.at(7), cheap = priced.at(8),
                  absent = priced.at(9);
    // Without their differentiated prices, which the new base would break.
    auto setPrice = [&](const QString &p, const QVariant &price) {
        scalar("DELETE FROM ITEMPRECODIA WHERE " + kPeriod + " AND CDPRPAITABPR = :p",
               {{":s", day(-30)}, {":p", p}});
        scalar("UPDATE ITEMPRECO SET VRPRECITEM = :v, VRPRECITEMCL = 0 WHERE " + kPeriod +
                   " AND CDPRODUTO = :p AND CDPRPAITABPR = :p",
               {{":s", day(-30)}, {":p", p}, {":v", price}});
    };
    setPrice(fine, 10.0);
    setPrice(unpriced, QVariant(QMetaType(QMetaType::Double)));
    setPrice(cheap, 3.0);
    for (const char *table : {"ITEMPRECODIA", "ITEMPRECO"}) {
        scalar(QStringLiteral("DELETE FROM %1 WHERE %2 AND (CDPRODUTO = :p OR CDPRPAITABPR = :p)")
                   .arg(QLatin1String(table), kPeriod),
               {{":s", day(-30)}, {":p", absent}});
    }
    // Mondays, a fixed discount of 5,00 from 08:00 to 08:01 over the whole
    // period, every consumer type, for the four listed products and one code
    // that is no product at all.
    QVariantList args(10, false);
    args[4] = true;
    args << true << false << false << 0 << 0 << "0001"
         << "001" << QString() << QString() << "08:00"
         << "08:01" << day(-30) << day(29) << day(-30) << 5.0
         << productList({fine, unpriced, cheap, absent, "ZZNENHUM"})
         << QVariant::fromValue(std::make_shared<DataPacket>()) << "T" << 1;
    const Outcome out = call("SetPrecDif", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    const QVariantList answer = out.payload.toList();
    QCOMPARE(answer.value(0).toInt(), 1);
    QCOMPARE(answer.value(1).toInt(), 4);
    const DataPacketPtr skipped = answer.value(2).value<DataPacketPtr>();
    QVERIFY(skipped);
    QHash<QString, QString> reasons;
    for (int r = 0; r < skipped->rowCount(); ++r) {
        reasons.insert(value(*skipped, r, "CDPRODUTO").toString(),
                       value(*skipped, r, "DSMOTIVO").toString());
    }
    QCOMPARE(reasons, (QHash<QString, QString>{
                          {unpriced, QStringLiteral("sem preço de venda na vigência")},
                          {cheap, QStringLiteral("preço diferenciado seria zero ou negativo")},
                          {absent, QStringLiteral("sem preço de venda na vigência")},
                          {QStringLiteral("ZZNENHUM"), QStringLiteral("produto não cadastrado")}}));
    QCOMPARE(column("SELECT CDPRODUTO FROM ITEMPRECODIA WHERE HRINIPRECDIA = '0800' AND "
                    "HRFINPRECDIA = '0801'"),
             QVariantList{fine});
}

PRX_SERVER_TEST_MAIN(TestCostMethods)
#include "tst_costmethods.moc"

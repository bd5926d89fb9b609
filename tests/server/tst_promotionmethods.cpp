// Name prefixes follow the promotion marks: a name is seen by every branch.
#include "ServerTestBase.h"

#include <QCoreApplication>
#include <QScopeGuard>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestPromotionMethods : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void initTestCase();
    // Adding renames only the products promotional where the call looks
    // (the period given, or any period not ended); clearing renames any
    // product of the selection that carries the prefix.
    void prefixFollowsMarks_data();
    void prefixFollowsMarks();
    // Five or eight arguments; anything between is refused.
    void argumentCounts();

private:
    QString a, b; // own rows in the period in force and in the ended one
    const QString kOwn = QStringLiteral("CDFILIAL = '0001' AND CDTABEPREC = '001' AND "
                                        "CDPRODUTO = CDPRPAITABPR AND CDPRODUTO IN (:a, :b)");

    QString name(const QString &p)
    {
        return scalar("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = :p", {{":p", p}}).toString();
    }
};

void TestPromotionMethods::initTestCase()
{
    ServerTestBase::initTestCase();
    const QVariantList both =
        column("SELECT I.CDPRODUTO FROM ITEMPRECO I JOIN ITEMPRECO O ON O.CDFILIAL = I.CDFILIAL "
               "AND O.CDTABEPREC = I.CDTABEPREC AND O.CDPRODUTO = I.CDPRODUTO AND "
               "O.CDPRPAITABPR = I.CDPRODUTO AND O.DTINIVGPREC = :old WHERE I.CDFILIAL = '0001' "
               "AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = :now AND I.CDPRPAITABPR = "
               "I.CDPRODUTO ORDER BY I.CDPRODUTO",
               {{":now", day(-30)}, {":old", day(-90)}});
    QVERIFY(both.size() >= 2);
    a = both.at(0).toString();
    b = both.at(1).toString();
    // Short names take the prefix.
    scalar("UPDATE PRODUTO SET NMPRODUTO = SUBSTR(NMPRODUTO, 1, 40) WHERE CDPRODUTO IN (:a, :b)",
           {{":a", a}, {":b", b}});
}

void TestPromotionMethods::prefixFollowsMarks_data()
{
    QTest::addColumn<bool>("add");
    QTest::addColumn<bool>("withPeriod");  // the period in force, after the five arguments
    QTest::addColumn<int>("markedIn");     // start of the period whose rows carry the marks
    QTest::addColumn<QString>("marked");   // which of a, b are promotional there
    QTest::addColumn<QString>("prefixed"); // which names carry the prefix afterwards
    QTest::newRow("period: only the promotional one") << true << true << -30 << "a"
                                                      << "a";
    QTest::newRow("period: none promotional") << true << true << -30 << ""
                                              << "";
    QTest::newRow("period: promotional elsewhere only") << true << true << -90 << "ab"
                                                        << "";
    QTest::newRow("no period: promotional in force") << true << false << -30 << "b"
                                                     << "b";
    QTest::newRow("no period: only in an ended period") << true << false << -90 << "ab"
                                                        << "";
    QTest::newRow("clearing, whatever the mark") << false << true << -30 << "a"
                                                 << "";
    QTest::newRow("clearing without a period") << false << false << -30 << ""
                                               << "";
}

void TestPromotionMethods::prefixFollowsMarks()
{
    QFETCH(bool, add);
    QFETCH(bool, withPeriod);
    QFETCH(int, markedIn);
    QFETCH(QString, marked);
    QFETCH(QString, prefixed);
    const QString nameA = name(a), nameB = name(b);
    // Back to the plain names for the next row, whatever this one finds.
    const auto restore = qScopeGuard([&] {
        scalar("UPDATE PRODUTO SET NMPRODUTO = :n WHERE CDPRODUTO = :p",
               {{":n", nameA}, {":p", a}});
        scalar("UPDATE PRODUTO SET NMPRODUTO = :n WHERE CDPRODUTO = :p",
               {{":n", nameB}, {":p", b}});
    });
    // No period of any branch or table marks them but the one the row names.
    scalar("UPDATE ITEMPRECO SET IDPRODPROMOC = 'N' WHERE CDPRODUTO IN (:a, :b)",
           {{":a", a}, {":b", b}});
    for (const auto &[letter, code] : {std::pair{u'a', a}, std::pair{u'b', b}}) {
        if (marked.contains(letter)) {
            scalar("UPDATE ITEMPRECO SET IDPRODPROMOC = 'S' WHERE " + kOwn +
                       " AND CDPRODUTO = :p AND DTINIVGPREC = :s",
                   {{":a", a}, {":b", b}, {":p", code}, {":s", day(markedIn)}});
        }
        if (!add) {
            scalar("UPDATE PRODUTO SET NMPRODUTO = 'PROMO ' || NMPRODUTO WHERE CDPRODUTO = :p",
                   {{":p", code}});
        }
    }
    QVariantList args{"PROMO ", "", "", productList({a, b}), ""};
    if (withPeriod)
        args << "0001"
             << "001" << day(-30);
    const Outcome out = call(add ? "SetAddPrefixo" : "SetDelPrefixo", args);
    QVERIFY2(out.ok, qPrintable(out.message));
    QCOMPARE(out.payload.toInt(), add ? int(prefixed.size()) : 2);
    QCOMPARE(name(a), (prefixed.contains(u'a') ? "PROMO " : "") + nameA);
    QCOMPARE(name(b), (prefixed.contains(u'b') ? "PROMO " : "") + nameB);
}

void TestPromotionMethods::argumentCounts()
{
    const QVariantList five{"PROMO ", "", "", "", "T"};
    QVERIFY(call("SetDelPrefixo", five).ok);
    const Outcome six = call("SetDelPrefixo", five + QVariantList{"0001"});
    QVERIFY(!six.ok);
    QVERIFY2(six.message.contains(u"vigência"), qPrintable(six.message));
    QVERIFY(!call("SetAddPrefixo", QVariantList{"PROMO ", "", "", ""}).ok);
    QVERIFY(call("SetDelPrefixo", five + QVariantList{"0001", "001", day(-30)}).ok);
}

PRX_SERVER_TEST_MAIN(TestPromotionMethods)
#include "tst_promotionmethods.moc"

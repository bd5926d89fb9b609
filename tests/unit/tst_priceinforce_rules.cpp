// Deciding the price in force without a database: which differentiated
// price wins, sale windows, which period sells, exact resulting prices.
#include "money/PriceInForce.h"

#include <QTest>

using namespace prx;
using namespace prx::inforce;

namespace {

Candidate rule(const QString &day, const QString &from, const QString &to, const QString &consumer,
               int validFromDay, const char *amount)
{
    Candidate c;
    c.day = day;
    c.consumer = consumer;
    c.hourFrom = from;
    c.hourTo = to;
    c.validFrom = QDate(2027, 3, validFromDay);
    c.validTo = QDate(2027, 3, 31);
    c.rule = {true, true};
    c.takesPart[0] = true;
    c.amount[0] = *Decimal::parse(QString::fromLatin1(amount));
    return c;
}

// Monday 15/03/2027, 18:30, a holiday.
Moment holidayEvening()
{
    return {QDate(2027, 3, 15), 18 * 60 + 30, true, false};
}

} // namespace

class TestPriceInForceRules : public QObject
{
    Q_OBJECT
private slots:
    // The winner and the criterion that decided do not depend on the order
    // the rows come in.
    void winnerIgnoresOrder_data();
    void winnerIgnoresOrder();
    void saleWindow_data();
    void saleWindow();
    void periodChoice();
    // The price is the screen's, exact, on the modality's price plus the
    // subsidised part.
    void exactPrice();
};

void TestPriceInForceRules::winnerIgnoresOrder_data()
{
    QTest::addColumn<QList<Candidate>>("rows");
    QTest::addColumn<QString>("consumer");
    QTest::addColumn<int>("winner");
    QTest::addColumn<int>("decider");
    const Candidate all = rule("T", "0000", "2359", "T", 1, "10");
    const Candidate monday = rule("2", "1700", "1900", "T", 1, "20");
    const Candidate holiday = rule("F", "1800", "2359", "T", 1, "30");
    const Candidate staff = rule("T", "0000", "2359", "01", 1, "40");
    const Candidate narrow = rule("T", "1800", "1900", "T", 1, "50");
    const Candidate newer = rule("T", "0000", "2359", "T", 10, "60");
    const Candidate laterStart = rule("T", "1830", "1930", "T", 1, "70");
    const Candidate otherType = rule("T", "0000", "2359", "02", 1, "80");
    QTest::newRow("holiday over weekday over all")
        << QList{all, monday, holiday} << "T" << 2 << int(Decider::Day);
    QTest::newRow("consumer type over holiday")
        << QList{holiday, staff, all} << "01" << 1 << int(Decider::ConsumerType);
    QTest::newRow("other consumer type never matches")
        << QList{otherType, all} << "01" << 1 << int(Decider::Single);
    QTest::newRow("narrower window") << QList{all, narrow} << "T" << 1 << int(Decider::HourWindow);
    QTest::newRow("newer validity") << QList{all, newer} << "T" << 1 << int(Decider::ValidityStart);
    QTest::newRow("later start hour")
        << QList{narrow, laterStart} << "T" << 1 << int(Decider::HourStart);
}

void TestPriceInForceRules::winnerIgnoresOrder()
{
    QFETCH(QList<Candidate>, rows);
    QFETCH(QString, consumer);
    QFETCH(int, winner);
    QFETCH(int, decider);
    const Decimal expected = rows[winner].amount[0];
    for (int shift = 0; shift < rows.size(); ++shift) {
        const Choice c = choose(rows, holidayEvening(), consumer, Modality::General);
        QVERIFY(c.winner >= 0);
        QCOMPARE(rows[c.winner].amount[0], expected);
        QCOMPARE(int(c.decidedBy), decider);
        rows.append(rows.takeFirst());
    }
}

void TestPriceInForceRules::saleWindow_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<int>("minute");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("no window") << ""
                               << "" << 0 << true;
    QTest::newRow("first minute") << "0600"
                                  << "1100" << 6 * 60 << true;
    QTest::newRow("last minute") << "0600"
                                 << "1100" << 11 * 60 << true;
    QTest::newRow("after") << "0600"
                           << "1100" << 11 * 60 + 1 << false;
    QTest::newRow("up to midnight") << "1100"
                                    << "2359" << 24 * 60 - 1 << true;
    QTest::newRow("across midnight, late") << "1800"
                                           << "0200" << 23 * 60 << true;
    QTest::newRow("across midnight, early") << "1800"
                                            << "0200" << 2 * 60 << true;
    QTest::newRow("across midnight, day") << "1800"
                                          << "0200" << 12 * 60 << false;
}

void TestPriceInForceRules::saleWindow()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(int, minute);
    QFETCH(bool, allowed);
    QCOMPARE(saleWindowAllows(from, to, minute), allowed);
}

void TestPriceInForceRules::periodChoice()
{
    const QList<Period> periods = {{QDate(2027, 1, 1), QDate(2027, 12, 31), "4"},
                                   {QDate(2027, 3, 1), QDate(2027, 3, 31), "4"},
                                   {QDate(2027, 4, 1), QDate(), "3"},
                                   {QDate(2028, 1, 1), QDate(), "4"}};
    QCOMPARE(choosePeriod(periods, QDate(2027, 3, 31)).inForce, 1); // latest start
    QCOMPARE(choosePeriod(periods, QDate(2027, 4, 1)).inForce, 0);
    const PeriodChoice unapproved = choosePeriod(periods.mid(2, 1), QDate(2027, 5, 1));
    QCOMPARE(unapproved.inForce, -1);
    QCOMPARE(unapproved.notApproved, 0);
    QCOMPARE(choosePeriod(periods, QDate(2040, 1, 1)).inForce, 3); // no end
    QCOMPARE(choosePeriod(periods, QDate(2026, 12, 31)).inForce, -1);
}

void TestPriceInForceRules::exactPrice()
{
    ItemPrices item;
    item.price[0] = *Decimal::parse(u"1.30");
    item.subsidy = *Decimal::parse(u"0.10");
    const QList<Candidate> rows = {rule("T", "0000", "2359", "T", 1, "10")};
    const Answer a = priceInForce(item, rows, holidayEvening(), "T", Modality::General);
    QCOMPARE(a.outcome, Outcome::Priced);
    QCOMPARE(a.price->toString(), QString("1.26"));
    QVERIFY2(a.explanation.contains("1,26"), qPrintable(a.explanation));
    const Answer none = priceInForce(item, rows, holidayEvening(), "T", Modality::Delivery);
    QCOMPARE(none.outcome, Outcome::NoModalityPrice);
    QVERIFY(!none.price);
}

QTEST_APPLESS_MAIN(TestPriceInForceRules)
#include "tst_priceinforce_rules.moc"

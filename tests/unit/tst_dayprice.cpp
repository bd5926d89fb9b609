// The differentiated price arithmetic shared by the screen, the server and
// the demo: exact to the cent where doubles and a cut are not.
#include "money/DayPrice.h"

#include <QTest>

using prx::Decimal;
namespace dayprice = prx::dayprice;

namespace {

Decimal dec(const QString &text)
{
    return *Decimal::parse(text);
}

dayprice::Rule rule(const QString &codes)
{
    return *dayprice::ruleFromCodes(QStringView(codes).left(1), QStringView(codes).mid(1));
}

} // namespace

class DayPriceTest : public QObject
{
    Q_OBJECT

private slots:
    // A typed amount gives its price.
    void priceFromAmount_data();
    void priceFromAmount();
    // A typed price gives its amount and direction, or is refused.
    void amountFromPrice_data();
    void amountFromPrice();
    // Every typed price below a base under 100 comes back from the amount
    // derived from it.
    void typedPriceRoundTrip();
    void limits_data();
    void limits();
    // A base or an amount past the price limit computes nothing: it is
    // refused, never wrapped into a price that passes the checks.
    void outOfRangeRefused_data();
    void outOfRangeRefused();
    // What a rule may hold: a percentage 0 to 100, a fixed amount below the
    // price limit.
    void amountLimits_data();
    void amountLimits();
};

void DayPriceTest::priceFromAmount_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("codes"); // IDPERVALORPR + IDDESCACREPR
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("price");
    QTest::newRow("1.40 less 10 %") << "1.40"
                                    << "PD"
                                    << "10"
                                    << "1.26";
    QTest::newRow("19.90 plus 10 %") << "19.90"
                                     << "PA"
                                     << "10"
                                     << "21.89";
    QTest::newRow("10.00 less 15 %") << "10.00"
                                     << "PD"
                                     << "15"
                                     << "8.50";
    QTest::newRow("10.00 plus 15 %") << "10.00"
                                     << "PA"
                                     << "15"
                                     << "11.50";
    QTest::newRow("10.00 less 2") << "10.00"
                                  << "VD"
                                  << "2"
                                  << "8.00";
    QTest::newRow("10.00 plus 9.99") << "10.00"
                                     << "VA"
                                     << "9.99"
                                     << "19.99";
    QTest::newRow("10.00 less 14.5 %") << "10.00"
                                       << "PD"
                                       << "14.5"
                                       << "8.55";
    QTest::newRow("0.70 less 10 %") << "0.70"
                                    << "PD"
                                    << "10"
                                    << "0.63";
    QTest::newRow("percentage cut, not rounded") << "9.99"
                                                 << "PD"
                                                 << "15"
                                                 << "8.50";
    QTest::newRow("increase cut") << "3.33"
                                  << "PA"
                                  << "33.33"
                                  << "4.43";
    // Rounding the product to six places first carried it onto the next cent.
    QTest::newRow("99.999999 % off a trillion and a cent") << "1000000000000.01"
                                                           << "PD"
                                                           << "99.999999"
                                                           << "10000.01";
    QTest::newRow("largest base, all of it off") << "999999999999998.99"
                                                 << "PD"
                                                 << "100"
                                                 << "0.00";
    QTest::newRow("largest base doubled") << "999999999999998.99"
                                          << "PA"
                                          << "100"
                                          << "1999999999999997.98";
}

void DayPriceTest::priceFromAmount()
{
    QFETCH(QString, base);
    QFETCH(QString, codes);
    QFETCH(QString, amount);
    QFETCH(QString, price);
    QCOMPARE(dayprice::priceFor(dec(base), dec(amount), rule(codes)).toString(2), price);
}

void DayPriceTest::amountFromPrice_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("price");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("discount");
    const int none = int(dayprice::Refusal::None);
    QTest::newRow("typed 0.29 on 1.00") << "1.00"
                                        << "PD"
                                        << "0.29" << none << "71" << true;
    // With "increase" asked, a price below the base is still a discount.
    QTest::newRow("typed 8.55, increase asked") << "10.00"
                                                << "PA"
                                                << "8.55" << none << "14.5" << true;
    QTest::newRow("equal to the base") << "10.00"
                                       << "PA"
                                       << "10.00" << none << "0" << false;
    QTest::newRow("above the base") << "10.00"
                                    << "PD"
                                    << "10.01" << int(dayprice::Refusal::AboveBase) << "" << true;
    QTest::newRow("base 0") << "0"
                            << "PD"
                            << "0" << int(dayprice::Refusal::BaseNotPositive) << "" << true;
    QTest::newRow("negative base") << "-1"
                                   << "PD"
                                   << "-2" << int(dayprice::Refusal::BaseNotPositive) << "" << true;
    QTest::newRow("fixed discount") << "10.00"
                                    << "VD"
                                    << "8.00" << none << "2" << true;
    QTest::newRow("fixed increase") << "10.00"
                                    << "VA"
                                    << "12.50" << none << "2.5" << false;
    // The wrong side of the base gives a negative amount the checks refuse.
    QTest::newRow("fixed increase below") << "10.00"
                                          << "VA"
                                          << "8.00" << none << "-2" << false;
}

void DayPriceTest::amountFromPrice()
{
    QFETCH(QString, base);
    QFETCH(QString, codes);
    QFETCH(QString, price);
    QFETCH(int, refusal);
    QFETCH(QString, amount);
    QFETCH(bool, discount);
    dayprice::Derived derived;
    QCOMPARE(int(dayprice::amountFor(dec(base), dec(price), rule(codes), &derived)), refusal);
    if (refusal != int(dayprice::Refusal::None))
        return;
    QCOMPARE(derived.amount.toString(), amount);
    QCOMPARE(derived.discount, discount);
}

void DayPriceTest::typedPriceRoundTrip()
{
    int checked = 0;
    for (int baseCents = 1; baseCents < 10000; baseCents += 61) {
        const Decimal base = Decimal::fromUnits(Decimal::Units(baseCents) * 10000);
        for (int priceCents = 1; priceCents <= baseCents; priceCents += 17) {
            const Decimal price = Decimal::fromUnits(Decimal::Units(priceCents) * 10000);
            for (const QString codes : {"PD", "PA", "VD"}) {
                dayprice::Derived d;
                QCOMPARE(dayprice::amountFor(base, price, rule(codes), &d),
                         dayprice::Refusal::None);
                dayprice::Rule again = rule(codes);
                again.discount = d.discount;
                QVERIFY2(dayprice::priceFor(base, d.amount, again) == price,
                         qPrintable(QStringLiteral("%1 %2 on %3")
                                        .arg(codes, price.toString(2), base.toString(2))));
                ++checked;
            }
        }
    }
    QVERIFY(checked > 50000);
}

void DayPriceTest::limits_data()
{
    QTest::addColumn<QString>("price");
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("twice the base") << "20.00"
                                    << "10.00" << false;
    QTest::newRow("a cent below twice") << "19.99"
                                        << "10.00" << true;
    QTest::newRow("zero") << "0"
                          << "10.00" << false;
    QTest::newRow("a cent") << "0.01"
                            << "10.00" << true;
}

void DayPriceTest::limits()
{
    QFETCH(QString, price);
    QFETCH(QString, base);
    QFETCH(bool, accepted);
    QCOMPARE(dayprice::priceWithinLimits(dec(price), dec(base)), accepted);
}

void DayPriceTest::outOfRangeRefused_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("amount");
    QTest::newRow("a discount of 4.898.538.516.419.438 %") << "69466100099.11"
                                                           << "PD"
                                                           << "4898538516419438";
    QTest::newRow("a fixed amount at the limit") << "10.00"
                                                 << "VA"
                                                 << "999999999999999";
    QTest::newRow("a base at the limit") << "999999999999999"
                                         << "PD"
                                         << "10";
    QTest::newRow("a negative base at the limit") << "-999999999999999"
                                                  << "VD"
                                                  << "1";
}

void DayPriceTest::outOfRangeRefused()
{
    QFETCH(QString, base);
    QFETCH(QString, codes);
    QFETCH(QString, amount);
    QVERIFY_THROWS_EXCEPTION(prx::MoneyOverflow,
                             dayprice::priceFor(dec(base), dec(amount), rule(codes)));
    QVERIFY(!dayprice::tryPriceFor(dec(base), dec(amount), rule(codes)));
    // A price typed at the limit gives no amount either.
    dayprice::Derived derived;
    QCOMPARE(dayprice::amountFor(dec(QStringLiteral("10.00")),
                                 dec(QStringLiteral("999999999999999")), rule(codes), &derived),
             dayprice::Refusal::OutOfRange);
}

void DayPriceTest::amountLimits_data()
{
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("100 %") << "100"
                           << "PD" << true;
    QTest::newRow("a millionth past 100 %") << "100.000001"
                                            << "PA" << false;
    QTest::newRow("no percentage") << "0"
                                   << "PD" << true;
    QTest::newRow("negative percentage") << "-0.01"
                                         << "PD" << false;
    QTest::newRow("150 as an amount") << "150"
                                      << "VD" << true;
    QTest::newRow("largest amount") << "999999999999998.99"
                                    << "VA" << true;
    QTest::newRow("amount at the limit") << "999999999999999"
                                         << "VA" << false;
    QTest::newRow("negative amount") << "-1"
                                     << "VD" << false;
}

void DayPriceTest::amountLimits()
{
    QFETCH(QString, amount);
    QFETCH(QString, codes);
    QFETCH(bool, accepted);
    QCOMPARE(dayprice::amountWithinLimits(dec(amount), rule(codes)), accepted);
}

QTEST_APPLESS_MAIN(DayPriceTest)
#include "tst_dayprice.moc"

// Exact decimal money: what binary doubles get wrong must come out right here.
#include "money/Decimal.h"

#include <QTest>

using prx::Decimal;

namespace {

Decimal dec(const char *text)
{
    return *Decimal::parse(QString::fromLatin1(text));
}

} // namespace

class DecimalTest : public QObject
{
    Q_OBJECT

private slots:
    void arithmetic_data();
    void arithmetic();
    void parseAndText_data();
    void parseAndText();
    void doublesRoundTrip();
    void cuts_data();
    void cuts();
    void divisionByZeroThrows();
    // Price formulas round once, on the exact quotient; overflow is refused.
    void mulDiv_data();
    void mulDiv();
};

void DecimalTest::arithmetic_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected");
    // 0.7 * 0.1 is 0.06999... in doubles: a cut to cents then gives 0.06.
    QTest::newRow("product that doubles miss") << "*"
                                               << "0.7"
                                               << "0.1"
                                               << "0.07";
    QTest::newRow("1.40 less 10 %") << "%-"
                                    << "1.40"
                                    << "10"
                                    << "1.26";
    QTest::newRow("19.90 plus 10 %") << "%+"
                                     << "19.90"
                                     << "10"
                                     << "21.89";
    QTest::newRow("10.00 less 15 %") << "%-"
                                     << "10.00"
                                     << "15"
                                     << "8.5";
    QTest::newRow("10.00 plus 15 %") << "%+"
                                     << "10.00"
                                     << "15"
                                     << "11.5";
    QTest::newRow("quotient rounds half up") << "/"
                                             << "2"
                                             << "3"
                                             << "0.666667";
    QTest::newRow("negative quotient") << "/"
                                       << "-1"
                                       << "3"
                                       << "-0.333333";
    QTest::newRow("large price sum") << "+"
                                     << "999999999999998.99"
                                     << "0.01"
                                     << "999999999999999";
    QTest::newRow("difference below zero") << "-"
                                           << "0.10"
                                           << "0.30"
                                           << "-0.2";
}

void DecimalTest::arithmetic()
{
    QFETCH(QString, op);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    const Decimal x = *Decimal::parse(a), y = *Decimal::parse(b);
    Decimal r;
    if (op == "*")
        r = x * y;
    else if (op == "/")
        r = x / y;
    else if (op == "+")
        r = x + y;
    else if (op == "-")
        r = x - y;
    else if (op == "%-")
        r = x - prx::percentOf(x, y);
    else
        r = x + prx::percentOf(x, y);
    QCOMPARE(r.toString(), expected);
}

void DecimalTest::parseAndText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("shown");
    QTest::newRow("comma") << " 1,40 " << true << "1.40";
    QTest::newRow("negative") << "-3" << true << "-3.00";
    QTest::newRow("seventh place rounds") << "0.0000005" << true << "0.00";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("two points") << "1.2.3" << false << "";
    QTest::newRow("thousands separator") << "1.000,50" << false << "";
    QTest::newRow("letters") << "12a" << false << "";
    QTest::newRow("sign alone") << "-" << false << "";
    QTest::newRow("beyond any price") << "1000000000000000000000" << false << "";
}

void DecimalTest::parseAndText()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, shown);
    const auto value = Decimal::parse(text);
    QCOMPARE(value.has_value(), valid);
    if (valid)
        QCOMPARE(value->toString(2), shown);
}

// A value read from a dataset and written back must be the same double.
void DecimalTest::doublesRoundTrip()
{
    for (int cents = 0; cents < 200000; cents += 7) {
        const double typed = cents / 100.0;
        QCOMPARE(Decimal::fromDouble(typed).toDouble(), typed);
        QCOMPARE(Decimal::fromDouble(typed), Decimal::fromUnits(Decimal::Units(cents) * 10000));
    }
    // The binary error of a double (0.06999999999999999) is below the sixth
    // place: reading it rounds it away instead of cutting a cent.
    QCOMPARE(Decimal::fromDouble(0.7 * 0.1).truncated(2).toString(), QStringLiteral("0.07"));
    QCOMPARE((Decimal::fromDouble(0.7) * Decimal::fromDouble(0.1)).truncated(2).toString(),
             QStringLiteral("0.07"));
    QCOMPARE(Decimal::fromDouble(qQNaN()), Decimal());
}

void DecimalTest::cuts_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("truncated");
    QTest::addColumn<QString>("rounded");
    QTest::addColumn<QString>("ceiled");
    QTest::newRow("positive") << "12.345"
                              << "12.34"
                              << "12.35"
                              << "12.35";
    QTest::newRow("negative") << "-12.345"
                              << "-12.34"
                              << "-12.35"
                              << "-12.34";
    QTest::newRow("exact") << "12.30"
                           << "12.30"
                           << "12.30"
                           << "12.30";
    QTest::newRow("just above a cent") << "0.010001"
                                       << "0.01"
                                       << "0.01"
                                       << "0.02";
}

void DecimalTest::cuts()
{
    QFETCH(QString, value);
    QFETCH(QString, truncated);
    QFETCH(QString, rounded);
    QFETCH(QString, ceiled);
    const Decimal v = *Decimal::parse(value);
    QCOMPARE(v.truncated(2).toString(2), truncated);
    QCOMPARE(v.rounded(2).toString(2), rounded);
    QCOMPARE(v.ceiled(2).toString(2), ceiled);
}

void DecimalTest::divisionByZeroThrows()
{
    QVERIFY_THROWS_EXCEPTION(std::domain_error, dec("1") / Decimal());
}

void DecimalTest::mulDiv_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("cost 10 + 50 % over 18 % tax") << "10.00"
                                                  << "150"
                                                  << "82"
                                                  << "18.29";
    QTest::newRow("2.01 x 1.5 half up") << "2.01"
                                        << "150"
                                        << "100"
                                        << "3.02";
    QTest::newRow("1.10 x 1.15 half up") << "1.10"
                                         << "115"
                                         << "100"
                                         << "1.27";
    // 6-place division first would give 1.235000 and then 1.24.
    QTest::newRow("no double rounding") << "2.469999"
                                        << "1"
                                        << "2"
                                        << "1.23";
    QTest::newRow("division by zero") << "1"
                                      << "1"
                                      << "0"
                                      << "";
    QTest::newRow("product overflows") << "99999999999999999999"
                                       << "99999999999999999999"
                                       << "1"
                                       << "";
}

void DecimalTest::mulDiv()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, c);
    QFETCH(QString, expected);
    const std::optional<Decimal> r =
        Decimal::mulDiv(*Decimal::parse(a), *Decimal::parse(b), *Decimal::parse(c), 2);
    QCOMPARE(r ? r->toString(2) : QString(), expected);
}

QTEST_APPLESS_MAIN(DecimalTest)
#include "tst_decimal.moc"

// Exact decimal money: what binary doubles get wrong must come out right here.
#include "money/Decimal.h"

#include <QTest>

#include <cmath>

using prx::Decimal;

namespace {

Decimal dec(const char *text)
{
    return *Decimal::parse(QString::fromLatin1(text));
}

// A value by text, or the edges of what a Decimal holds: "max", "-max" and
// "min" (one millionth below -max, only reachable by hand).
Decimal operand(const QString &text)
{
    if (text == u"max")
        return Decimal::fromUnits(Decimal::kMaxUnits);
    if (text == u"-max")
        return Decimal::fromUnits(-Decimal::kMaxUnits);
    if (text == u"min")
        return Decimal::fromUnits(-Decimal::kMaxUnits - 1);
    return *Decimal::parse(text);
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
    // Past 128 bits a product is still exact while its result fits; a result
    // that does not fit throws instead of wrapping around.
    void limits_data();
    void limits();
    // Only a double that is exactly a value of two decimals is a price.
    void cents_data();
    void cents();
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
    QTest::newRow("product past 128 bits") << "100000000000000000000"
                                           << "100000000000000000000"
                                           << "100000000000000000000"
                                           << "100000000000000000000.00";
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

void DecimalTest::limits_data()
{
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("sum past max") << "+"
                                  << "max"
                                  << "0.000001"
                                  << "";
    QTest::newRow("difference past -max") << "-"
                                          << "-max"
                                          << "0.000001"
                                          << "";
    QTest::newRow("negation of min") << "neg"
                                     << "min"
                                     << ""
                                     << "";
    QTest::newRow("product of 10^16 and 10^16") << "*"
                                                << "10000000000000000"
                                                << "10000000000000000"
                                                << "100000000000000000000000000000000";
    QTest::newRow("product past max") << "*"
                                      << "100000000000000000"
                                      << "10000000000000000"
                                      << "";
    QTest::newRow("percentage of 10^20") << "%"
                                         << "100000000000000000000"
                                         << "100000000000000"
                                         << "100000000000000000000000000000000";
    QTest::newRow("percentage past max") << "%"
                                         << "100000000000000000000"
                                         << "100000000000000000000"
                                         << "";
    QTest::newRow("quotient past max") << "/"
                                       << "max"
                                       << "0.5"
                                       << "";
    QTest::newRow("max rounded to units") << "round0"
                                          << "max"
                                          << ""
                                          << "170141183460469231731687303715884";
    QTest::newRow("max rounded to cents") << "round2"
                                          << "max"
                                          << ""
                                          << "";
    QTest::newRow("max ceiled") << "ceil0"
                                << "max"
                                << ""
                                << "";
    QTest::newRow("double past 10^20") << "double"
                                       << "1e21"
                                       << ""
                                       << "";
}

void DecimalTest::limits()
{
    QFETCH(QString, op);
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(QString, expected);
    QString result;
    try {
        Decimal r;
        if (op == u"double")
            r = Decimal::fromDouble(a.toDouble());
        else if (op == u"neg")
            r = -operand(a);
        else if (op == u"round0")
            r = operand(a).rounded(0);
        else if (op == u"round2")
            r = operand(a).rounded(2);
        else if (op == u"ceil0")
            r = operand(a).ceiled(0);
        else if (op == u"+")
            r = operand(a) + operand(b);
        else if (op == u"-")
            r = operand(a) - operand(b);
        else if (op == u"*")
            r = operand(a) * operand(b);
        else if (op == u"/")
            r = operand(a) / operand(b);
        else
            r = prx::percentOf(operand(a), operand(b));
        result = r.toString();
    } catch (const prx::MoneyOverflow &) {
    }
    QCOMPARE(result, expected);
}

void DecimalTest::cents_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<bool>("cents");
    QTest::newRow("8.89") << 8.89 << true;
    QTest::newRow("8.89 and a last bit") << std::nextafter(8.89, 9.0) << false;
    QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << false;
    QTest::newRow("a third decimal") << 9.876 << false;
    QTest::newRow("negative cents") << -12.34 << true;
    QTest::newRow("below a millionth") << 1e-7 << false;
    QTest::newRow("largest price") << 999999999999998.0 << true;
    QTest::newRow("past 10^20") << 1e21 << false;
    QTest::newRow("not a number") << qQNaN() << false;
    QTest::newRow("infinity") << qInf() << false;
}

void DecimalTest::cents()
{
    QFETCH(double, value);
    QFETCH(bool, cents);
    QCOMPARE(prx::isCents(value), cents);
}

QTEST_APPLESS_MAIN(DecimalTest)
#include "tst_decimal.moc"

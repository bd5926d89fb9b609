// The price from a cost: one rounding, on every digit the stored doubles hold.
#include "money/CostPrice.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using prx::Decimal;
using prx::priceFromCost;

class CostPriceTest : public QObject
{
    Q_OBJECT

private slots:
    // Known values, ties, inputs past 128 bits, and what is refused.
    void cases_data();
    void cases();
    // Costs with up to twelve decimals against the same formula on integers
    // built by the test itself, never read back from a double.
    void matchesIntegerReference();
};

void CostPriceTest::cases_data()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::addColumn<double>("cost");
    QTest::addColumn<double>("percent");
    QTest::addColumn<double>("tax");
    QTest::addColumn<QString>("expected"); // empty: refused
    QTest::newRow("average cost, no cut to six places")
        << 60.55634146341463 << 105.09 << 0.0 << "124.20";
    QTest::newRow("with tax") << 10.0 << 50.0 << 18.0 << "18.29";
    QTest::newRow("tie 3.015 goes up") << 2.01 << 50.0 << 0.0 << "3.02";
    QTest::newRow("tie 1.265 goes up") << 1.1 << 15.0 << 0.0 << "1.27";
    QTest::newRow("negative percentage") << 10.0 << -10.0 << 0.0 << "9.00";
    QTest::newRow("zero cost") << 0.0 << 35.0 << 18.0 << "0.00";
    QTest::newRow("three long decimals")
        << 60.55634146341463 << 3.3333333333333335 << 17.999999999999996 << "76.31";
    QTest::newRow("products past 128 bits")
        << 60.55634146341463 << 1.2345678901234568e-05 << 17.999999999999996 << "73.85";
    // A tie moved by a digit three hundred places down still decides.
    QTest::newRow("just below a tie") << 0.005 << -1e-300 << 0.0 << "0.00";
    QTest::newRow("just above a tie") << 0.005 << 1e-300 << 0.0 << "0.01";
    QTest::newRow("largest price") << 499999999999999.0 << 100.0 << 0.0 << "999999999999998.00";
    QTest::newRow("at the price limit") << 499999999999999.5 << 100.0 << 0.0 << "";
    QTest::newRow("far past the limit") << 1e300 << 1e300 << 99.0 << "";
    QTest::newRow("negative cost") << -0.01 << 50.0 << 0.0 << "";
    QTest::newRow("percentage -100") << 10.0 << -100.0 << 0.0 << "";
    QTest::newRow("tax 100") << 10.0 << 50.0 << 100.0 << "";
    QTest::newRow("negative tax") << 10.0 << 50.0 << -1.0 << "";
    QTest::newRow("not a number") << nan << 50.0 << 0.0 << "";
    QTest::newRow("infinite percentage") << 10.0 << inf << 0.0 << "";
}

void CostPriceTest::cases()
{
    QFETCH(double, cost);
    QFETCH(double, percent);
    QFETCH(double, tax);
    QFETCH(QString, expected);
    const std::optional<Decimal> price = priceFromCost(cost, percent, tax);
    QCOMPARE(price ? price->toString(2) : QString(), expected);
}

void CostPriceTest::matchesIntegerReference()
{
    using I = __int128;
    QRandomGenerator random(20260517);
    for (int i = 0; i < 20000; ++i) {
        // cost = units / 10^places, percent = p / 100, tax = t / 100.
        const int places = int(random.bounded(13));
        const qint64 units = qint64(random.bounded(Q_INT64_C(10000000000000)));
        const qint64 p = qint64(random.bounded(40000)) - 9999;
        const qint64 t = random.bounded(3) == 0 ? 0 : qint64(random.bounded(9000));
        I scale = 1;
        for (int k = 0; k < places; ++k)
            scale *= 10;
        // cents = units·(10000 + p)·100 / (10^places·(10000 − t)), half up.
        const I n = I(units) * (10000 + p) * 100;
        const I d = scale * (10000 - t);
        I q = n / d;
        if ((n % d) * 2 >= d)
            ++q;
        const std::optional<Decimal> price =
            priceFromCost(double(units) / double(scale), double(p) / 100, double(t) / 100);
        QVERIFY(price);
        if (price->units() != q * (Decimal::kOne / 100)) {
            QFAIL(qPrintable(QStringLiteral("%1e-%2 at %3 %% and %4 %% of tax gave %5")
                                 .arg(units)
                                 .arg(places)
                                 .arg(double(p) / 100)
                                 .arg(double(t) / 100)
                                 .arg(price->toString(2))));
        }
    }
}

QTEST_APPLESS_MAIN(CostPriceTest)
#include "tst_costprice.moc"

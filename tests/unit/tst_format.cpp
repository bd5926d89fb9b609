#include "dataset/FieldDef.h"
#include "dataset/Format.h"

#include <QTest>

using namespace prx;

class TestFormat : public QObject
{
    Q_OBJECT

private slots:
    // Prices must show with Brazilian separators, rounded as the user reads
    // them, with the sign kept and no "-0,00".
    void numbers_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("text");
        QTest::newRow("grouped") << 1234.56 << "#,##0.00"
                                 << "1.234,56";
        QTest::newRow("millions") << 1234567.5 << "#,##0.00"
                                  << "1.234.567,50";
        QTest::newRow("below thousand") << 999.0 << "#,##0.00"
                                        << "999,00";
        QTest::newRow("zero three decimals") << 0.0 << "0.000"
                                             << "0,000";
        QTest::newRow("three decimals") << 12.3456 << "0.000"
                                        << "12,346";
        QTest::newRow("no grouping") << 1234.5 << "##0.00"
                                     << "1234,50";
        QTest::newRow("no grouping 2") << 1234.5 << "###0.00"
                                       << "1234,50";
        QTest::newRow("negative") << -1234.56 << "#,##0.00"
                                  << "-1.234,56";
        QTest::newRow("negative small") << -0.5 << "0.00"
                                        << "-0,50";
        QTest::newRow("negative rounds to zero") << -0.001 << "0.00"
                                                 << "0,00";
        QTest::newRow("half up from decimal") << 2.675 << "0.00"
                                              << "2,68";
        QTest::newRow("half up negative") << -1.005 << "0.00"
                                          << "-1,01";
        QTest::newRow("carry into thousands") << 999.999 << "#,##0.00"
                                              << "1.000,00";
        QTest::newRow("optional decimals") << 1.5 << "0.##"
                                           << "1,5";
        QTest::newRow("literal prefix") << 3.0 << "R$ #,##0.00"
                                        << "R$ 3,00";
        QTest::newRow("largest price") << 999999999999998.0 << "#,##0.00"
                                       << "999.999.999.999.998,00";
        QTest::newRow("shortest") << 12.5 << ""
                                  << "12,5";
        QTest::newRow("shortest tenth") << 0.1 << ""
                                        << "0,1";
        QTest::newRow("shortest integer") << 7.0 << ""
                                          << "7";
        QTest::newRow("shortest negative") << -3.25 << ""
                                           << "-3,25";
    }
    void numbers()
    {
        QFETCH(double, value);
        QFETCH(QString, format);
        QFETCH(QString, text);
        QCOMPARE(formatNumber(value, format), text);
    }

    // Typed numbers must be read the way a Brazilian user means them, and
    // a text that could mean two numbers must be refused, not guessed.
    void parsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("value");
        QTest::newRow("grouped") << "1.234,56" << true << 1234.56;
        QTest::newRow("comma") << "1234,56" << true << 1234.56;
        QTest::newRow("point") << "1234.56" << true << 1234.56;
        QTest::newRow("point two digits") << "12.5" << true << 12.5;
        QTest::newRow("leading zero point") << "0.500" << true << 0.5;
        QTest::newRow("negative") << "-1.234,5" << true << -1234.5;
        QTest::newRow("blanks") << "  7,25 " << true << 7.25;
        QTest::newRow("integer groups") << "1.234.567" << true << 1234567.0;
        QTest::newRow("comma only decimals") << ",5" << true << 0.5;
        QTest::newRow("ambiguous") << "1.234" << false << 0.0;
        QTest::newRow("other country") << "1,234.56" << false << 0.0;
        QTest::newRow("two commas") << "1,2,3" << false << 0.0;
        QTest::newRow("bad group") << "12.34,5" << false << 0.0;
        QTest::newRow("letters") << "12a" << false << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("sign only") << "-" << false << 0.0;
    }
    void parsing()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(double, value);
        double parsed = -1;
        QCOMPARE(parseNumber(text, &parsed), ok);
        if (ok)
            QCOMPARE(parsed, value);
    }

    // Every displayed number must read back as the same value.
    void formattedNumbersReadBack()
    {
        const double values[] = {0.01, 1234.56, -98765.43, 1e6, 0.1 + 0.2, 123456789.12};
        for (double v : values) {
            double back = 0;
            QVERIFY(parseNumber(formatNumber(v, u"#,##0.00"), &back));
            QCOMPARE(back, std::round(v * 100) / 100);
            QVERIFY(parseNumber(formatNumber(v), &back));
            QCOMPARE(back, v);
        }
    }

    // Dates show as dd/MM/yyyy, with the time only when there is one; the
    // fast renderer used by the filter must agree with the general one.
    void dates_data()
    {
        QTest::addColumn<QDateTime>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("midnight") << wallClock(QDate(2026, 2, 1)) << "01/02/2026";
        QTest::newRow("with time")
            << wallClock(QDate(2026, 12, 31), QTime(17, 5, 9)) << "31/12/2026 17:05:09";
        QTest::newRow("leap day") << wallClock(QDate(2024, 2, 29)) << "29/02/2024";
        QTest::newRow("before epoch")
            << wallClock(QDate(1969, 12, 31), QTime(23, 59, 59)) << "31/12/1969 23:59:59";
        QTest::newRow("far") << wallClock(QDate(2400, 3, 1)) << "01/03/2400";
    }
    void dates()
    {
        QFETCH(QDateTime, value);
        QFETCH(QString, text);
        QCOMPARE(formatDateTime(value), text);
        QCOMPARE(formatDateTimeMs(value.toMSecsSinceEpoch()), text);
        QDateTime back;
        QVERIFY(parseDateTime(text, &back));
        QCOMPARE(back, value);
    }

    // Impossible dates must be refused rather than rolled into the next month.
    void badDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("31 feb") << "31/02/2026";
        QTest::newRow("month 13") << "01/13/2026";
        QTest::newRow("short year") << "01/02/26";
        QTest::newRow("iso") << "2026-02-01";
        QTest::newRow("bad hour") << "01/02/2026 25:00";
        QTest::newRow("letters") << "ab/cd/efgh";
        QTest::newRow("empty") << "";
    }
    void badDates()
    {
        QFETCH(QString, text);
        QDateTime dt;
        QVERIFY(!parseDateTime(text, &dt));
    }

    // A typed date may omit leading zeros and carry hours and minutes.
    void lenientDates()
    {
        QDateTime dt;
        QVERIFY(parseDateTime(u"1/2/2026", &dt));
        QCOMPARE(dt, wallClock(QDate(2026, 2, 1)));
        QVERIFY(parseDateTime(u"01/02/2026 17:30", &dt));
        QCOMPARE(dt, wallClock(QDate(2026, 2, 1), QTime(17, 30)));
        QCOMPARE(formatDateTime(dt, u"dd/MM/yyyy HH:mm"), QStringLiteral("01/02/2026 17:30"));
    }
};

QTEST_GUILESS_MAIN(TestFormat)
#include "tst_format.moc"

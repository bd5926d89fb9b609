#include "dataset/ColumnTable.h"

#include <QTest>

#include <cstring>
#include <limits>

using namespace prx;

class TestColumnTable : public QObject
{
    Q_OBJECT

private:
    static ColumnTable mixedTable()
    {
        return ColumnTable({{"S", FieldType::String, 20},
                            {"F", FieldType::Float, 0},
                            {"D", FieldType::DateTime, 0},
                            {"I", FieldType::Integer, 0},
                            {"B", FieldType::Boolean, 0}});
    }
    static QVariantList rowFor(int i)
    {
        if (i % 5 == 4) // a row of nulls now and then
            return {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()};
        return {QStringLiteral("linha %1").arg(i), i * 1.25,
                wallClock(QDate(2026, 1, 1).addDays(i), QTime(i % 24, 0)), qint64(i * 1000),
                i % 2 == 0};
    }

private slots:
    // Rewriting strings must not grow the arena without bound, and compaction
    // must keep every live value with its own row.
    void rewritesCompactTheArena()
    {
        ColumnTable t({{"S", FieldType::String, 0}});
        for (int i = 0; i < 1000; ++i)
            t.setString(t.appendRow(), 0, QStringLiteral("valor-inicial-%1").arg(i));
        const qint64 before = t.bytesUsed();
        for (int round = 0; round < 50; ++round) {
            for (int i = 0; i < 1000; ++i) {
                if (i % 7 == round % 7)
                    t.setNull(i, 0);
                else
                    t.setString(i, 0, QStringLiteral("r%1-%2").arg(round).arg(i));
            }
        }
        QVERIFY2(t.bytesUsed() < before * 4, qPrintable(QString::number(t.bytesUsed())));
        for (int i = 0; i < 1000; ++i) {
            if (i % 7 == 49 % 7)
                QVERIFY(t.isNull(i, 0));
            else
                QCOMPARE(t.string(i, 0), QStringLiteral("r49-%1").arg(i));
        }
    }

    // Copying a value from another row of the same column hands setString a
    // view into the arena that the write itself may move or free.
    void copyingWithinAColumnSurvivesArenaMoves()
    {
        ColumnTable t({{"S", FieldType::String, 0}});
        const int rows = 20000; // arena well above the allocator's mmap threshold
        for (int i = 0; i < rows; ++i)
            t.setString(t.appendRow(), 0, QStringLiteral("produto-%1-xxxxxxxxxx").arg(i, 6));
        for (int pass = 0; pass < 3; ++pass) {
            for (int i = 0; i < rows; ++i) {
                const int from = (i + 1) % rows;
                t.setString(i, 0, t.stringView(from, 0));
            }
        }
        // After three passes row i holds what row i+1 held before each pass:
        // rows shift by one per pass except where the copy wrapped around.
        for (int i = 0; i < rows - 3; ++i)
            QCOMPARE(t.string(i, 0), QStringLiteral("produto-%1-xxxxxxxxxx").arg(i + 3, 6));
    }

    // Inserting and removing rows must move every column and its null flags
    // together, so no value ends up on a neighbour's row.
    void insertAndRemoveKeepColumnsAligned()
    {
        ColumnTable t = mixedTable();
        QList<QVariantList> expected;
        for (int i = 0; i < 10; ++i) {
            t.setRowValues(t.appendRow(), rowFor(i));
            expected.append(rowFor(i));
        }
        t.insertRow(0);
        t.setRowValues(0, rowFor(100));
        expected.insert(0, rowFor(100));
        t.insertRow(5);
        expected.insert(5, {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        t.insertRow(t.rowCount());
        t.setRowValues(t.rowCount() - 1, rowFor(101));
        expected.append(rowFor(101));
        t.removeRow(3);
        expected.removeAt(3);
        t.removeRow(0);
        expected.removeAt(0);
        t.removeRow(t.rowCount() - 1);
        expected.removeLast();

        QCOMPARE(t.rowCount(), expected.size());
        for (int r = 0; r < t.rowCount(); ++r)
            QCOMPARE(t.rowValues(r), expected[r]);
    }

    // A column added to a filled table must read null everywhere and then
    // take values like any other.
    void addedColumnStartsNull()
    {
        ColumnTable t = mixedTable();
        for (int i = 0; i < 4; ++i)
            t.setRowValues(t.appendRow(), rowFor(i));
        const int c = t.addColumn({"NOVO", FieldType::String, 5});
        QCOMPARE(t.columnCount(), 6);
        for (int r = 0; r < 4; ++r)
            QVERIFY(t.isNull(r, c));
        t.setString(2, c, u"abc");
        t.insertRow(0);
        QCOMPARE(t.string(3, c), QStringLiteral("abc"));
        QCOMPARE(t.real(3, 1), 2 * 1.25);
    }

    // Each text column picks its layout from its values: a few repeated codes,
    // more than 255 or 65,535 distinct ones, mostly distinct values, long free
    // text in a short field. Every layout must give back each value on its own
    // row, null apart from empty, through row moves, copies and moves, and the
    // repeated codes of a million differentiated prices must stay small.
    void textKeepsItsValuesInEveryLayout_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("distinct");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("repeat");             // characters repeated to lengthen each value
        QTest::addColumn<double>("maxBytesPerCell"); // 0: not bounded
        QTest::newRow("flags") << 20000 << 2 << 1 << 1 << 1.25;
        QTest::newRow("past 255 values") << 20000 << 300 << 4 << 1 << 2.75;
        QTest::newRow("past 65535 values") << 240000 << 70000 << 10 << 1 << 12.0;
        QTest::newRow("mostly distinct") << 5000 << 5000 << 40 << 20 << 0.0;
        QTest::newRow("long text in a short field") << 3000 << 40 << 2 << 300 << 0.0;
    }
    void textKeepsItsValuesInEveryLayout()
    {
        QFETCH(int, rows);
        QFETCH(int, distinct);
        QFETCH(int, size);
        QFETCH(int, repeat);
        QFETCH(double, maxBytesPerCell);
        auto expected = [&](int i) -> QString {
            if (i % 7 == 3)
                return {};
            if (i % 11 == 5)
                return QStringLiteral(""); // empty, not null
            return QString(repeat, QLatin1Char('x')) + QString::number((i * 7919) % distinct);
        };
        ColumnTable t({{"C", FieldType::String, size}, {"R", FieldType::Float, 0}});
        t.reserve(rows);
        QStringList shadow;
        for (int i = 0; i < rows; ++i) {
            const int r = t.appendRow();
            const QString v = expected(i);
            if (!v.isNull())
                t.setString(r, 0, v);
            t.setReal(r, 1, i);
            shadow.append(v);
        }
        auto check = [&](const ColumnTable &table, const QStringList &want) {
            QCOMPARE(table.rowCount(), want.size());
            for (int r = 0; r < table.rowCount(); ++r) {
                QCOMPARE(table.isNull(r, 0), want[r].isNull());
                if (table.stringView(r, 0) != want[r])
                    QFAIL(qPrintable(QStringLiteral("row %1: '%2' instead of '%3'")
                                         .arg(r)
                                         .arg(table.string(r, 0), want[r])));
            }
        };
        check(t, shadow);
        if (QTest::currentTestFailed())
            return;
        if (maxBytesPerCell > 0) {
            ColumnTable textOnly({{"C", FieldType::String, size}});
            textOnly.reserve(rows);
            for (int i = 0; i < rows; ++i) {
                const int r = textOnly.appendRow();
                if (!shadow[i].isNull())
                    textOnly.setString(r, 0, shadow[i]);
            }
            const double perCell = double(textOnly.bytesUsed()) / rows;
            QVERIFY2(perCell <= maxBytesPerCell, qPrintable(QString::number(perCell)));
        }

        t.insertRow(1);
        shadow.insert(1, QString());
        t.setString(2, 0, u"novo valor");
        shadow[2] = QStringLiteral("novo valor");
        t.removeRow(rows / 2);
        shadow.removeAt(rows / 2);
        check(t, shadow);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(t.real(3, 1), 2.0);

        ColumnTable copy = t;
        t.setString(0, 0, u"só no original");
        t.setNull(2, 0);
        check(copy, shadow);
        QVERIFY(!(copy == t));
        const char16_t *chars = copy.stringView(2, 0).utf16();
        ColumnTable moved = std::move(copy);
        QCOMPARE(moved.stringView(2, 0).utf16(), chars);
        check(moved, shadow);
    }

    // Rewriting cells moves values between repeated, new, null and empty, and
    // may turn the column from one layout into another; a value may even be a
    // piece of another row's value, read from the column's own storage.
    void rewritesKeepEveryRowsValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<int>("distinctPerRound"); // 0: every row its own value
        QTest::newRow("codes to distinct values and back") << 3000 << 3 << 0;
        QTest::newRow("few codes, many rounds") << 2000 << 40 << 3;
        QTest::newRow("small table, all distinct each round") << 500 << 30 << 0;
        QTest::newRow("large table, all distinct each round") << 6000 << 4 << 0;
    }
    void rewritesKeepEveryRowsValue()
    {
        QFETCH(int, rows);
        QFETCH(int, rounds);
        QFETCH(int, distinctPerRound);
        ColumnTable t({{"C", FieldType::String, 10}});
        QStringList shadow;
        for (int i = 0; i < rows; ++i) {
            t.setString(t.appendRow(), 0, i % 2 ? u"S" : u"N");
            shadow.append(i % 2 ? QStringLiteral("S") : QStringLiteral("N"));
        }
        for (int round = 0; round < rounds; ++round) {
            for (int i = 0; i < rows; ++i) {
                const int kind = (i + round) % 13;
                if (kind == 0) {
                    t.setNull(i, 0);
                    shadow[i] = QString();
                } else if (kind == 1) {
                    t.setString(i, 0, u"");
                    shadow[i] = QStringLiteral("");
                } else if (kind == 2 && !shadow[(i + 1) % rows].isEmpty()) {
                    const int from = (i + 1) % rows;
                    t.setString(i, 0, t.stringView(from, 0).mid(1)); // a piece of a stored value
                    shadow[i] = shadow[from].mid(1);
                } else {
                    const int n = distinctPerRound ? i % distinctPerRound : i;
                    const QString v =
                        round % 2 ? QStringLiteral("rodada %1, texto livre %2").arg(round).arg(n)
                                  : QStringLiteral("T%1").arg(n % 4);
                    t.setString(i, 0, v);
                    shadow[i] = v;
                }
            }
            for (int r = 0; r < rows; ++r) {
                QCOMPARE(t.isNull(r, 0), shadow[r].isNull());
                QCOMPARE(t.stringView(r, 0), QStringView(shadow[r]));
            }
        }
        // Values no row holds any more must not pile up.
        QVERIFY2(t.bytesUsed() < qint64(rows) * 256, qPrintable(QString::number(t.bytesUsed())));
    }

    // Numbers and date-times pick their layout from their values as text
    // does: the dates, flags and prices of a million differentiated prices
    // repeat and must cost a byte or two a cell; amounts that are mostly
    // distinct move to one word a cell on the way. Either way every value
    // comes back bit for bit on its own row (-0.0, NaN, the extremes of an
    // integer), null apart from zero, through row moves, rewrites and copies.
    void numbersKeepTheirValuesInEveryLayout_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("distinct");
        QTest::addColumn<double>("maxBytesPerCell"); // 0: not bounded
        QTest::newRow("period dates and flags") << 200000 << 3 << 1.25;
        QTest::newRow("prices of a long list") << 200000 << 4000 << 3.5;
        QTest::newRow("past 65535 values") << 140000 << 70000 << 0.0;
        QTest::newRow("mostly distinct") << 20000 << 20000 << 0.0;
    }
    void numbersKeepTheirValuesInEveryLayout()
    {
        QFETCH(int, rows);
        QFETCH(int, distinct);
        QFETCH(double, maxBytesPerCell);
        const double specials[] = {-0.0, std::numeric_limits<double>::quiet_NaN(), 0.1,
                                   std::numeric_limits<double>::infinity()};
        // -1: null
        auto pick = [&](int i) { return i % 9 == 4 ? -1 : int((qint64(i) * 7919) % distinct); };
        auto real = [&](int n) { return n < 4 ? specials[n] : n * 0.01; };
        auto integer = [&](int n) {
            return n == 1   ? std::numeric_limits<qint64>::min()
                   : n == 2 ? std::numeric_limits<qint64>::max()
                            : qint64(n) * 1000;
        };
        ColumnTable t({{"F", FieldType::Float, 0},
                       {"D", FieldType::DateTime, 0},
                       {"I", FieldType::Integer, 0},
                       {"B", FieldType::Boolean, 0}});
        t.reserve(rows);
        std::vector<int> shadow;
        auto write = [&](ColumnTable &table, int r, int n) {
            if (n < 0) {
                for (int c = 0; c < 4; ++c)
                    table.setNull(r, c);
                return;
            }
            table.setReal(r, 0, real(n));
            table.setDateTimeMs(r, 1, integer(n));
            table.setInteger(r, 2, integer(n));
            table.setBoolean(r, 3, n % 2);
        };
        for (int i = 0; i < rows; ++i) {
            shadow.push_back(pick(i));
            write(t, t.appendRow(), shadow.back());
        }
        auto check = [&](const ColumnTable &table) {
            QCOMPARE(table.rowCount(), int(shadow.size()));
            for (int r = 0; r < table.rowCount(); ++r) {
                const int n = shadow[size_t(r)];
                for (int c = 0; c < 4; ++c) {
                    if (table.isNull(r, c) != (n < 0))
                        QFAIL(qPrintable(QStringLiteral("row %1, column %2: null").arg(r).arg(c)));
                }
                if (n < 0)
                    continue;
                const double want = real(n), got = table.real(r, 0);
                if (std::memcmp(&want, &got, sizeof want) != 0 ||
                    table.dateTimeMs(r, 1) != integer(n) || table.integer(r, 2) != integer(n) ||
                    table.boolean(r, 3) != bool(n % 2))
                    QFAIL(qPrintable(QStringLiteral("row %1: %2 instead of %3")
                                         .arg(r)
                                         .arg(table.integer(r, 2))
                                         .arg(integer(n))));
            }
        };
        check(t);
        if (QTest::currentTestFailed())
            return;
        if (maxBytesPerCell > 0) {
            const double perCell = double(t.bytesUsed()) / (4.0 * rows);
            QVERIFY2(perCell <= maxBytesPerCell, qPrintable(QString::number(perCell)));
        }

        t.insertRow(1);
        shadow.insert(shadow.begin() + 1, -1);
        t.removeRow(rows / 2);
        shadow.erase(shadow.begin() + rows / 2);
        // Rewrites: a new value, a repeated one, a null, a null made a value.
        for (int r = 0; r < t.rowCount(); r += 3) {
            const int n =
                r % 4 == 0 ? -1 : (shadow[size_t(r)] + 17 + r % 2 * distinct) % (2 * distinct);
            shadow[size_t(r)] = n;
            write(t, r, n);
        }
        check(t);
        if (QTest::currentTestFailed())
            return;
        ColumnTable copy = t;
        write(t, 0, 3);
        check(copy);
        QVERIFY(!(copy == t));
        QVERIFY(ColumnTable(copy) == copy);
    }

    // Rows written once and sent (an answer's rows on their way out) skip the
    // dictionaries. Such a table must give back what a client's table gives
    // back, also once cleared and filled again for the next rows (storage
    // kept, nothing of the old rows left), with rewrites, copies from another
    // row and an added column; and it must stay plain after clear().
    void plainLayoutKeepsEveryValue_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("refill"); // rows after clear()
        QTest::newRow("fewer rows after clear") << 3000 << 700;
        QTest::newRow("more rows after clear") << 500 << 2500;
        QTest::newRow("empty, then rows") << 0 << 40;
    }
    void plainLayoutKeepsEveryValue()
    {
        QFETCH(int, rows);
        QFETCH(int, refill);
        auto fill = [](ColumnTable &t, int count, int offset) {
            for (int i = 0; i < count; ++i)
                t.setRowValues(t.appendRow(), rowFor(i + offset));
        };
        ColumnTable plain = mixedTable();
        plain.setPlainLayout(true);
        ColumnTable reference = mixedTable();
        fill(plain, rows, 0);
        fill(reference, rows, 0);
        QVERIFY(plain == reference);
        plain.clear();
        reference.clear();
        fill(plain, refill, 7);
        fill(reference, refill, 7);
        for (ColumnTable *t : {&plain, &reference}) {
            for (int r = 0; r < refill; r += 3) {
                t->setString(r, 0, t->stringView((r + 1) % refill, 0)); // from its own storage
                t->setReal(r, 1, -0.0);
            }
            const int c = t->addColumn({"NOVO", FieldType::String, 5});
            t->setString(refill - 1, c, u"última");
        }
        QCOMPARE(plain.rowCount(), refill);
        QVERIFY(plain == reference);
        QCOMPARE(plain.string(refill - 1, 5), QStringLiteral("última"));

        ColumnTable flags({{"F", FieldType::String, 1}});
        flags.setPlainLayout(true);
        flags.setString(flags.appendRow(), 0, u"S");
        flags.clear();
        for (int i = 0; i < 20000; ++i)
            flags.setString(flags.appendRow(), 0, i % 2 ? u"S" : u"N");
        QVERIFY2(flags.bytesUsed() >= 8 * 20000, qPrintable(QString::number(flags.bytesUsed())));
    }

    // Date-times are wall-clock values: what goes in comes out unshifted.
    void dateTimesAreNotShifted()
    {
        ColumnTable t({{"D", FieldType::DateTime, 0}});
        const QDateTime local(QDate(2026, 2, 1), QTime(0, 0), Qt::LocalTime);
        t.setDateTime(t.appendRow(), 0, local);
        QCOMPARE(t.dateTime(0, 0).date(), QDate(2026, 2, 1));
        QCOMPARE(t.dateTime(0, 0).time(), QTime(0, 0));
    }
};

QTEST_GUILESS_MAIN(TestColumnTable)
#include "tst_columntable.moc"

#include "dataset/ColumnTable.h"

#include <QTest>

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

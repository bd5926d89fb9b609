#include "DataSetFixture.h"
#include "dataset/DataSetError.h"
#include "dataset/FilterExpression.h"
#include "dataset/Format.h"

#include <QRandomGenerator>
#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {

QString productFilter(const QString &product, const QString &date = QStringLiteral("01/02/2026"))
{
    return QStringLiteral("CDFILIAL = '0001' and DTINIVGPREC = '%1' and CDPRODUTO = %2")
        .arg(date, FilterExpression::quote(product));
}

// What the filter should show, found by scanning the stored rows.
QVariantList scan(const ClientDataSet &ds, const QString &product, const QString &date)
{
    const DataPacket &t = ds.data();
    const int p = t.indexOf(u"CDPRODUTO"), d = t.indexOf(u"DTINIVGPREC"),
              n = t.indexOf(u"NMPRODUTO"), f = t.indexOf(u"CDFILIAL");
    QVariantList out;
    for (int r = 0; r < t.rowCount(); ++r) {
        if (t.string(r, f) == u"0001" && t.string(r, p) == product &&
            formatDateTime(t.dateTime(r, d)) == date)
            out.append(t.value(r, n));
    }
    return out;
}

void checkAgainstScan(ClientDataSet &ds, const QStringList &products)
{
    for (const QString &date : {QStringLiteral("01/02/2026"), QStringLiteral("02/02/2026")}) {
        for (const QString &p : products) {
            ds.setFilter(productFilter(p, date));
            QCOMPARE(column(ds, QStringLiteral("NMPRODUTO")), scan(ds, p, date));
        }
    }
}

} // namespace

class TestDataSetFilter : public QObject
{
    Q_OBJECT

private slots:
    // The filter of the differentiated prices must show exactly the rows of
    // one product and period, whatever the letter case and blanks.
    void filterShowsTheMatchingRows()
    {
        auto ds = makePrices(40, 5);
        ds->setFiltered(true);
        checkAgainstScan(*ds, {"P0", "P3", "P9"});
        ds->setFilter(QStringLiteral("  cdproduto='P2'AND   CdFilial =  '0001'  "));
        QCOMPARE(ds->recordCount(), 8);
        QCOMPARE(ds->currentRow(), 0);
        QCOMPARE(ds->fieldByName(u"CDPRODUTO").asString(), QStringLiteral("P2"));
        ds->setFiltered(false);
        QCOMPARE(ds->recordCount(), 40);
        ds->setFilter(QStringLiteral("CDPRODUTO = 'NENHUM'"));
        QCOMPARE(ds->recordCount(), 40); // stored, not applied while unfiltered
        ds->setFiltered(true);
        QVERIFY(ds->isEmpty());
        QCOMPARE(ds->currentRow(), -1);
        QVERIFY(ds->fieldByName(u"NMPRODUTO").isNull());
    }

    // A code holding quotes must match only that code: it can neither end
    // the value early and widen the filter nor break it.
    void quotesInValuesMatchOnlyThemselves()
    {
        const QStringList codes = {"O'Brien",    "O",     "Brien",     "'", "''",
                                   "x'or'1'='1", "a'b'c", "P1' and '", "P1"};
        auto ds = makePrices(0);
        for (const QString &code : codes)
            ds->appendRecord({"0001", code, wallClock(QDate(2026, 2, 1)), code, 1.0});
        ds->mergeChangeLog();
        ds->setFiltered(true);
        for (const QString &code : codes) {
            ds->setFilter(productFilter(code));
            QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")), QVariantList{code});
        }
        ds->setFilter(QStringLiteral("CDPRODUTO = 'O''Brien'"));
        QCOMPARE(column(*ds, QStringLiteral("CDPRODUTO")), QVariantList{"O'Brien"});
    }

    // A malformed filter must be refused with a Portuguese message and leave
    // the filter in force untouched.
    void malformedFilterIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("unclosed quote") << "CDPRODUTO = 'P1";
        QTest::newRow("quote not doubled") << "CDPRODUTO = 'O'Brien'";
        QTest::newRow("or") << "CDPRODUTO = 'P1' or CDPRODUTO = 'P2'";
        QTest::newRow("no quotes") << "CDPRODUTO = P1";
        QTest::newRow("no operator") << "CDPRODUTO 'P1'";
        QTest::newRow("other operator") << "CDPRODUTO <> 'P1'";
        QTest::newRow("trailing and") << "CDPRODUTO = 'P1' and";
        QTest::newRow("missing and") << "CDPRODUTO = 'P1' CDFILIAL = '0001'";
        QTest::newRow("parentheses") << "(CDPRODUTO = 'P1')";
        QTest::newRow("unknown field") << "CDNADA = 'P1'";
        QTest::newRow("not a number") << "VRPRECO = 'abc'";
    }
    void malformedFilterIsRefused()
    {
        QFETCH(QString, text);
        auto ds = makePrices(12, 3);
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P1'"));
        ds->setFiltered(true);
        ds->next();
        const Snapshot before = snapshot(*ds);
        try {
            ds->setFilter(text);
            QFAIL("accepted");
        } catch (const DataSetError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Filtro inválido")) ||
                         e.message().contains(QStringLiteral("não é um valor numérico")),
                     qPrintable(e.message()));
        }
        QCOMPARE(ds->filter(), QStringLiteral("CDPRODUTO = 'P1'"));
        QCOMPARE(snapshot(*ds), before);
    }

    // The index behind the filter must follow every post, delete, cancel and
    // cancel of updates, or a row would show under the wrong product.
    void indexFollowsEveryChange()
    {
        auto ds = makePrices(30, 3);
        const QStringList products = {"P0", "P1", "P2", "P9"};
        ds->setFiltered(true);
        ds->setFilter(productFilter(QStringLiteral("P1")));
        // move a row out of the filter, and another one into a new product
        ds->edit();
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("P2"));
        ds->post();
        ds->edit();
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("P9"));
        ds->post();
        checkAgainstScan(*ds, products);
        // an insert matching the filter shows; a delete hides
        ds->setFilter(productFilter(QStringLiteral("P0")));
        ds->insert();
        ds->fieldByName(u"CDFILIAL").setAsString(QStringLiteral("0001"));
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("P0"));
        ds->fieldByName(u"DTINIVGPREC").setAsString(QStringLiteral("01/02/2026"));
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("novo"));
        ds->post();
        QVERIFY(column(*ds, QStringLiteral("NMPRODUTO")).contains(QStringLiteral("novo")));
        ds->moveTo(1);
        ds->deleteRecord();
        checkAgainstScan(*ds, products);
        // a cancelled edit and a cancelled insert leave the index alone
        ds->setFilter(productFilter(QStringLiteral("P0")));
        ds->edit();
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("P1"));
        ds->cancel();
        ds->insert();
        ds->cancel();
        checkAgainstScan(*ds, products);
        ds->cancelUpdates();
        checkAgainstScan(*ds, products);
        // a reload brings a new index
        DataPacket fresh = ds->data();
        fresh.setString(0, fresh.indexOf(u"CDPRODUTO"), u"P9");
        ds->loadPacket(std::move(fresh));
        checkAgainstScan(*ds, products);
    }

    // A period of differentiated prices is held whole on the client, with the
    // index behind the per-item filter: its repeated codes, dates, flags and
    // prices must cost a few bytes a row, not 8 bytes a number, and the index
    // of rows that come grouped by product little more. The index must
    // still tell apart neighbouring rows that differ in one key field only,
    // whether rows come grouped by product or not.
    void periodOfDayPricesStaysSmall_data()
    {
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<double>("maxBytesPerRow"); // 0: not bounded
        QTest::newRow("grouped by product") << true << 40.0;
        QTest::newRow("interleaved") << false << 0.0;
    }
    void periodOfDayPricesStaysSmall()
    {
        QFETCH(bool, grouped);
        QFETCH(double, maxBytesPerRow);
        const int products = 5000, perProduct = 10, rows = products * perProduct;
        DataPacket t({{"CDFILIAL", FieldType::String, 4},
                      {"CDTABEPREC", FieldType::String, 3},
                      {"DTINIVGPREC", FieldType::DateTime, 0},
                      {"CDPRODUTO", FieldType::String, 20},
                      {"CDPRPAITABPR", FieldType::String, 20},
                      {"NRDIASEMANPR", FieldType::String, 1},
                      {"HRINIPRECDIA", FieldType::String, 4},
                      {"PRECO", FieldType::Float, 0},
                      {"DTULTALT", FieldType::DateTime, 0},
                      {"IDTPMODGERAL", FieldType::String, 1}});
        const qint64 start = wallClock(QDate(2026, 2, 1), QTime(0, 0)).toMSecsSinceEpoch();
        t.reserve(rows);
        for (int i = 0; i < rows; ++i) {
            const int p = grouped ? i / perProduct : i % products;
            const int k = grouped ? i % perProduct : i / products;
            const int r = t.appendRow();
            t.setString(r, 0, u"0001");
            t.setString(r, 1, u"001");
            t.setDateTimeMs(r, 2, start);
            t.setString(r, 3, QStringLiteral("%1").arg(p / 2, 6, 10, QLatin1Char('0')));
            // Two products share a code and differ in their parent only.
            t.setString(r, 4, QStringLiteral("%1").arg(p, 6, 10, QLatin1Char('0')));
            t.setString(r, 5, QString::number(2 + k % 5));
            t.setString(r, 6, k < 5 ? u"0000" : u"1200");
            t.setReal(r, 7, (p % 2000) * 0.25 + 1.1);
            t.setDateTimeMs(r, 8, start);
            t.setString(r, 9, u"S");
        }
        ClientDataSet ds;
        ds.loadPacket(std::move(t));
        ds.setFiltered(true);
        for (const int p : {0, 1, 2, 4001, products - 1}) {
            ds.setFilter(QStringLiteral("CDFILIAL = '0001' and CDTABEPREC = '001' and "
                                        "DTINIVGPREC = '01/02/2026' and CDPRODUTO = '%1' and "
                                        "CDPRPAITABPR = '%2'")
                             .arg(p / 2, 6, 10, QLatin1Char('0'))
                             .arg(p, 6, 10, QLatin1Char('0')));
            QCOMPARE(ds.recordCount(), perProduct);
            for (int v = 0; v < perProduct; ++v)
                QCOMPARE(ds.valueAt(v, 7).toDouble(), (p % 2000) * 0.25 + 1.1);
        }
        const double perRow = double(ds.bytesUsed()) / rows;
        if (maxBytesPerRow > 0)
            QVERIFY2(perRow <= maxBytesPerRow, qPrintable(QString::number(perRow)));
    }

    // Random edits under a filter must keep it in step with a plain scan.
    void indexSurvivesRandomWork()
    {
        QRandomGenerator rng(7);
        auto ds = makePrices(50, 4);
        const QStringList products = {"P0", "P1", "P2", "P3"};
        ds->setFiltered(true);
        for (int step = 0; step < 200; ++step) {
            ds->setFilter(productFilter(products[rng.bounded(4)]));
            if (ds->isEmpty())
                continue;
            ds->moveTo(int(rng.bounded(ds->recordCount())));
            const int work = int(rng.bounded(5));
            if (work == 0) {
                ds->deleteRecord();
            } else if (work == 1) {
                // New rows go in the middle (insert) or after every other
                // row (append): the index must move what follows them.
                if (rng.bounded(2) == 0)
                    ds->insert();
                else
                    ds->append();
                ds->fieldByName(u"CDFILIAL").setAsString(QStringLiteral("0001"));
                ds->fieldByName(u"CDPRODUTO").setAsString(products[rng.bounded(4)]);
                ds->fieldByName(u"DTINIVGPREC").setAsString(QStringLiteral("01/02/2026"));
                ds->post();
            } else {
                ds->edit();
                ds->fieldByName(u"CDPRODUTO").setAsString(products[rng.bounded(4)]);
                ds->post();
            }
        }
        checkAgainstScan(*ds, products);
    }

    // Numbers compare by value whatever their typing, dates by the text the
    // field shows, and two different values for one field match nothing.
    void typedTerms()
    {
        auto ds = makePrices(6, 3);
        ds->setFiltered(true);
        ds->setFilter(QStringLiteral("VRPRECO = '2,5'"));
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")), QVariantList{"Item 2"});
        ds->setFilter(QStringLiteral("VRPRECO = '2.5'"));
        QCOMPARE(ds->recordCount(), 1);
        ds->setFilter(QStringLiteral("DTINIVGPREC = '02/02/2026'"));
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 1", "Item 3", "Item 5"}));
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P1' and CDPRODUTO = 'P2'"));
        QVERIFY(ds->isEmpty());
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P1' and cdproduto = 'P1'"));
        QCOMPARE(ds->recordCount(), 2);
    }

    // Locate must find by one or more fields, honour its options, look only
    // at the rows in view and leave the cursor alone when nothing matches.
    void locate()
    {
        auto ds = makePrices(9, 3);
        QVERIFY(ds->locate(u"NMPRODUTO", QStringLiteral("Item 4")));
        QCOMPARE(ds->currentRow(), 4);
        QVERIFY(!ds->locate(u"NMPRODUTO", QStringLiteral("item 5")));
        QCOMPARE(ds->currentRow(), 4);
        QVERIFY(ds->locate(u"NMPRODUTO", QStringLiteral("item 5"), {true, false}));
        QCOMPARE(ds->currentRow(), 5);
        QVERIFY(ds->locate(u"nmproduto", QStringLiteral("ITEM"), {true, true}));
        QCOMPARE(ds->currentRow(), 0);
        QVERIFY(ds->locate(u"CDPRODUTO;VRPRECO", QVariantList{"P2", 5.5}));
        QCOMPARE(ds->currentRow(), 5);
        QVERIFY(ds->locate(u"DTINIVGPREC;CDPRODUTO", QVariantList{"02/02/2026", "P0"}));
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 3"));
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P1'"));
        ds->setFiltered(true);
        QVERIFY(!ds->locate(u"NMPRODUTO", QStringLiteral("Item 0")));
        QVERIFY(ds->locate(u"NMPRODUTO", QStringLiteral("Item 7")));
        QCOMPARE(ds->currentRow(), 2);
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->locate(u"CDPRODUTO;VRPRECO", "P1"));
    }

    // Sorting must keep rows with equal values in their natural order, both
    // ways, put nulls first, keep the current row and place a posted row.
    void sortIsStable()
    {
        auto ds = makePrices(12, 3);
        ds->moveTo(5);
        ds->edit();
        ds->fieldByName(u"CDPRODUTO").clear();
        ds->post();
        ds->moveTo(7);
        const QString current = ds->fieldByName(u"NMPRODUTO").asString();
        ds->sortBy(u"CDPRODUTO");
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), current);
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 5", "Item 0", "Item 3", "Item 6", "Item 9", "Item 1", "Item 4",
                               "Item 7", "Item 10", "Item 2", "Item 8", "Item 11"}));
        ds->sortBy(u"CDPRODUTO", false);
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 2", "Item 8", "Item 11", "Item 1", "Item 4", "Item 7",
                               "Item 10", "Item 0", "Item 3", "Item 6", "Item 9", "Item 5"}));
        ds->sortBy(u"VRPRECO");
        ds->first();
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(6.25);
        ds->post(); // moves between 5.5 and 6.5
        QCOMPARE(ds->currentRow(), 5);
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 0"));
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P0'"));
        ds->setFiltered(true);
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 3", "Item 0", "Item 6", "Item 9"}));
        ds->clearSort();
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 0", "Item 3", "Item 6", "Item 9"}));
    }

    // A bookmark names its row through sorting, filtering and inserts
    // around it, and stops working once the row is gone or hidden.
    void bookmarks()
    {
        auto ds = makePrices(8, 2);
        ds->moveTo(5);
        const Bookmark mark = ds->bookmark();
        ds->moveTo(0);
        ds->insert();
        ds->post();
        ds->sortBy(u"VRPRECO", false);
        QVERIFY(ds->gotoBookmark(mark));
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 5"));
        ds->setFilter(QStringLiteral("CDPRODUTO = 'P0'"));
        ds->setFiltered(true);
        QVERIFY(ds->bookmarkValid(mark));
        QVERIFY(!ds->gotoBookmark(mark));
        ds->setFiltered(false);
        QVERIFY(ds->gotoBookmark(mark));
        ds->deleteRecord();
        QVERIFY(!ds->bookmarkValid(mark));
        QVERIFY(!ds->gotoBookmark(mark));
        ds->cancelUpdates();
        QVERIFY(ds->gotoBookmark(mark));
    }
};

QTEST_GUILESS_MAIN(TestDataSetFilter)
#include "tst_datasetfilter.moc"

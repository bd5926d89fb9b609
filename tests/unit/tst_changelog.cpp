#include "DataSetFixture.h"
#include "dataset/DataSetError.h"

#include <QRandomGenerator>
#include <QTest>

using namespace prx;
using namespace prx::test;

class TestChangeLog : public QObject
{
    Q_OBJECT

private:
    static void setName(ClientDataSet &ds, int viewRow, const QString &name)
    {
        ds.moveTo(viewRow);
        ds.edit();
        ds.fieldByName(u"NMPRODUTO").setAsString(name);
        ds.post();
    }
    static QVariantList rowOf(const DataPacket &packet, int row) { return packet.rowValues(row); }

private slots:
    // The server applies the delta in order and matches rows by their
    // original values: kinds, originals and order must be exact, one change
    // per row, and calculated fields must stay out.
    void deltaContent()
    {
        auto ds = std::make_unique<ClientDataSet>();
        ds->addField(QStringLiteral("CDPRODUTO"), FieldType::String, 10);
        ds->addCalculatedField(QStringLiteral("DESCRICAO"), FieldType::String, 40);
        ds->addField(QStringLiteral("NMPRODUTO"), FieldType::String, 30);
        ds->addField(QStringLiteral("VRPRECO"), FieldType::Float);
        ds->onCalcFields = [](ClientDataSet &d) {
            d.fieldByName(u"DESCRICAO").setAsString(d.fieldByName(u"NMPRODUTO").asString());
        };
        const DataPacket packet = makePacket({{"CDPRODUTO", FieldType::String, 10},
                                              {"NMPRODUTO", FieldType::String, 30},
                                              {"VRPRECO", FieldType::Float, 0}},
                                             {{"A", "Água", 1.0},
                                              {"B", "Bolo", 2.0},
                                              {"C", "Café", 3.0},
                                              {"D", "Doce", 4.0},
                                              {"E", "Empada", 5.0}});
        ds->loadPacket(DataPacket(packet));

        setName(*ds, 1, QStringLiteral("Bolo de milho")); // B updated ...
        ds->moveTo(0);
        ds->insert(); // a new first row, so every later row moves down one
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("N"));
        ds->post();
        setName(*ds, 2, QStringLiteral("Bolo de fubá")); // ... and again
        setName(*ds, 0, QStringLiteral("Novo"));         // the insert, edited
        ds->moveTo(4);                                   // D
        ds->deleteRecord();
        setName(*ds, 4, QStringLiteral("Empadinha")); // E updated, then deleted
        ds->deleteRecord();
        ds->append(); // inserted, then deleted
        ds->fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("X"));
        ds->post();
        ds->deleteRecord();

        const DeltaPacket delta = ds->delta();
        QCOMPARE(delta.fields.size(), 3);
        QCOMPARE(delta.indexOf(u"DESCRICAO"), -1);
        QCOMPARE(delta.fields[1].name, QStringLiteral("NMPRODUTO"));
        QCOMPARE(ds->changeCount(), 4);
        const QList<DeltaChange> expected = {
            {ChangeKind::Update, rowOf(packet, 1), {"B", "Bolo de fubá", 2.0}},
            {ChangeKind::Insert, {}, {"N", "Novo", QVariant()}},
            {ChangeKind::Delete, rowOf(packet, 3), {}},
            {ChangeKind::Delete, rowOf(packet, 4), {}},
        };
        QCOMPARE(delta.changes, expected);
    }

    // Posting an edit that changed nothing must not send the row again.
    void unchangedEditLogsNothing()
    {
        auto ds = makePrices();
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(ds->fieldByName(u"VRPRECO").asFloat());
        ds->post();
        QCOMPARE(ds->changeCount(), 0);
        QVERIFY(ds->delta().isEmpty());
    }

    // After a merge the rows are the new truth: nothing pending, and a later
    // cancel must not undo what was merged.
    void mergeMakesChangesPermanent()
    {
        auto ds = makePrices(4);
        setName(*ds, 1, QStringLiteral("salvo"));
        ds->moveTo(3);
        ds->deleteRecord();
        ds->mergeChangeLog();
        QCOMPARE(ds->changeCount(), 0);
        const DataPacket merged = ds->data();
        setName(*ds, 0, QStringLiteral("depois"));
        ds->cancelUpdates();
        QVERIFY(ds->data() == merged);
        QCOMPARE(ds->recordCount(), 3);
    }

    // Any mix of inserts, edits and deletes must be undone exactly: updated
    // rows back to their originals, new rows gone, deleted rows back in their
    // places with their bookmarks valid.
    void cancelUpdatesRestoresTheRows_data()
    {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed = 1; seed <= 12; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(seed))) << seed;
    }
    void cancelUpdatesRestoresTheRows()
    {
        QFETCH(quint32, seed);
        QRandomGenerator rng(seed);
        auto ds = makePrices(12, 4);
        const DataPacket original = ds->data();
        QList<Bookmark> marks;
        for (ds->first(); !ds->eof(); ds->next())
            marks << ds->bookmark();
        if (seed % 3 == 0)
            ds->sortBy(u"VRPRECO", false); // the undo must not depend on the view
        for (int step = 0; step < 40; ++step) {
            const int count = ds->recordCount();
            const int at = count ? int(rng.bounded(count)) : 0;
            switch (rng.bounded(4)) {
            case 0:
                ds->moveTo(at);
                ds->insert();
                ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("novo %1").arg(step));
                ds->post();
                break;
            case 1:
                if (count) {
                    ds->moveTo(at);
                    ds->deleteRecord();
                }
                break;
            default:
                if (count) {
                    ds->moveTo(at);
                    ds->edit();
                    ds->fieldByName(u"VRPRECO").setAsFloat(rng.bounded(1000) / 4.0);
                    ds->post();
                }
            }
        }
        ds->cancelUpdates();
        ds->clearSort();
        QCOMPARE(ds->changeCount(), 0);
        QVERIFY(ds->data() == original);
        for (int i = 0; i < marks.size(); ++i) {
            QVERIFY(ds->gotoBookmark(marks[i]));
            QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item %1").arg(i));
        }
    }

    // The row the user was on stays current after a cancel of the updates.
    void cancelUpdatesKeepsTheCurrentRow()
    {
        auto ds = makePrices(6);
        ds->moveTo(0);
        ds->deleteRecord();
        setName(*ds, 3, QStringLiteral("alterado"));
        ds->moveTo(2);
        const QString name = ds->fieldByName(u"NMPRODUTO").asString();
        ds->cancelUpdates();
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), name);
        QCOMPARE(ds->currentRow(), 3);
        // Cancelling while a row is being edited drops that edit too.
        ds->edit();
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("x"));
        ds->cancelUpdates();
        QCOMPARE(ds->state(), DataSetState::Browse);
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), name);
    }

    // Loaders that turn logging off must leave nothing pending.
    void loadersCanSkipTheLog()
    {
        auto ds = makePrices(0);
        ds->setLogChanges(false);
        ds->appendRecord({"0001", "P1", wallClock(QDate(2026, 1, 1)), "Item", 2.5});
        ds->setLogChanges(true);
        QCOMPARE(ds->recordCount(), 1);
        QCOMPARE(ds->changeCount(), 0);
        ds->appendRecord({"0001", "P2"});
        QCOMPARE(ds->changeCount(), 1);
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->appendRecord({"0001", "P3", "não é data"}));
        QCOMPARE(ds->recordCount(), 2);
        QCOMPARE(ds->state(), DataSetState::Browse);
    }
};

QTEST_GUILESS_MAIN(TestChangeLog)
#include "tst_changelog.moc"

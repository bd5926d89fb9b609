#include "DataSetFixture.h"
#include "dataset/Abort.h"
#include "dataset/DataSetError.h"
#include "dataset/DataSource.h"

#include <QSignalSpy>
#include <QTest>

using namespace prx;
using namespace prx::test;

namespace {

// One way of refusing an operation from a before-event.
struct AbortCase
{
    const char *name;
    std::function<void(ClientDataSet &)> setUp;
    ClientDataSet::Event ClientDataSet::*event;
    std::function<void(ClientDataSet &)> operation;
};

void editPrice(ClientDataSet &ds)
{
    ds.moveTo(2);
    ds.edit();
    ds.fieldByName(u"VRPRECO").setAsFloat(77.7);
}

const QList<AbortCase> &abortCases()
{
    static const QList<AbortCase> cases = {
        {"insert", [](ClientDataSet &ds) { ds.moveTo(2); }, &ClientDataSet::beforeInsert,
         [](ClientDataSet &ds) { ds.insert(); }},
        {"append", nullptr, &ClientDataSet::beforeInsert, [](ClientDataSet &ds) { ds.append(); }},
        {"insert scroll", nullptr, &ClientDataSet::beforeScroll,
         [](ClientDataSet &ds) { ds.insert(); }},
        {"edit", [](ClientDataSet &ds) { ds.moveTo(1); }, &ClientDataSet::beforeEdit,
         [](ClientDataSet &ds) { ds.edit(); }},
        {"post edit", editPrice, &ClientDataSet::beforePost, [](ClientDataSet &ds) { ds.post(); }},
        {"post insert",
         [](ClientDataSet &ds) {
             ds.insert();
             ds.fieldByName(u"CDPRODUTO").setAsString(QStringLiteral("NOVO"));
         },
         &ClientDataSet::beforePost, [](ClientDataSet &ds) { ds.post(); }},
        {"post by moving", editPrice, &ClientDataSet::beforePost,
         [](ClientDataSet &ds) { ds.next(); }},
        {"cancel edit", editPrice, &ClientDataSet::beforeCancel,
         [](ClientDataSet &ds) { ds.cancel(); }},
        {"cancel insert", [](ClientDataSet &ds) { ds.insert(); }, &ClientDataSet::beforeCancel,
         [](ClientDataSet &ds) { ds.cancel(); }},
        {"delete", [](ClientDataSet &ds) { ds.moveTo(3); }, &ClientDataSet::beforeDelete,
         [](ClientDataSet &ds) { ds.deleteRecord(); }},
        {"delete while editing", editPrice, &ClientDataSet::beforeDelete,
         [](ClientDataSet &ds) { ds.deleteRecord(); }},
        {"delete scroll", nullptr, &ClientDataSet::beforeScroll,
         [](ClientDataSet &ds) { ds.deleteRecord(); }},
        {"next", nullptr, &ClientDataSet::beforeScroll, [](ClientDataSet &ds) { ds.next(); }},
        {"last", nullptr, &ClientDataSet::beforeScroll, [](ClientDataSet &ds) { ds.last(); }},
        {"locate", nullptr, &ClientDataSet::beforeScroll,
         [](ClientDataSet &ds) { ds.locate(u"NMPRODUTO", QStringLiteral("Item 4")); }},
        {"filter", nullptr, &ClientDataSet::beforeScroll,
         [](ClientDataSet &ds) {
             ds.setFilter(QStringLiteral("CDPRODUTO = 'P1'"));
             ds.setFiltered(true);
         }},
        {"close", [](ClientDataSet &ds) { ds.moveTo(4); }, &ClientDataSet::beforeClose,
         [](ClientDataSet &ds) { ds.close(); }},
        {"reload close", nullptr, &ClientDataSet::beforeClose,
         [](ClientDataSet &ds) { ds.loadPacket(DataPacket(ds.data())); }},
        {"reload open", editPrice, &ClientDataSet::beforeOpen,
         [](ClientDataSet &ds) { ds.loadPacket(DataPacket(ds.data())); }},
    };
    return cases;
}

} // namespace

class TestDataSetState : public QObject
{
    Q_OBJECT

private slots:
    // A before-event that throws must refuse the operation and leave state,
    // current row, edit buffer, rows and pending changes exactly as they were.
    void abortInBeforeEventChangesNothing_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<bool>("silent");
        for (int i = 0; i < abortCases().size(); ++i) {
            QTest::newRow(abortCases()[i].name) << i << true;
            QTest::newRow(QByteArray(abortCases()[i].name) + " (error)") << i << false;
        }
    }
    void abortInBeforeEventChangesNothing()
    {
        QFETCH(int, which);
        QFETCH(bool, silent);
        const AbortCase &c = abortCases()[which];
        auto ds = makePrices(6);
        ds->moveTo(1);
        ds->edit();
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("já pendente"));
        ds->post();
        if (c.setUp)
            c.setUp(*ds);
        const Snapshot before = snapshot(*ds);
        (*ds).*(c.event) = [silent](ClientDataSet &) {
            if (silent)
                abortSilently();
            throw std::runtime_error("recusado");
        };
        if (silent)
            QVERIFY_THROWS_EXCEPTION(Abort, c.operation(*ds));
        else
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, c.operation(*ds));
        QCOMPARE(snapshot(*ds), before);
    }

    // A failed post keeps the row in edit with what the user typed, so the
    // user can correct it and post again.
    void failedPostKeepsTypedValues()
    {
        auto ds = makePrices();
        bool refuse = true;
        ds->beforePost = [&](ClientDataSet &d) {
            if (refuse && d.fieldByName(u"VRPRECO").asFloat() < 0)
                abortSilently();
        };
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(-5);
        QVERIFY_THROWS_EXCEPTION(Abort, ds->post());
        QCOMPARE(ds->state(), DataSetState::Edit);
        QCOMPARE(ds->fieldByName(u"VRPRECO").asFloat(), -5.0);
        QCOMPARE(ds->data().real(0, ds->data().indexOf(u"VRPRECO")), 0.5);
        ds->fieldByName(u"VRPRECO").setAsFloat(5);
        ds->post();
        QCOMPARE(ds->state(), DataSetState::Browse);
        QCOMPARE(ds->fieldByName(u"VRPRECO").asFloat(), 5.0);
    }

    // Edits live in the buffer: the stored row and the other rows must not
    // change before post, and cancel must throw the buffer away.
    void editBufferIsolatesTheStoredRow()
    {
        auto ds = makePrices();
        const int name = ds->fieldByName(u"NMPRODUTO").index();
        ds->moveTo(1);
        ds->edit();
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("novo nome"));
        QCOMPARE(ds->valueAt(1, name).toString(), QStringLiteral("novo nome"));
        QCOMPARE(ds->data().string(1, ds->data().indexOf(u"NMPRODUTO")), QStringLiteral("Item 1"));
        ds->cancel();
        QCOMPARE(ds->fieldByName(u"NMPRODUTO").asString(), QStringLiteral("Item 1"));
        QCOMPARE(ds->changeCount(), 0);
    }

    // Writing outside edit or insert, or working on a closed dataset, must
    // fail loudly with a message the user can read.
    void misuseIsRefused()
    {
        auto ds = makePrices();
        try {
            ds->fieldByName(u"VRPRECO").setAsFloat(1);
            QFAIL("write in browse accepted");
        } catch (const DataSetError &e) {
            QCOMPARE(e.message(), QStringLiteral("Conjunto de dados não está em modo de edição."));
        }
        try {
            ds->fieldByName(u"NAOEXISTE");
            QFAIL("missing field accepted");
        } catch (const DataSetError &e) {
            QCOMPARE(e.message(), QStringLiteral("Campo 'NAOEXISTE' não encontrado."));
        }
        QCOMPARE(&ds->fieldByName(u"vrpreco"), &ds->fieldByName(u"VRPRECO"));
        QVERIFY_THROWS_EXCEPTION(DataSetError,
                                 ds->addField(QStringLiteral("X"), FieldType::String));
        ds->close();
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->edit());
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->append());
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->next());
        ds->createDataSet();
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->edit());
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->deleteRecord());
    }

    // The screens rely on this order: the first row's after-scroll follows
    // every load, a new row gets its defaults before after-insert, and
    // after-post sees the stored row in browse.
    void eventOrder()
    {
        auto ds = makePrices(3);
        QStringList log;
        auto record = [&](const char *what) {
            return [&log, what](ClientDataSet &d) {
                log << QStringLiteral("%1:%2:%3").arg(what).arg(int(d.state())).arg(d.currentRow());
            };
        };
        ds->beforeOpen = record("beforeOpen");
        ds->afterOpen = record("afterOpen");
        ds->beforeClose = record("beforeClose");
        ds->afterClose = record("afterClose");
        ds->beforeInsert = record("beforeInsert");
        ds->onNewRecord = [&](ClientDataSet &d) {
            d.fieldByName(u"CDFILIAL").setAsString(QStringLiteral("0002"));
            log << QStringLiteral("new");
        };
        ds->afterInsert = record("afterInsert");
        ds->beforePost = record("beforePost");
        ds->afterPost = [&](ClientDataSet &d) {
            log << QStringLiteral("afterPost:") + d.fieldByName(u"CDFILIAL").asString();
        };
        ds->beforeScroll = record("beforeScroll");
        ds->afterScroll = record("afterScroll");

        ds->loadPacket(DataPacket(ds->data()));
        ds->moveTo(1);
        ds->insert();
        ds->post();
        const QStringList expected = {"beforeClose:1:0",  "beforeOpen:1:0",
                                      "afterClose:0:-1",  "afterOpen:1:0",
                                      "afterScroll:1:0",  "beforeScroll:1:0",
                                      "afterScroll:1:1",  "beforeInsert:1:1",
                                      "beforeScroll:1:1", "new",
                                      "afterInsert:3:1",  "afterScroll:3:1",
                                      "beforePost:3:1",   "afterPost:0002"};
        QCOMPARE(log, expected);
    }

    // An exception from an after-event reaches the caller, but the operation
    // it follows has happened.
    void afterEventErrorsPropagateAfterTheFact()
    {
        auto ds = makePrices();
        ds->afterPost = [](ClientDataSet &) { throw DataSetError(QStringLiteral("falhou")); };
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(9);
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->post());
        QCOMPARE(ds->state(), DataSetState::Browse);
        QCOMPARE(ds->changeCount(), 1);
        QCOMPARE(ds->fieldByName(u"VRPRECO").asFloat(), 9.0);
    }

    // A handler that reloads the dataset from its own after-post (as a
    // refresh does) must find a consistent dataset.
    void afterPostMayReloadTheDataSet()
    {
        auto ds = makePrices(4);
        ds->afterPost = [](ClientDataSet &d) {
            d.mergeChangeLog();
            d.loadPacket(DataPacket(d.data()));
        };
        ds->moveTo(2);
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(42);
        ds->post();
        QCOMPARE(ds->recordCount(), 4);
        QCOMPARE(ds->currentRow(), 0);
        QCOMPARE(ds->valueAt(2, ds->fieldByName(u"VRPRECO").index()).toDouble(), 42.0);
    }

    // A failing onNewRecord must leave no half-made row behind.
    void failingNewRecordUndoesTheInsert()
    {
        auto ds = makePrices(3);
        ds->moveTo(1);
        ds->onNewRecord = [](ClientDataSet &) { throw DataSetError(QStringLiteral("x")); };
        const Snapshot before = snapshot(*ds);
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds->insert());
        QCOMPARE(snapshot(*ds), before);
        QCOMPARE(ds->data().rowCount(), 3);
    }

    // Inserting puts the row before the current one, appending at the end,
    // and cancelling either takes it out again.
    void insertPositions()
    {
        auto ds = makePrices(3);
        const int name = ds->fieldByName(u"NMPRODUTO").index();
        ds->moveTo(1);
        ds->insert();
        QCOMPARE(ds->currentRow(), 1);
        QCOMPARE(ds->recordCount(), 4);
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("inserido"));
        ds->post();
        ds->append();
        QCOMPARE(ds->currentRow(), 4);
        ds->cancel();
        QCOMPARE(ds->recordCount(), 4);
        QCOMPARE(ds->currentRow(), 3);
        QCOMPARE(column(*ds, QStringLiteral("NMPRODUTO")),
                 QVariantList({"Item 0", "inserido", "Item 1", "Item 2"}));
        // A delete while inserting drops the new row only.
        ds->insert();
        ds->deleteRecord();
        QCOMPARE(ds->recordCount(), 4);
        QCOMPARE(ds->valueAt(3, name).toString(), QStringLiteral("Item 2"));
        QCOMPARE(ds->changeCount(), 1);
    }

    // Walking first..eof must visit each row once; moving off an edited row
    // posts it.
    void navigation()
    {
        auto ds = makePrices(4);
        QStringList seen;
        for (ds->first(); !ds->eof(); ds->next())
            seen << ds->fieldByName(u"NMPRODUTO").asString();
        QCOMPARE(seen, QStringList({"Item 0", "Item 1", "Item 2", "Item 3"}));
        QCOMPARE(ds->currentRow(), 3);
        ds->prior();
        QVERIFY(!ds->bof() && !ds->eof());
        ds->first();
        QVERIFY(ds->bof());
        ds->prior();
        QCOMPARE(ds->currentRow(), 0);
        ds->edit();
        ds->fieldByName(u"NMPRODUTO").setAsString(QStringLiteral("mudou"));
        ds->next();
        QCOMPARE(ds->state(), DataSetState::Browse);
        QCOMPARE(ds->valueAt(0, ds->fieldByName(u"NMPRODUTO").index()).toString(),
                 QStringLiteral("mudou"));
        ds->moveTo(99);
        QCOMPARE(ds->currentRow(), 3);
        auto empty = makePrices(0);
        QVERIFY(empty->bof() && empty->eof() && empty->isEmpty());
        QCOMPARE(empty->currentRow(), -1);
        QVERIFY(empty->fieldByName(u"NMPRODUTO").isNull());
    }

    // Grids and forms hear about every change through their data sources,
    // all of them, and nothing while controls are disabled.
    void dataSourceSignals()
    {
        auto ds = makePrices(5);
        DataSource a(ds.get()), b(ds.get());
        int hookCalls = 0;
        a.onStateChange = [&](DataSource &s) {
            ++hookCalls;
            QCOMPARE(s.state(), ds->state());
        };
        QSignalSpy stateA(&a, &DataSource::stateChanged), stateB(&b, &DataSource::stateChanged);
        QSignalSpy data(&a, &DataSource::dataChanged), current(&a, &DataSource::currentChanged);
        QSignalSpy layout(&b, &DataSource::layoutChanged);

        ds->moveTo(2);
        QCOMPARE(current.size(), 1);
        QCOMPARE(current.last().at(0).toInt(), 2);
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(3);
        QCOMPARE(data.last().at(0).toInt(), 2);
        ds->post();
        QCOMPARE(stateA.size(), 2);
        QCOMPARE(stateB.size(), 2);
        QCOMPARE(hookCalls, 2);
        QCOMPARE(layout.size(), 0); // a post that moves no row repaints that row only
        QCOMPARE(data.last().at(0).toInt(), 2);
        ds->sortBy(u"VRPRECO", false);
        QCOMPARE(layout.size(), 1);
        QCOMPARE(current.last().at(0).toInt(), ds->currentRow());
        ds->edit();
        ds->fieldByName(u"VRPRECO").setAsFloat(100);
        ds->post(); // moves to the top of the sort order
        QCOMPARE(layout.size(), 2);
        QCOMPARE(current.last().at(0).toInt(), 0);

        const auto counts = [&] {
            return stateA.size() + data.size() + current.size() + layout.size();
        };
        const int quiet = counts();
        ds->disableControls();
        ds->disableControls();
        for (ds->first(); !ds->eof(); ds->next()) {
            ds->edit();
            ds->fieldByName(u"VRPRECO").setAsFloat(1);
            ds->post();
        }
        ds->enableControls();
        QCOMPARE(counts(), quiet);
        ds->enableControls();
        QCOMPARE(layout.size(), 3); // one refresh for the whole batch

        ds.reset();
        QCOMPARE(a.state(), DataSetState::Inactive);
        QVERIFY(a.dataSet() == nullptr);
    }
};

QTEST_GUILESS_MAIN(TestDataSetState)
#include "tst_datasetstate.moc"

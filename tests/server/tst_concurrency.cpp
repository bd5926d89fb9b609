// Two users on the same database: a row read by one and changed by the other
// since must never be overwritten, and a refused save writes nothing at all.
#include "ServerTestBase.h"

#include "core/WorkerPool.h"

#include <QCoreApplication>

#include <condition_variable>
#include <mutex>

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

class TestConcurrency : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    // A stale item update is refused and the valid change before it in the
    // same delta is rolled back with it.
    void staleItemUpdate();
    // A product priced by someone else after it was read unpriced is not
    // overwritten by the "insert" of the first user.
    void unpricedRowPricedMeanwhile();
    // A period changed by someone else is not deleted, nor its prices.
    void stalePeriodDelete();
    // A differentiated price deleted by someone else is not brought back.
    void deletedDayPriceUpdate();
    // A renamed table is not renamed again over the other user's name.
    void staleTableRename();
    // Doubles are compared exactly: a value with no short decimal form read
    // and sent back unchanged is not a conflict.
    void exactDoublesAreNoConflict();
    // Many workers, each with its own connection, read-modify-write one
    // price at the same time: every save either lands on what it read or is
    // refused as a conflict (then read again), so no increment is lost, and
    // waiting for the one writer never surfaces as a "busy" error.
    void parallelWorkersLoseNoUpdate();

private:
    DataPacketPtr itemsOn(Storage &s, const QString &branch)
    {
        return readOn(s, "GetItemPreco", {branch, "001", "00001", "3", day(-30), "", "T"});
    }
    QList<int> pricedRows(const DataPacket &p, int count)
    {
        QList<int> rows;
        for (int r = 0; r < p.rowCount() && rows.size() < count; ++r) {
            if (!p.isNull(r, p.indexOf(u"VRPRECITEM")) && value(p, r, "NRCOMPPROD").toDouble() == 0)
                rows << r;
        }
        return rows;
    }
    void expectConflict(const Outcome &out)
    {
        QVERIFY(!out.ok);
        QCOMPARE(out.code, int(ErrorConflict));
        QVERIFY2(out.message.contains(u"outro usuário"), qPrintable(out.message));
    }
};

void TestConcurrency::staleItemUpdate()
{
    const DataPacketPtr mine = itemsOn(storage(), "0001");
    const QList<int> rows = pricedRows(*mine, 2);
    QCOMPARE(rows.size(), 2);

    const DataPacketPtr theirs = itemsOn(otherUser(), "0001");
    DeltaPacket other = deltaOf(*theirs);
    other.changes << updateOf(*theirs, rows[1], {{"VRPRECITEM", 99.99}});
    QVERIFY(callOn(otherUser(), "SetItemPreco", {deltaArg(other), ""}).ok);

    DeltaPacket d = deltaOf(*mine);
    d.changes << updateOf(*mine, rows[0], {{"VRPRECITEM", 1.11}});
    d.changes << updateOf(*mine, rows[1], {{"VRPRECITEM", 2.22}});
    expectConflict(call("SetItemPreco", {deltaArg(d), ""}));

    const DataPacketPtr after = itemsOn(storage(), "0001");
    QCOMPARE(after->rowValues(rows[0]), mine->rowValues(rows[0]));
    QCOMPARE(value(*after, rows[1], "VRPRECITEM").toDouble(), 99.99);
}

void TestConcurrency::unpricedRowPricedMeanwhile()
{
    const DataPacketPtr mine = itemsOn(storage(), "0002");
    int row = -1;
    for (int r = 0; r < mine->rowCount() && row < 0; ++r) {
        if (mine->isNull(r, mine->indexOf(u"VRPRECITEM")))
            row = r;
    }
    QVERIFY(row >= 0);
    const DataPacketPtr theirs = itemsOn(otherUser(), "0002");
    DeltaPacket other = deltaOf(*theirs);
    other.changes << updateOf(*theirs, row, {{"VRPRECITEM", 5.0}});
    QVERIFY(callOn(otherUser(), "SetItemPreco", {deltaArg(other), ""}).ok);

    DeltaPacket d = deltaOf(*mine);
    d.changes << updateOf(*mine, row, {{"VRPRECITEM", 6.0}});
    expectConflict(call("SetItemPreco", {deltaArg(d), ""}));
    QCOMPARE(value(*itemsOn(storage(), "0002"), row, "VRPRECITEM").toDouble(), 5.0);
}

void TestConcurrency::stalePeriodDelete()
{
    const DataPacketPtr mine = readOn(storage(), "GetTabeVend", {"0003", "001"});
    const DataPacketPtr theirs = readOn(otherUser(), "GetTabeVend", {"0003", "001"});
    const int row = 2; // the period still being prepared
    DeltaPacket other = deltaOf(*theirs);
    other.changes << updateOf(*theirs, row, {{"DTFINVGPREC", day(140)}});
    const Outcome changed = callOn(otherUser(), "SetTabeVend", {deltaArg(other)});
    QVERIFY2(changed.ok, qPrintable(changed.message));

    const QDateTime start = value(*mine, row, "DTINIVGPREC").toDateTime();
    const int items =
        scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0003' AND CDTABEPREC = '001' "
               "AND DTINIVGPREC = :s",
               {{":s", start}})
            .toInt();
    QVERIFY(items > 0);
    DeltaPacket d = deltaOf(*mine);
    d.changes << deleteOf(*mine, row);
    expectConflict(call("SetTabeVend", {deltaArg(d)}));
    QCOMPARE(read("GetTabeVend", {"0003", "001"})->rowCount(), mine->rowCount());
    QCOMPARE(scalar("SELECT COUNT(*) FROM ITEMPRECO WHERE CDFILIAL = '0003' AND CDTABEPREC = '001' "
                    "AND DTINIVGPREC = :s",
                    {{":s", start}})
                 .toInt(),
             items);
}

void TestConcurrency::deletedDayPriceUpdate()
{
    const QVariantList args{"0001", "001", day(-30)};
    const DataPacketPtr mine = readOn(storage(), "GetPrecoHora", args);
    QVERIFY(mine->rowCount() > 0);
    const DataPacketPtr theirs = readOn(otherUser(), "GetPrecoHora", args);
    DeltaPacket other = deltaOf(*theirs);
    other.changes << deleteOf(*theirs, 0);
    QVERIFY(callOn(otherUser(), "SetPrecoHora", {deltaArg(other)}).ok);

    DeltaPacket d = deltaOf(*mine);
    d.changes << updateOf(*mine, 0, {{"VRPRECODIA", 3.0}});
    expectConflict(call("SetPrecoHora", {deltaArg(d)}));
    QCOMPARE(read("GetPrecoHora", args)->rowCount(), mine->rowCount() - 1);
}

void TestConcurrency::staleTableRename()
{
    const DataPacketPtr mine = readOn(storage(), "GetTabePrec", {"0002"});
    const DataPacketPtr theirs = readOn(otherUser(), "GetTabePrec", {"0002"});
    DeltaPacket other = deltaOf(*theirs);
    other.changes << updateOf(*theirs, 0, {{"NMTABEPREC", "Balcão Novo"}});
    QVERIFY(callOn(otherUser(), "SetTabePrec", {deltaArg(other)}).ok);

    DeltaPacket d = deltaOf(*mine);
    d.changes << updateOf(*mine, 0, {{"NMTABEPREC", "Balcão Antigo"}});
    expectConflict(call("SetTabePrec", {deltaArg(d)}));
    QCOMPARE(value(*read("GetTabePrec", {"0002"}), 0, "NMTABEPREC").toString(),
             QStringLiteral("Balcão Novo"));
}

void TestConcurrency::exactDoublesAreNoConflict()
{
    const DataPacketPtr before = itemsOn(storage(), "0003");
    const int row = pricedRows(*before, 1).value(0, -1);
    QVERIFY(row >= 0);
    const double awkward = 0.1 + 0.2; // 0.30000000000000004
    // Stored so by an older client: a save now refuses such prices, but a
    // row holding them must stay editable.
    const QString own = "CDFILIAL = '0003' AND CDTABEPREC = '001' AND DTINIVGPREC = :s AND "
                        "CDPRODUTO = :p AND CDPRPAITABPR = :p2";
    const Binds binds{{":s", day(-30)},
                      {":p", value(*before, row, "CDPRODUTO")},
                      {":p2", value(*before, row, "CDPRODUTO")}};
    const auto legacy = keepValues("ITEMPRECO", {"VRPRECITEMCL", "VRPRESUGITEM"}, own, binds);
    scalar("UPDATE ITEMPRECO SET VRPRECITEMCL = :a, VRPRESUGITEM = :b WHERE " + own,
           Binds{{":a", awkward}, {":b", 1e-300}} + binds);

    const DataPacketPtr theirs = itemsOn(otherUser(), "0003");
    QCOMPARE(value(*theirs, row, "VRPRECITEMCL").toDouble(), awkward);
    DeltaPacket d = deltaOf(*theirs);
    d.changes << updateOf(*theirs, row, {{"VRPRECITEM", 10.0}});
    const Outcome out = callOn(otherUser(), "SetItemPreco", {deltaArg(d), ""});
    QVERIFY2(out.ok, qPrintable(out.message));
}

void TestConcurrency::parallelWorkersLoseNoUpdate()
{
    const DataPacketPtr first = itemsOn(storage(), "0001");
    const int row = pricedRows(*first, 1).value(0, -1);
    QVERIFY(row >= 0);
    const QString product = value(*first, row, "CDPRODUTO").toString();
    const double start = value(*first, row, "VRPRECITEM").toDouble();

    constexpr int Workers = 4;
    constexpr int Increments = 5;
    MethodRegistry registry;
    registerAllMethods(registry);
    // Declared before the pool, so that they outlive its jobs on any early return.
    std::mutex mutex;
    std::condition_variable done;
    int finished = 0;
    int conflicts = 0;
    QStringList failures;
    WorkerPool pool;
    const QString where = location();
    QString error;
    QVERIFY2(pool.start(
                 Workers,
                 [where](QString *why) -> std::shared_ptr<Context> {
                     std::shared_ptr<Storage> s = Storage::open(where, why);
                     if (!s)
                         return nullptr;
                     return std::shared_ptr<Context>(new Context{*s}, [s](Context *c) mutable {
                         delete c;
                         s.reset();
                     });
                 },
                 &error),
             qPrintable(error));

    const QVariantList readArgs{"0001", "001", "00001", "3", day(-30), product, "N"};
    for (int w = 0; w < Workers; ++w) {
        pool.post([&](Context &context) {
            int saved = 0;
            for (int attempt = 0; saved < Increments && attempt < 200; ++attempt) {
                const Outcome read = dispatch(registry, context, kObject, "GetItemPreco", readArgs);
                const DataPacketPtr p = read.ok ? read.payload.value<DataPacketPtr>() : nullptr;
                const int r = p ? findRow(*p, "CDPRODUTO", product) : -1;
                if (r < 0) {
                    std::lock_guard lock(mutex);
                    failures << QStringLiteral("read: ") + read.message;
                    break;
                }
                DeltaPacket d = deltaOf(*p);
                const double now = value(*p, r, "VRPRECITEM").toDouble();
                d.changes << updateOf(*p, r, {{"VRPRECITEM", now + 1.0}});
                const Outcome out = dispatch(registry, context, kObject, "SetItemPreco",
                                             {QVariant::fromValue(d), ""});
                std::lock_guard lock(mutex);
                if (out.ok)
                    ++saved;
                else if (out.code == ErrorConflict)
                    ++conflicts;
                else
                    failures << out.message;
            }
            std::lock_guard lock(mutex);
            ++finished;
            done.notify_all();
        });
    }
    {
        std::unique_lock lock(mutex);
        QVERIFY(
            done.wait_for(lock, std::chrono::seconds(120), [&] { return finished == Workers; }));
    }
    pool.stop();
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u'\n')));
    const DataPacketPtr after = itemsOn(storage(), "0001");
    QCOMPARE(value(*after, findRow(*after, "CDPRODUTO", product), "VRPRECITEM").toDouble(),
             start + Workers * Increments);
    qInfo("conflicts refused and retried: %d", conflicts);
}

PRX_SERVER_TEST_MAIN(TestConcurrency)
#include "tst_concurrency.moc"

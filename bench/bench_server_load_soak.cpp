// Twenty clients on two prx-server processes over one PostgreSQL database,
// for a bounded time, mixing reads of a period, item saves and period saves
// on a few hot rows so that saves collide. Each client counts the saves the
// server accepted; at the end the database must hold every one of them (no
// lost update). A refused save (changed by another user) is read again and
// retried, as a user would; any other failure is an error.
//
// Needs PRX_BIN_DIR and PRX_BENCH_PG_URL (a PostgreSQL database; a schema of
// its own is made and dropped). PRX_SOAK_SECONDS bounds the run (default 30).
#include "BenchFigures.h"
#include "ServerLoadSupport.h"

#include "core/MethodRegistry.h"
#include "dataset/DeltaPacket.h"
#include "money/Decimal.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cmath>
#include <cstdio>

using namespace prx;
using namespace prx::bench;

namespace {

constexpr int Clients = 20;
constexpr int HotProducts = 8;
const Decimal Cent = Decimal::fromUnits(Decimal::kOne / 100);

struct Tally
{
    QMutex mutex;
    std::vector<double> ms;
    QHash<QString, int> itemCents; // product -> cents added by accepted saves
    int periodDays = 0;            // days added to the last period's end
    int errors = 0;
    int conflicts = 0;
    QStringList firstErrors;
};

DeltaChange updateOf(const DataPacket &p, int row, const QString &field, const QVariant &to)
{
    DeltaChange c;
    c.kind = ChangeKind::Update;
    c.original = p.rowValues(row);
    c.current = c.original;
    c.current[p.indexOf(field)] = to;
    return c;
}

QVariant deltaArg(const DataPacket &p, DeltaChange change)
{
    DeltaPacket d;
    d.fields = p.fields();
    d.changes << std::move(change);
    return QVariant::fromValue(d);
}

int lastRow(const DataPacket &periods)
{
    const int start = periods.indexOf(u"DTINIVGPREC");
    int last = 0;
    for (int r = 1; r < periods.rowCount(); ++r) {
        if (periods.dateTime(r, start) > periods.dateTime(last, start))
            last = r;
    }
    return last;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString base = qEnvironmentVariable("PRX_BENCH_PG_URL");
    if (qEnvironmentVariableIsEmpty("PRX_BIN_DIR") || base.isEmpty()) {
        std::printf("soak em PostgreSQL: defina PRX_BIN_DIR e PRX_BENCH_PG_URL para medir\n");
        return 0;
    }
    const int seconds = qEnvironmentVariableIntValue("PRX_SOAK_SECONDS") > 0
                            ? qEnvironmentVariableIntValue("PRX_SOAK_SECONDS")
                            : 30;
    const QString schema = QStringLiteral("prx_soak_%1").arg(QCoreApplication::applicationPid());
    const QString url =
        base + (base.contains(QLatin1Char('?')) ? u'&' : u'?') + QStringLiteral("schema=") + schema;
    QProcess demo;
    demo.start(qEnvironmentVariable("PRX_BIN_DIR") + QStringLiteral("/prx-cli"),
               {QStringLiteral("demo"), QStringLiteral("--db"), url, QStringLiteral("--products"),
                QStringLiteral("2000"), QStringLiteral("--branches"), QStringLiteral("2")});
    if (!demo.waitForFinished(600000) || demo.exitCode() != 0) {
        std::fprintf(stderr, "prx-cli demo falhou: %s\n", demo.readAllStandardError().constData());
        return 1;
    }

    QProcess one, two;
    const int ports[] = {startServer(one, {QStringLiteral("--db"), url}),
                         startServer(two, {QStringLiteral("--db"), url})};
    if (ports[0] == 0 || ports[1] == 0) {
        std::fprintf(stderr, "prx-server não iniciou\n");
        return 1;
    }

    NetConnection net;
    connectTo(net, ports[0]);
    const QVariantList periodArgs = itemListArgs(net);
    const DataPacketPtr all = packetOf(net, QStringLiteral("GetItemPreco"), periodArgs);
    QStringList hot;
    QHash<QString, double> initialPrice;
    for (int r = 0; r < all->rowCount() && hot.size() < HotProducts; ++r) {
        const int price = all->indexOf(u"VRPRECITEM");
        if (!all->isNull(r, price) && all->real(r, all->indexOf(u"NRCOMPPROD")) == 0) {
            const QString product = all->string(r, all->indexOf(u"CDPRODUTO"));
            hot << product;
            initialPrice[product] = all->real(r, price);
        }
    }
    const DataPacketPtr periods = packetOf(net, QStringLiteral("GetTabeVend"),
                                           {QStringLiteral("0001"), QStringLiteral("001")});
    const int endCol = periods->indexOf(u"DTFINVGPREC");
    const QDateTime initialEnd = periods->dateTime(lastRow(*periods), endCol);

    Tally tally;
    std::atomic<bool> stop = false;
    QList<QThread *> threads;
    for (int c = 0; c < Clients; ++c) {
        threads << QThread::create([&, c] {
            NetConnection client;
            connectTo(client, ports[c % 2]);
            QRandomGenerator rng(quint32(1000 + c));
            auto timed = [&](const QString &method, const QVariantList &args) {
                QElapsedTimer t;
                t.start();
                ServerResult r = client.call(method, args);
                const double ms = double(t.nsecsElapsed()) / 1e6;
                QMutexLocker lock(&tally.mutex);
                tally.ms.push_back(ms);
                if (!r.ok && r.code == server::ErrorConflict) {
                    ++tally.conflicts;
                } else if (!r.ok) {
                    ++tally.errors;
                    if (tally.firstErrors.size() < 5)
                        tally.firstErrors << method + QStringLiteral(": ") + r.message;
                }
                return r;
            };
            while (!stop) {
                const int pick = int(rng.bounded(10));
                if (pick < 6) {
                    timed(QStringLiteral("GetItemPreco"), periodArgs);
                } else if (pick < 9) {
                    const QString product = hot[int(rng.bounded(hot.size()))];
                    QVariantList one = periodArgs;
                    one[5] = product;
                    one[6] = QStringLiteral("N");
                    const ServerResult read = timed(QStringLiteral("GetItemPreco"), one);
                    const DataPacketPtr p = read.payload.value<DataPacketPtr>();
                    if (!read.ok || !p || p->rowCount() != 1)
                        continue;
                    // One cent up, as a user would type the new price.
                    const double now =
                        (Decimal::fromDouble(p->real(0, p->indexOf(u"VRPRECITEM"))) + Cent)
                            .toDouble();
                    const ServerResult saved =
                        timed(QStringLiteral("SetItemPreco"),
                              {deltaArg(*p, updateOf(*p, 0, QStringLiteral("VRPRECITEM"), now)),
                               QString()});
                    if (saved.ok) {
                        QMutexLocker lock(&tally.mutex);
                        ++tally.itemCents[product];
                    }
                } else {
                    const ServerResult read =
                        timed(QStringLiteral("GetTabeVend"),
                              {QStringLiteral("0001"), QStringLiteral("001")});
                    const DataPacketPtr p = read.payload.value<DataPacketPtr>();
                    if (!read.ok || !p)
                        continue;
                    const int last = lastRow(*p);
                    const QDateTime end = p->dateTime(last, p->indexOf(u"DTFINVGPREC"));
                    const ServerResult saved =
                        timed(QStringLiteral("SetTabeVend"),
                              {deltaArg(*p, updateOf(*p, last, QStringLiteral("DTFINVGPREC"),
                                                     end.addDays(1)))});
                    if (saved.ok) {
                        QMutexLocker lock(&tally.mutex);
                        ++tally.periodDays;
                    }
                }
            }
        });
        threads.last()->start();
    }
    QElapsedTimer run;
    run.start();
    QThread::sleep(seconds);
    stop = true;
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    const double elapsed = double(run.elapsed()) / 1000.0;

    // Every accepted save must be in the database.
    int lost = 0;
    const DataPacketPtr after = packetOf(net, QStringLiteral("GetItemPreco"), periodArgs);
    for (int r = 0; r < after->rowCount(); ++r) {
        const QString product = after->string(r, after->indexOf(u"CDPRODUTO"));
        if (!hot.contains(product))
            continue;
        const Decimal expected = Decimal::fromDouble(initialPrice[product]) +
                                 Decimal::fromUnits(Cent.units() * tally.itemCents.value(product));
        const Decimal got = Decimal::fromDouble(after->real(r, after->indexOf(u"VRPRECITEM")));
        lost += int(std::llabs(qint64((expected - got).units() / Cent.units())));
    }
    const DataPacketPtr periodsAfter = packetOf(net, QStringLiteral("GetTabeVend"),
                                                {QStringLiteral("0001"), QStringLiteral("001")});
    const QDateTime endAfter = periodsAfter->dateTime(lastRow(*periodsAfter), endCol);
    lost += std::abs(int(initialEnd.daysTo(endAfter)) - tally.periodDays);

    stopServer(one);
    stopServer(two);
    {
        const QUrl u(base);
        QSqlDatabase pg =
            QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("soak"));
        pg.setHostName(u.host());
        pg.setPort(u.port(5432));
        pg.setUserName(u.userName());
        pg.setPassword(u.password());
        pg.setDatabaseName(u.path().mid(1));
        if (pg.open()) {
            QSqlQuery drop(pg);
            drop.exec(QStringLiteral("SET client_min_messages TO WARNING"));
            drop.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
        }
    }

    std::printf("soak PostgreSQL: %d clientes em 2 servidores, %.0f s: %.1f chamadas/s, "
                "p50 %.1f ms, p99 %.1f ms\n",
                Clients, elapsed, double(tally.ms.size()) / elapsed, percentile(tally.ms, 0.5),
                percentile(tally.ms, 0.99));
    std::printf(
        "soak PostgreSQL: erros %d (meta 0), atualizações perdidas %d (meta 0), "
        "conflitos recusados e refeitos %d, salvamentos aceitos: itens %d, períodos %d\n",
        tally.errors, lost, tally.conflicts,
        [&] {
            int n = 0;
            for (int v : tally.itemCents)
                n += v;
            return n;
        }(),
        tally.periodDays);
    for (const QString &e : tally.firstErrors)
        std::printf("  %s\n", qPrintable(e));
    return tally.errors == 0 && lost == 0 ? 0 : 1;
}

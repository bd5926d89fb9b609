// prx-server as a process: it refuses to listen beyond this machine without
// an access key, a SIGKILL in the middle of a save or a bulk delete leaves the
// database whole with all or none of that work, and two servers on one
// PostgreSQL database behave as one.
#include "ServerProcess.h"

#include "core/MethodRegistry.h"
#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"
#include "money/Decimal.h"
#include "net/NetConnection.h"
#include "net/Wire.h"
#include "storage/Schema.h"
#include "storage/Storage.h"

#include <QSqlQuery>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

using namespace prx;
using namespace prx::server;

namespace {

const QString Obj = QStringLiteral("Prx51700.rdmTabePreco");

// A fresh database: a SQLite file, or a schema of its own on the PostgreSQL
// server of PRX_TEST_PG_URL; filled by prx-cli demo.
class Database
{
public:
    bool create(bool postgres, QString *error, int products = 400)
    {
        static int serial = 0;
        if (postgres) {
            const QString base = qEnvironmentVariable("PRX_TEST_PG_URL");
            m_schema = QStringLiteral("prx_proc_%1_%2")
                           .arg(QCoreApplication::applicationPid())
                           .arg(++serial);
            m_base = base;
            m_location =
                base + (base.contains(u'?') ? u'&' : u'?') + QStringLiteral("schema=") + m_schema;
        } else {
            m_location = m_dir.filePath(QStringLiteral("prx-%1.db").arg(++serial));
        }
        const int code =
            ServerProcess::runCli({QStringLiteral("demo"), QStringLiteral("--db"), m_location,
                                   QStringLiteral("--products"), QString::number(products),
                                   QStringLiteral("--branches"), QStringLiteral("3")},
                                  error);
        return code == 0;
    }
    ~Database()
    {
        if (m_schema.isEmpty())
            return;
        QString error;
        if (auto s = Storage::open(m_base, &error))
            s->execDirect(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(m_schema));
    }
    QString location() const { return m_location; }

private:
    QTemporaryDir m_dir;
    QString m_location;
    QString m_base;
    QString m_schema;
};

qint64 scalar(const Storage &s, const QString &sql)
{
    QSqlQuery q = s.prepare(sql);
    s.exec(q, sql);
    return q.next() ? q.value(0).toLongLong() : -1;
}

// What the crash must leave either untouched or wholly changed.
QString stateOf(const QString &location)
{
    QString error;
    const auto s = Storage::open(location, &error);
    if (!s)
        return error;
    return QStringLiteral("items %1, cents %2, day prices %3, periods %4")
        .arg(scalar(*s, QStringLiteral("SELECT COUNT(*) FROM ITEMPRECO")))
        .arg(scalar(*s, QStringLiteral("SELECT ROUND(SUM(VRPRECITEM) * 100) FROM ITEMPRECO")))
        .arg(scalar(*s, QStringLiteral("SELECT COUNT(*) FROM ITEMPRECODIA")))
        .arg(scalar(*s, QStringLiteral("SELECT COUNT(*) FROM TABEVEND")));
}

// The database's own check (SQLite) and every reference between tables.
QStringList integrityProblems(const QString &location)
{
    QString error;
    const auto s = Storage::open(location, &error);
    if (!s)
        return {error};
    QStringList problems;
    if (s->dialect().isSqlite()) {
        QSqlQuery check = s->prepare(QStringLiteral("PRAGMA integrity_check"));
        s->exec(check, QStringLiteral("integrity_check"));
        while (check.next()) {
            if (check.value(0).toString() != u"ok")
                problems << check.value(0).toString();
        }
    }
    for (const TableDef &t : Schema::tables()) {
        for (const ForeignKeyDef &fk : t.foreignKeys) {
            QStringList set, match;
            for (int i = 0; i < fk.columns.size(); ++i) {
                set << QStringLiteral("c.%1 IS NOT NULL").arg(fk.columns[i]);
                match << QStringLiteral("r.%1 = c.%2").arg(fk.refColumns[i], fk.columns[i]);
            }
            const qint64 orphans =
                scalar(*s, QStringLiteral("SELECT COUNT(*) FROM %1 c WHERE %2 AND NOT EXISTS "
                                          "(SELECT 1 FROM %3 r WHERE %4)")
                               .arg(t.name, set.join(u" AND "), fk.refTable, match.join(u" AND ")));
            if (orphans != 0)
                problems << QStringLiteral("%1 rows of %2 without their %3")
                                .arg(orphans)
                                .arg(t.name, fk.refTable);
        }
    }
    return problems;
}

ServerResult callOn(quint16 port, const QString &method, const QVariantList &args)
{
    NetConnection c;
    c.setServerObject(Obj);
    c.setTimeout(60000);
    c.beforeConnect = [port](NetConnection &self) {
        self.setHost(QStringLiteral("127.0.0.1"));
        self.setPort(port);
    };
    return c.call(method, args);
}

DeltaPacket deltaOf(const DataPacket &p)
{
    DeltaPacket d;
    d.fields = p.fields();
    return d;
}

DeltaChange updateOf(const DataPacket &p, int row, const QString &field, const QVariant &to)
{
    DeltaChange c;
    c.kind = ChangeKind::Update;
    c.original = p.rowValues(row);
    c.current = c.original;
    c.current[p.indexOf(field)] = to;
    return c;
}

// Every priced product row (not a component) of the period, one cent up.
QVariantList largeSave(quint16 port, const QDateTime &start, int *rows)
{
    const ServerResult read =
        callOn(port, QStringLiteral("GetItemPreco"), {"0001", "001", "00001", "3", start, "", "T"});
    const DataPacketPtr p = read.payload.value<DataPacketPtr>();
    if (!read.ok || !p)
        return {};
    DeltaPacket d = deltaOf(*p);
    const int price = p->indexOf(u"VRPRECITEM");
    for (int r = 0; r < p->rowCount(); ++r) {
        if (!p->isNull(r, price) && p->value(r, p->indexOf(u"NRCOMPPROD")).toDouble() == 0)
            d.changes << updateOf(*p, r, QStringLiteral("VRPRECITEM"),
                                  (Decimal::fromDouble(p->value(r, price).toDouble()) +
                                   *Decimal::parse(u"0.01"))
                                      .toDouble());
    }
    *rows = int(d.changes.size());
    return {QVariant::fromValue(d), QString()};
}

// The deletion of a period still being prepared, with all its prices.
QVariantList periodDelete(quint16 port)
{
    const ServerResult read = callOn(port, QStringLiteral("GetTabeVend"), {"0003", "001"});
    const DataPacketPtr p = read.payload.value<DataPacketPtr>();
    if (!read.ok || !p || p->rowCount() < 3)
        return {};
    DeltaPacket d = deltaOf(*p);
    DeltaChange c;
    c.kind = ChangeKind::Delete;
    c.original = p->rowValues(2);
    d.changes << c;
    return {QVariant::fromValue(d)};
}

} // namespace

class TestServerProcess : public QObject
{
    Q_OBJECT

    Database m_small; // for the tests that only need a server to start

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_small.create(false, &error, 20), qPrintable(error));
    }
    // Guards against a server open to the network without any check of who
    // connects, and against a key file that gives no real protection.
    void listenBeyondLoopback_data();
    void listenBeyondLoopback();
    // Guards against a crash leaving half a save, half a bulk delete or a
    // damaged file behind.
    void killedMidWork_data();
    void killedMidWork();
    // Guards against a server process keeping state of its own, which would
    // let two servers on one database overwrite each other's users.
    void twoServersOneDatabase();
};

void TestServerProcess::listenBeyondLoopback_data()
{
    QTest::addColumn<QByteArray>("key"); // content of the key file; empty: no --key-file
    QTest::addColumn<int>("exitCode");   // -1: it starts
    QTest::addColumn<QString>("fragment");
    QTest::newRow("no key file") << QByteArray() << 2 << "--key-file";
    QTest::newRow("short key") << QByteArray("curta\n") << 1 << "curta demais";
    QTest::newRow("key file") << QByteArray("e3f1a97c0b5d4c2a8f6e9d1b7a3c5e0f\n") << -1
                              << QString();
}

void TestServerProcess::listenBeyondLoopback()
{
    QFETCH(QByteArray, key);
    QFETCH(int, exitCode);
    QFETCH(QString, fragment);
    QTemporaryDir dir;
    QStringList args{QStringLiteral("--db"),      m_small.location(),
                     QStringLiteral("--listen"),  QStringLiteral("0.0.0.0:0"),
                     QStringLiteral("--workers"), QStringLiteral("2")};
    const QString keyFile = dir.filePath(QStringLiteral("chave"));
    if (!key.isEmpty()) {
        QFile f(keyFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(key);
        f.close();
        args << QStringLiteral("--key-file") << keyFile;
    }
    ServerProcess server;
    QCOMPARE(server.exitCodeOf(args), exitCode);
    if (exitCode >= 0) {
        QVERIFY2(server.log().contains(fragment), qPrintable(server.log()));
        return;
    }
    // prx-cli proves the key; without it the user is told what is missing.
    const QStringList call{QStringLiteral("call"), QStringLiteral("--server"),
                           QStringLiteral("127.0.0.1:%1").arg(server.port()),
                           QStringLiteral("--count")};
    QString out;
    QCOMPARE(ServerProcess::runCli(call + QStringList{QStringLiteral("--key-file"), keyFile,
                                                      QStringLiteral("GetTabePrec"),
                                                      QStringLiteral("0001")},
                                   &out),
             0);
    QCOMPARE(ServerProcess::runCli(
                 call + QStringList{QStringLiteral("GetTabePrec"), QStringLiteral("0001")}, &out),
             1);
    QVERIFY2(out.contains(u"exige a chave de acesso"), qPrintable(out));
}

void TestServerProcess::killedMidWork_data()
{
    QTest::addColumn<bool>("postgres");
    QTest::newRow("sqlite") << false;
    QTest::newRow("postgresql") << true;
}

void TestServerProcess::killedMidWork()
{
    QFETCH(bool, postgres);
    if (postgres && qEnvironmentVariableIsEmpty("PRX_TEST_PG_URL"))
        QSKIP("PRX_TEST_PG_URL not set");
    Database db;
    QString error;
    QVERIFY2(db.create(postgres, &error), qPrintable(error));
    const QStringList args{QStringLiteral("--db"),      db.location(),
                           QStringLiteral("--listen"),  QStringLiteral("127.0.0.1:0"),
                           QStringLiteral("--workers"), QStringLiteral("2")};
    QProcessEnvironment stall;
    stall.insert(QStringLiteral("PRX_TEST_STALL_BEFORE_COMMIT"), QStringLiteral("1"));

    ServerProcess server;
    QVERIFY2(server.start(args), qPrintable(server.log()));
    const ServerResult periods =
        callOn(server.port(), QStringLiteral("GetTabeVend"), {"0001", "001"});
    QVERIFY2(periods.ok, qPrintable(periods.message));
    const DataPacketPtr p = periods.payload.value<DataPacketPtr>();
    const QDateTime start = p->value(0, p->indexOf(u"DTINIVGPREC")).toDateTime();
    int rows = 0;
    const QVariantList save = largeSave(server.port(), start, &rows);
    QVERIFY(rows > 100);
    const QVariantList remove = periodDelete(server.port());
    QVERIFY(!remove.isEmpty());
    server.stop();

    const struct
    {
        const char *method;
        const QVariantList &args;
    } works[] = {{"SetItemPreco", save}, {"SetTabeVend", remove}};
    for (const auto &work : works) {
        const QString method = QLatin1StringView(work.method);
        const QString before = stateOf(db.location());
        // Killed with every row written but nothing committed: none of it.
        QVERIFY2(server.start(args, stall), qPrintable(server.log()));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        QVERIFY(client.waitForConnected(10000));
        client.write(wire::encodeRequest({1, Obj, method, work.args}));
        QVERIFY(client.waitForBytesWritten(10000));
        QVERIFY2(server.waitForLog(QStringLiteral("commit pending"), 60000),
                 qPrintable(server.log()));
        server.kill();
        QVERIFY2(server.start(args), qPrintable(server.log()));
        QCOMPARE(stateOf(db.location()), before);
        QCOMPARE(integrityProblems(db.location()), QStringList());

        // Killed right after the answer: all of it.
        const ServerResult done = callOn(server.port(), method, work.args);
        QVERIFY2(done.ok, qPrintable(method + QStringLiteral(": ") + done.message));
        server.kill();
        QVERIFY2(server.start(args), qPrintable(server.log()));
        const QString after = stateOf(db.location());
        QVERIFY2(after != before, qPrintable(after));
        QCOMPARE(integrityProblems(db.location()), QStringList());
        server.kill();
    }
}

void TestServerProcess::twoServersOneDatabase()
{
    if (qEnvironmentVariableIsEmpty("PRX_TEST_PG_URL"))
        QSKIP("PRX_TEST_PG_URL not set");
    Database db;
    QString error;
    QVERIFY2(db.create(true, &error), qPrintable(error));
    ServerProcess one, two;
    for (ServerProcess *s : {&one, &two}) {
        QVERIFY2(s->start({QStringLiteral("--db"), db.location(), QStringLiteral("--listen"),
                           QStringLiteral("127.0.0.1:0"), QStringLiteral("--workers"),
                           QStringLiteral("2")}),
                 qPrintable(s->log()));
    }
    const ServerResult mine = callOn(one.port(), QStringLiteral("GetTabePrec"), {"0002"});
    const ServerResult theirs = callOn(two.port(), QStringLiteral("GetTabePrec"), {"0002"});
    QVERIFY(mine.ok && theirs.ok);
    const DataPacketPtr m = mine.payload.value<DataPacketPtr>();
    const DataPacketPtr t = theirs.payload.value<DataPacketPtr>();
    DeltaPacket other = deltaOf(*t);
    other.changes << updateOf(*t, 0, QStringLiteral("NMTABEPREC"),
                              QStringLiteral("Pelo servidor 2"));
    const ServerResult saved =
        callOn(two.port(), QStringLiteral("SetTabePrec"), {QVariant::fromValue(other)});
    QVERIFY2(saved.ok, qPrintable(saved.message));

    DeltaPacket d = deltaOf(*m);
    d.changes << updateOf(*m, 0, QStringLiteral("NMTABEPREC"), QStringLiteral("Pelo servidor 1"));
    const ServerResult refused =
        callOn(one.port(), QStringLiteral("SetTabePrec"), {QVariant::fromValue(d)});
    QVERIFY(!refused.ok);
    QCOMPARE(refused.code, int(ErrorConflict));
    const ServerResult now = callOn(one.port(), QStringLiteral("GetTabePrec"), {"0002"});
    const DataPacketPtr n = now.payload.value<DataPacketPtr>();
    QCOMPARE(n->value(0, n->indexOf(u"NMTABEPREC")).toString(), QStringLiteral("Pelo servidor 2"));
}

QTEST_GUILESS_MAIN(TestServerProcess)
#include "tst_serverprocess.moc"

// Rows read from the database as an answer is sent, a few at a time: texts
// come back exactly (accents, signs past the basic plane, a byte order mark,
// empty apart from null) and a date text means the same whether it repeats
// the row before or not, however the rows are split between the reads.
#include "ServerTestBase.h"

#include "storage/PacketReader.h"

using namespace prx;
using namespace prx::server;
using namespace prx::server::test;

namespace {

struct Row
{
    QString text;   // null: NULL
    QString date;   // as stored; null: NULL
    QDateTime read; // invalid: read as null
};

QString literal(const QString &value)
{
    if (value.isNull())
        return QStringLiteral("NULL");
    return QLatin1Char('\'') + QString(value).replace(QLatin1Char('\''), QStringLiteral("''")) +
           QLatin1Char('\'');
}

} // namespace

class TestPacketReader : public ServerTestBase
{
    Q_OBJECT
public:
    using ServerTestBase::ServerTestBase;

private slots:
    void rowsComeBackExactly_data();
    void rowsComeBackExactly();
};

void TestPacketReader::rowsComeBackExactly_data()
{
    QTest::addColumn<int>("perFetch");
    QTest::newRow("a row at a time") << 1;
    QTest::newRow("three at a time") << 3;
    QTest::newRow("all at once") << 1000;
}

void TestPacketReader::rowsComeBackExactly()
{
    QFETCH(int, perFetch);
    const QDateTime morning = wallClock(QDate(2026, 12, 7), QTime(10, 30));
    const QDateTime nextDay = wallClock(QDate(2026, 12, 8));
    QList<Row> rows = {
        {QStringLiteral("Preço à vista"), QStringLiteral("2026-12-07 10:30:00"), morning},
        {QStringLiteral("Pão 🍞 Ñandú"), QStringLiteral("2026-12-07 10:30:00"), morning},
        {QStringLiteral("\uFEFFmarca"), QStringLiteral("2026-12-08"), nextDay},
        {QStringLiteral(""), QStringLiteral("2026-12-07 10:30:00"), morning},
        {QString(), QStringLiteral("não é data"), {}},
        {QStringLiteral("ABC"), QString(), {}},
        {QStringLiteral("ç"), QStringLiteral("2026-02-30 00:00:00"), {}},
        {QStringLiteral("d'água"), QStringLiteral("2026-12-08"), nextDay},
        {QStringLiteral("x"), QStringLiteral("2026-12-08"), nextDay},
    };
    // Qt's PostgreSQL driver reads text with QString::fromUtf8, which drops a
    // byte order mark at the start; the SQLite reader must keep it.
    if (backend() == Backend::Postgres)
        rows.removeAt(2);
    storage().execDirect(
        QStringLiteral("CREATE TEMP TABLE PRLEITURA (N INTEGER, T VARCHAR(40), D VARCHAR(30))"));
    auto drop = qScopeGuard([&] { storage().execDirect(QStringLiteral("DROP TABLE PRLEITURA")); });
    for (int i = 0; i < rows.size(); ++i)
        storage().execDirect(QStringLiteral("INSERT INTO PRLEITURA (N, T, D) VALUES (%1, %2, %3)")
                                 .arg(i)
                                 .arg(literal(rows[i].text), literal(rows[i].date)));

    const QString sql = QStringLiteral("SELECT T, D FROM PRLEITURA ORDER BY N");
    const QString doing = QStringLiteral("ler");
    PacketReader reader({{"T", FieldType::String, 40}, {"D", FieldType::DateTime, 0}});
    auto check = [&](const DataPacket &p, int r, int at) {
        const Row &want = rows[at];
        QCOMPARE(p.isNull(r, 0), want.text.isNull());
        QCOMPARE(p.stringView(r, 0), QStringView(want.text));
        QCOMPARE(p.isNull(r, 1), !want.read.isValid());
        if (want.read.isValid())
            QCOMPARE(p.dateTimeMs(r, 1), want.read.toMSecsSinceEpoch());
    };

    const auto source = reader.stream(storage(), sql, {}, doing);
    DataPacket chunk(source->fields());
    chunk.setPlainLayout(true); // as the answer's writer reads them
    int at = 0;
    for (;;) {
        chunk.clear();
        const int read = source->fetch(chunk, perFetch);
        QVERIFY2(read >= 0, qPrintable(source->failure().message));
        QCOMPARE(chunk.rowCount(), read);
        if (read == 0)
            break;
        for (int r = 0; r < read && at < rows.size(); ++r, ++at) {
            check(chunk, r, at);
            if (QTest::currentTestFailed()) {
                qWarning("row %d", at);
                return;
            }
        }
    }
    QCOMPARE(at, int(rows.size()));

    const DataPacketPtr whole = reader.read(storage(), sql, {}, doing);
    QCOMPARE(whole->rowCount(), int(rows.size()));
    for (int r = 0; r < whole->rowCount(); ++r) {
        check(*whole, r, r);
        if (QTest::currentTestFailed()) {
            qWarning("row %d of the whole read", r);
            return;
        }
    }
}

PRX_SERVER_TEST_MAIN(TestPacketReader)
#include "tst_packetreader.moc"

// The demo and the bulk rows under it on PostgreSQL: the same seed must give
// the same rows as on SQLite (the tests and the screens of both rely on it),
// and rows sent in bulk must arrive exactly as given, or be refused as a
// statement would be.
#include "demo/DemoGenerator.h"
#include "storage/BulkCopy.h"
#include "storage/Schema.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"
#include "storage/Transaction.h"

#include "core/MethodRegistry.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

using namespace prx;
using namespace prx::server;

class TestDemo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    // Every table holds the same rows on both databases for the same seed,
    // those the demo completes with statements of its own included.
    void sameRowsOnBothDatabases_data();
    void sameRowsOnBothDatabases();
    // The demo loads without foreign keys on PostgreSQL; every one of them
    // must be back and checking afterwards.
    void foreignKeysAreBack();
    // Text with the bulk format's own characters, accents, nulls and
    // doubles with no short decimal form arrive exactly.
    void bulkRowsArriveExactly_data();
    void bulkRowsArriveExactly();
    // A duplicate key in bulk is refused with the statement's message and
    // leaves nothing behind.
    void bulkDuplicateIsRefused();

private:
    struct Table
    {
        qint64 rows = 0;
        QByteArray checksum;
    };
    static Table contents(Storage &db, const TableDef &table);

    QTemporaryDir m_dir;
    std::unique_ptr<Storage> m_sqlite, m_pg;
    QString m_schema;
};

// Each row as text, the lines sorted here rather than by the database: the
// two sort text by different collations.
TestDemo::Table TestDemo::contents(Storage &db, const TableDef &table)
{
    QStringList columns;
    for (const ColumnDef &c : table.columns)
        columns << (c.type == FieldType::DateTime ? db.dialect().selectDateTime(c.name) : c.name);
    QSqlQuery q =
        db.prepare(QStringLiteral("SELECT %1 FROM %2").arg(columns.join(u", "), table.name));
    db.exec(q, QStringLiteral("ler %1").arg(table.name));
    QStringList lines;
    while (q.next()) {
        QStringList values;
        for (int i = 0; i < table.columns.size(); ++i) {
            const QVariant v = q.value(i);
            if (v.isNull()) {
                values << QStringLiteral("<null>");
                continue;
            }
            switch (table.columns[i].type) {
            case FieldType::Float:
                values << QString::number(v.toDouble(), 'g', 17);
                break;
            case FieldType::Integer:
            case FieldType::Boolean:
                values << QString::number(v.toLongLong());
                break;
            default:
                values << v.toString();
            }
        }
        lines << values.join(u'\t');
    }
    lines.sort();
    return {lines.size(),
            QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha1).toHex()};
}

void TestDemo::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("PRX_TEST_PG_URL"))
        QSKIP("Compares with PostgreSQL: set PRX_TEST_PG_URL.");
    QUrl url(qEnvironmentVariable("PRX_TEST_PG_URL"));
    m_schema = QStringLiteral("prx_demo_%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QDateTime::currentMSecsSinceEpoch());
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("schema"), m_schema);
    url.setQuery(query);
    QString error;
    m_sqlite = Storage::open(m_dir.filePath(QStringLiteral("demo.sqlite")), &error);
    QVERIFY2(m_sqlite, qPrintable(error));
    m_pg = Storage::open(url.toString(), &error);
    QVERIFY2(m_pg, qPrintable(error));
    // Large enough for every kind of row the demo writes; the statements
    // that complete the costs run over what was sent in bulk before them.
    DemoOptions o;
    o.products = 2000;
    o.branches = 2;
    o.seed = 11;
    for (Storage *db : {m_sqlite.get(), m_pg.get()}) {
        db->createSchema();
        generateDemo(*db, o);
    }
}

void TestDemo::cleanupTestCase()
{
    if (m_pg)
        m_pg->execDirect(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
}

void TestDemo::sameRowsOnBothDatabases_data()
{
    QTest::addColumn<QString>("table");
    for (const TableDef &t : Schema::tables())
        QTest::newRow(qPrintable(t.name)) << t.name;
}

void TestDemo::sameRowsOnBothDatabases()
{
    QFETCH(QString, table);
    const Table a = contents(*m_sqlite, Schema::table(table));
    const Table b = contents(*m_pg, Schema::table(table));
    QCOMPARE(b.rows, a.rows);
    QCOMPARE(b.checksum, a.checksum);
}

void TestDemo::foreignKeysAreBack()
{
    Storage &db = *m_pg;
    qsizetype declared = 0;
    for (const TableDef &t : Schema::tables())
        declared += t.foreignKeys.size();
    QSqlQuery q = db.prepare(QStringLiteral(
        "SELECT COUNT(*) FROM PG_CONSTRAINT WHERE CONTYPE = 'f' AND CONVALIDATED AND "
        "CONNAMESPACE = (SELECT OID FROM PG_NAMESPACE WHERE NSPNAME = CURRENT_SCHEMA())"));
    db.exec(q, QStringLiteral("contar"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toLongLong(), qint64(declared));
    QVERIFY(declared > 0);
}

void TestDemo::bulkRowsArriveExactly_data()
{
    QTest::addColumn<QString>("name"); // NULL for a null
    QTest::addColumn<double>("amount");
    QTest::newRow("format characters") << "tab\there\\n\nnew line\r" << 0.1 + 0.2;
    QTest::newRow("quotes and accents") << "Pão 'de' \"queijo\" ção" << 1e-7;
    QTest::newRow("null and a long fraction") << QString() << 2.0 / 3.0;
    QTest::newRow("SQL-looking text") << "x'); DROP TABLE SEGMER; --" << 123456789.125;
}

void TestDemo::bulkRowsArriveExactly()
{
    QFETCH(QString, name);
    QFETCH(double, amount);
    Storage &db = *m_pg;
    db.execDirect(QStringLiteral("CREATE TEMP TABLE BULKT (CODE VARCHAR(10), NAME "
                                 "VARCHAR(60), AMOUNT DOUBLE PRECISION, N BIGINT)"));
    auto drop = qScopeGuard([&] { db.execDirect(QStringLiteral("DROP TABLE BULKT")); });
    BulkCopy copy(db, QStringLiteral("BULKT"),
                  {QStringLiteral("CODE"), QStringLiteral("NAME"), QStringLiteral("AMOUNT"),
                   QStringLiteral("N")},
                  QStringLiteral("testar"));
    for (int i = 0; i < 3; ++i) {
        copy.text(QString::number(i));
        if (name.isNull())
            copy.null();
        else
            copy.text(name);
        copy.real(amount * (i + 1));
        copy.integer(-(qint64(1) << 40) + i);
        copy.endRow();
    }
    QCOMPARE(copy.send(), qint64(3));
    QCOMPARE(copy.pendingRows(), qint64(0));
    QSqlQuery q = db.prepare(QStringLiteral("SELECT CODE, NAME, AMOUNT, N FROM BULKT ORDER BY N"));
    db.exec(q, QStringLiteral("ler"));
    for (int i = 0; i < 3; ++i) {
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QString::number(i));
        QCOMPARE(q.value(1).isNull(), name.isNull());
        QCOMPARE(q.value(1).toString(), name);
        // Bit for bit: QCOMPARE would forgive a last-digit change.
        QVERIFY2(q.value(2).toDouble() == amount * (i + 1), qPrintable(q.value(2).toString()));
        QCOMPARE(q.value(3).toLongLong(), -(qint64(1) << 40) + i);
    }
    QVERIFY(!q.next());
}

void TestDemo::bulkDuplicateIsRefused()
{
    Storage &db = *m_pg;
    const QVariant before = [&] {
        QSqlQuery q = db.prepare(QStringLiteral("SELECT COUNT(*) FROM SEGMER"));
        db.exec(q, QStringLiteral("contar"));
        return q.next() ? q.value(0) : QVariant();
    }();
    QString message;
    {
        Transaction tx(db);
        BulkCopy copy(db, QStringLiteral("SEGMER"),
                      {QStringLiteral("CDSEGMER"), QStringLiteral("NMSEGMER")},
                      QStringLiteral("testar"));
        copy.text(u"99999");
        copy.text(u"Novo");
        copy.endRow();
        copy.text(u"00001"); // the demo's own
        copy.text(u"Repetido");
        copy.endRow();
        try {
            copy.send();
        } catch (const ServerError &e) {
            message = e.message();
        }
    }
    QCOMPARE(message, QStringLiteral("Registro já cadastrado."));
    // The connection works again, and the good row went with the bad one.
    QSqlQuery q = db.prepare(QStringLiteral("SELECT COUNT(*) FROM SEGMER"));
    db.exec(q, QStringLiteral("contar"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0), before);
}

QTEST_GUILESS_MAIN(TestDemo)
#include "tst_demo.moc"

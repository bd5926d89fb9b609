#pragma once

#include "core/MethodRegistry.h"
#include "dataset/ColumnTable.h"
#include "dataset/DeltaPacket.h"
#include "demo/DemoGenerator.h"
#include "storage/Schema.h"
#include "storage/Storage.h"

#include <QHash>
#include <QObject>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace prx::server::test {

enum class Backend
{
    Sqlite,
    Postgres
};

// Base of the server test classes: each instance gets a fresh database on
// its backend (a temporary SQLite file, or a new PostgreSQL schema when
// PRX_TEST_PG_URL is set), created and filled by the demo generator with
// small fixed options, and calls methods in process through dispatch.
class ServerTestBase : public QObject
{
    Q_OBJECT
public:
    explicit ServerTestBase(Backend backend) : m_backend(backend) {}
    ~ServerTestBase() override;

    static DemoOptions fixtureOptions();
    static inline const QString kObject = QStringLiteral("Prx51700.rdmTabePreco");
    // Whether every test function of every server test class ends with the
    // consistency check of its database (see cleanup()).
    static constexpr bool kCheckConsistencyAfterEachTest = true;

protected slots:
    // Every test class starts from a fresh database of its backend, and the
    // database goes away after its last test.
    void initTestCase();
    void cleanupTestCase();
    // After every test function: nothing it stored may break a rule the
    // saves enforce (when kCheckConsistencyAfterEachTest is on).
    void cleanup();

protected:
    Backend backend() const { return m_backend; }
    Storage &storage() { return *m_storage; }
    // Another connection to the same database: another user.
    Storage &otherUser() { return *m_other; }
    QString location() const { return m_location; }

    // Fails the test, listing the findings, when the consistency check finds
    // anything in the test's database.
    void expectConsistent();

    Outcome call(const QString &method, const QVariantList &args);
    Outcome callOn(Storage &storage, const QString &method, const QVariantList &args);
    // The packet of a successful call; fails the test otherwise.
    DataPacketPtr read(const QString &method, const QVariantList &args);
    DataPacketPtr readOn(Storage &storage, const QString &method, const QVariantList &args);

    using Binds = QList<std::pair<QString, QVariant>>;
    // Independent reads for expectations: first column of every row.
    QVariantList column(const QString &sql, const Binds &binds = {});
    QVariant scalar(const QString &sql, const Binds &binds = {});

    // Until the guard goes out of scope (also when the test fails on the
    // way), the rows of `table` that `where` selects may be changed at will;
    // then they are put back as they are now: values restored, rows deleted
    // since inserted again, rows added since removed. For a test that plants
    // what the server would never store (a legacy third decimal, a tax rate
    // another module deleted): its database obeys every rule again when the
    // consistency check runs after it.
    using RowsKept = QScopeGuard<std::function<void()>>;
    [[nodiscard]] RowsKept keepRows(const QString &table, const QString &where,
                                    const Binds &binds = {});
    // The same for some columns only: the rows stay, those values go back
    // (what the test saved through the server in other columns stays).
    [[nodiscard]] RowsKept keepValues(const QString &table, const QStringList &columns,
                                      const QString &where, const Binds &binds = {});

    // The demo's dates.
    static QDateTime day(int offsetFromToday);
    // A product list as the searches write it: "_" + each code padded to 10.
    static QString productList(const QStringList &codes);
    // The products with a price of their own in the demo's period of branch
    // 0001, table 001 that the branch's segment sells, by tree code.
    QStringList ownPricedProducts();
    static QVariant value(const DataPacket &p, int row, const QString &field);
    static int findRow(const DataPacket &p, const QString &field, const QString &value);

    // Deltas as a dataset would send them.
    static DeltaPacket deltaOf(const DataPacket &p);
    static DeltaChange updateOf(const DataPacket &p, int row, const QVariantHash &changes);
    static DeltaChange deleteOf(const DataPacket &p, int row);
    static DeltaChange insertOf(const QList<FieldDef> &fields, const QVariantHash &values);
    static QVariant deltaArg(const DeltaPacket &delta) { return QVariant::fromValue(delta); }

private:
    QSqlQuery bound(const QString &sql, const Binds &binds);
    QList<QVariantList> rowsOf(const TableDef &table, const QString &where, const Binds &binds);
    // `only`: the columns to put back; empty: whole rows, added and
    // removed ones too.
    void restoreRows(const TableDef &table, const QString &where, const Binds &binds,
                     const QList<QVariantList> &kept, const QStringList &only);
    RowsKept keep(const QString &table, const QString &where, const Binds &binds,
                  const QStringList &only);
    // False, with the reason in *error, when the database cannot be set up.
    bool setUpDatabase(QString *error);
    void tearDownDatabase();

    Backend m_backend;
    QTemporaryDir m_dir;
    QString m_location;
    QString m_schema;
    std::unique_ptr<Storage> m_storage;
    std::unique_ptr<Storage> m_other;
    MethodRegistry m_registry;
};

// Runs the test class once per backend: SQLite always, PostgreSQL when
// PRX_TEST_PG_URL is set (then an unreachable server fails the run).
template <typename T> int runOnEveryBackend(int argc, char **argv)
{
    int status = 0;
    {
        T sqlite(Backend::Sqlite);
        status |= QTest::qExec(&sqlite, argc, argv);
    }
    if (!qEnvironmentVariableIsEmpty("PRX_TEST_PG_URL")) {
        T pg(Backend::Postgres);
        status |= QTest::qExec(&pg, argc, argv);
    }
    return status;
}

} // namespace prx::server::test

#define PRX_SERVER_TEST_MAIN(TestClass)                                                            \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        QCoreApplication app(argc, argv);                                                          \
        return prx::server::test::runOnEveryBackend<TestClass>(argc, argv);                        \
    }

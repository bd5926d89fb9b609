#include "ServerTestBase.h"

#include "methods/ConsistencyCheck.h"
#include "storage/SqlDialect.h"

#include <QCoreApplication>
#include <QSet>
#include <QSqlError>
#include <QUrl>
#include <QUrlQuery>

namespace prx::server::test {

ServerTestBase::~ServerTestBase() = default;

DemoOptions ServerTestBase::fixtureOptions()
{
    // Read once, so that a run going past midnight still agrees with the
    // dates the demo wrote.
    static const QDate today = QDate::currentDate();
    DemoOptions o;
    o.products = 60;
    o.branches = 3;
    o.seed = 7;
    o.today = today;
    return o;
}

void ServerTestBase::initTestCase()
{
    QString error;
    QVERIFY2(setUpDatabase(&error), qPrintable(error));
}

void ServerTestBase::cleanupTestCase()
{
    tearDownDatabase();
}

void ServerTestBase::cleanup()
{
    if (kCheckConsistencyAfterEachTest && m_storage)
        expectConsistent();
}

void ServerTestBase::expectConsistent()
{
    QList<Finding> findings;
    try {
        findings = checkConsistency(*m_storage);
    } catch (const ServerError &e) {
        QFAIL(qPrintable(QStringLiteral("verificação de consistência: ") + e.message()));
    }
    if (findings.isEmpty())
        return;
    // The first lines say what broke; the count says how much.
    constexpr int kShown = 40;
    QStringList lines;
    for (const Finding &f : findings.mid(0, kShown))
        lines << findingLine(f);
    if (findings.size() > kShown)
        lines << QStringLiteral("…");
    QFAIL(qPrintable(QStringLiteral("%1 inconsistência(s):\n").arg(findings.size()) +
                     lines.join(u'\n')));
}

bool ServerTestBase::setUpDatabase(QString *error)
{
    if (m_backend == Backend::Sqlite) {
        m_location = m_dir.filePath(QStringLiteral("prx.sqlite"));
    } else {
        QUrl url(qEnvironmentVariable("PRX_TEST_PG_URL"));
        static int serial = 0;
        m_schema = QStringLiteral("prx_t_%1_%2_%3")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QDateTime::currentMSecsSinceEpoch())
                       .arg(++serial);
        QUrlQuery query(url);
        query.addQueryItem(QStringLiteral("schema"), m_schema);
        url.setQuery(query);
        m_location = url.toString();
    }
    m_storage = Storage::open(m_location, error);
    if (!m_storage)
        return false;
    try {
        m_storage->createSchema();
        generateDemo(*m_storage, fixtureOptions());
    } catch (const ServerError &e) {
        *error = e.message();
        return false;
    }
    m_other = Storage::open(m_location, error);
    if (!m_other)
        return false;
    registerAllMethods(m_registry);
    return true;
}

void ServerTestBase::tearDownDatabase()
{
    m_other.reset();
    if (m_storage && !m_schema.isEmpty())
        m_storage->execDirect(QStringLiteral("DROP SCHEMA %1 CASCADE").arg(m_schema));
    m_storage.reset();
}

Outcome ServerTestBase::call(const QString &method, const QVariantList &args)
{
    return callOn(*m_storage, method, args);
}

Outcome ServerTestBase::callOn(Storage &storage, const QString &method, const QVariantList &args)
{
    Context context{storage};
    return dispatch(m_registry, context, kObject, method, args);
}

DataPacketPtr ServerTestBase::read(const QString &method, const QVariantList &args)
{
    return readOn(*m_storage, method, args);
}

DataPacketPtr ServerTestBase::readOn(Storage &storage, const QString &method,
                                     const QVariantList &args)
{
    const Outcome out = callOn(storage, method, args);
    if (!out.ok) {
        QTest::qFail(qPrintable(method + QStringLiteral(": ") + out.message), __FILE__, __LINE__);
        return std::make_shared<DataPacket>();
    }
    return out.payload.value<DataPacketPtr>();
}

QSqlQuery ServerTestBase::bound(const QString &sql, const Binds &binds)
{
    QSqlQuery q = m_storage->prepare(sql);
    for (const auto &[name, v] : binds) {
        q.bindValue(name, v.metaType().id() == QMetaType::QDateTime
                              ? SqlDialect::bindDateTime(v.toDateTime())
                              : v);
    }
    m_storage->exec(q, sql);
    return q;
}

QVariantList ServerTestBase::column(const QString &sql, const Binds &binds)
{
    QSqlQuery q = bound(sql, binds);
    QVariantList out;
    while (q.next())
        out << q.value(0);
    return out;
}

QVariant ServerTestBase::scalar(const QString &sql, const Binds &binds)
{
    return column(sql, binds).value(0);
}

QList<QVariantList> ServerTestBase::rowsOf(const TableDef &table, const QString &where,
                                           const Binds &binds)
{
    QStringList names;
    for (const ColumnDef &c : table.columns)
        names << c.name;
    QSqlQuery q = bound(QStringLiteral("SELECT %1 FROM %2 WHERE %3")
                            .arg(names.join(QStringLiteral(", ")), table.name, where),
                        binds);
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int c = 0; c < names.size(); ++c)
            row << q.value(c);
        rows << row;
    }
    return rows;
}

ServerTestBase::RowsKept ServerTestBase::keepRows(const QString &table, const QString &where,
                                                  const Binds &binds)
{
    return keep(table, where, binds, {});
}

ServerTestBase::RowsKept ServerTestBase::keepValues(const QString &table,
                                                    const QStringList &columns,
                                                    const QString &where, const Binds &binds)
{
    Q_ASSERT(!columns.isEmpty());
    return keep(table, where, binds, columns);
}

ServerTestBase::RowsKept ServerTestBase::keep(const QString &table, const QString &where,
                                              const Binds &binds, const QStringList &only)
{
    const TableDef &def = Schema::table(table);
    const QList<QVariantList> kept = rowsOf(def, where, binds);
    return RowsKept(std::function<void()>([this, &def, where, binds, kept, only] {
        try {
            restoreRows(def, where, binds, kept, only);
        } catch (const ServerError &e) {
            QTest::qFail(qPrintable(QStringLiteral("restaurar %1: %2").arg(def.name, e.message())),
                         __FILE__, __LINE__);
        }
    }));
}

void ServerTestBase::restoreRows(const TableDef &table, const QString &where, const Binds &binds,
                                 const QList<QVariantList> &kept, const QStringList &only)
{
    QList<int> key, rest;
    for (int c = 0; c < table.columns.size(); ++c) {
        const QString &name = table.column(c).name;
        if (table.isKey(name))
            key << c;
        else if (only.isEmpty() || only.contains(name, Qt::CaseInsensitive))
            rest << c;
    }
    // Values go back as they were read: on SQLite a date is the stored
    // text, so a key matches its row exactly.
    auto bindValue = [](QSqlQuery &q, const QString &name, const QVariant &v) {
        q.bindValue(name, v.metaType().id() == QMetaType::QDateTime
                              ? SqlDialect::bindDateTime(v.toDateTime())
                              : v);
    };
    auto keyText = [&](const QVariantList &row) {
        QStringList parts;
        for (int c : key)
            parts << row[c].toString();
        return parts.join(u'\x1f');
    };
    QStringList keyTerms, assignments, names, params;
    for (int c : key)
        keyTerms << QStringLiteral("%1 = :c%2").arg(table.column(c).name).arg(c);
    for (int c : rest)
        assignments << QStringLiteral("%1 = :c%2").arg(table.column(c).name).arg(c);
    for (int c = 0; c < table.columns.size(); ++c) {
        names << table.column(c).name;
        params << QStringLiteral(":c%1").arg(c);
    }
    const QString keyWhere = keyTerms.join(QStringLiteral(" AND "));

    QSet<QString> keptKeys;
    for (const QVariantList &row : kept)
        keptKeys.insert(keyText(row));
    const QList<QVariantList> now = only.isEmpty() ? rowsOf(table, where, binds) : kept;
    for (const QVariantList &row : now) {
        if (keptKeys.contains(keyText(row)))
            continue;
        const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2").arg(table.name, keyWhere);
        QSqlQuery q = m_storage->prepare(sql);
        for (int c : key)
            bindValue(q, QStringLiteral(":c%1").arg(c), row[c]);
        m_storage->exec(q, sql);
    }
    for (const QVariantList &row : kept) {
        if (!rest.isEmpty()) {
            const QString sql =
                QStringLiteral("UPDATE %1 SET %2 WHERE %3")
                    .arg(table.name, assignments.join(QStringLiteral(", ")), keyWhere);
            QSqlQuery q = m_storage->prepare(sql);
            for (int c : key + rest)
                bindValue(q, QStringLiteral(":c%1").arg(c), row[c]);
            m_storage->exec(q, sql);
            if (q.numRowsAffected() > 0 || !only.isEmpty())
                continue;
        }
        const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(table.name, names.join(QStringLiteral(", ")),
                                     params.join(QStringLiteral(", ")));
        QSqlQuery q = m_storage->prepare(sql);
        for (int c = 0; c < row.size(); ++c)
            bindValue(q, QStringLiteral(":c%1").arg(c), row[c]);
        m_storage->exec(q, sql);
    }
}

QDateTime ServerTestBase::day(int offsetFromToday)
{
    return wallClock(fixtureOptions().today.addDays(offsetFromToday));
}

QString ServerTestBase::productList(const QStringList &codes)
{
    QString text;
    for (const QString &c : codes)
        text += u'_' + c.leftJustified(10, u' ');
    return text;
}

QStringList ServerTestBase::ownPricedProducts()
{
    QStringList codes;
    for (const QVariant &v :
         column("SELECT I.CDPRODUTO FROM ITEMPRECO I JOIN PRODUTO P ON P.CDPRODUTO = I.CDPRODUTO "
                "WHERE I.CDFILIAL = '0001' AND I.CDTABEPREC = '001' AND I.DTINIVGPREC = :s AND "
                "I.CDPRPAITABPR = I.CDPRODUTO AND I.VRPRECITEM IS NOT NULL AND I.CDPRODUTO IN "
                "(SELECT S.CDPRODUTO FROM PRODSEGMER S JOIN FILIAL F ON F.CDSEGMER = S.CDSEGMER "
                "WHERE F.CDFILIAL = '0001') ORDER BY P.CDARVPROD",
                {{":s", day(-30)}}))
        codes << v.toString();
    return codes;
}

QVariant ServerTestBase::value(const DataPacket &p, int row, const QString &field)
{
    const int c = p.indexOf(field);
    if (c < 0)
        return QStringLiteral("<sem campo %1>").arg(field);
    return p.value(row, c);
}

int ServerTestBase::findRow(const DataPacket &p, const QString &field, const QString &value)
{
    const int c = p.indexOf(field);
    for (int r = 0; c >= 0 && r < p.rowCount(); ++r) {
        if (p.stringView(r, c) == value)
            return r;
    }
    return -1;
}

DeltaPacket ServerTestBase::deltaOf(const DataPacket &p)
{
    DeltaPacket d;
    d.fields = p.fields();
    return d;
}

DeltaChange ServerTestBase::updateOf(const DataPacket &p, int row, const QVariantHash &changes)
{
    DeltaChange c;
    c.kind = ChangeKind::Update;
    c.original = p.rowValues(row);
    c.current = c.original;
    for (auto it = changes.begin(); it != changes.end(); ++it)
        c.current[p.indexOf(it.key())] = it.value();
    return c;
}

DeltaChange ServerTestBase::deleteOf(const DataPacket &p, int row)
{
    DeltaChange c;
    c.kind = ChangeKind::Delete;
    c.original = p.rowValues(row);
    return c;
}

DeltaChange ServerTestBase::insertOf(const QList<FieldDef> &fields, const QVariantHash &values)
{
    DeltaChange c;
    c.kind = ChangeKind::Insert;
    for (const FieldDef &f : fields)
        c.current << values.value(f.name);
    return c;
}

} // namespace prx::server::test

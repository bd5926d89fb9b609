#include "ServerTestBase.h"

#include "methods/ConsistencyCheck.h"
#include "storage/SqlDialect.h"

#include <QCoreApplication>
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

QVariantList ServerTestBase::column(const QString &sql,
                                    const QList<std::pair<QString, QVariant>> &binds)
{
    QSqlQuery q = m_storage->prepare(sql);
    for (const auto &[name, v] : binds) {
        q.bindValue(name, v.metaType().id() == QMetaType::QDateTime
                              ? SqlDialect::bindDateTime(v.toDateTime())
                              : v);
    }
    m_storage->exec(q, sql);
    QVariantList out;
    while (q.next())
        out << q.value(0);
    return out;
}

QVariant ServerTestBase::scalar(const QString &sql,
                                const QList<std::pair<QString, QVariant>> &binds)
{
    return column(sql, binds).value(0);
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

#include "TestServer.h"

#include "storage/PacketReader.h"
#include "storage/SqlDialect.h"
#include "storage/Storage.h"
#include "transport/TransportServer.h"

#include <QEventLoop>
#include <QSqlQuery>

#include <future>
#include <stdexcept>

using namespace prx;
using namespace prx::server;

TestServer::TestServer(quint32 frameLimit)
{
    m_limits.frameBytes = frameLimit;
}

TestServer::TestServer(const TransportLimits &limits, const TransportAccess &access, int workers)
    : m_limits(limits), m_access(access), m_workers(workers)
{
}

TestServer::~TestServer()
{
    stop();
}

DataPacketPtr TestServer::rows(int count)
{
    auto packet = std::make_shared<DataPacket>(
        QList<FieldDef>{{QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                        {QStringLiteral("VRPRECO"), FieldType::Float, 0},
                        {QStringLiteral("DTINIVGPREC"), FieldType::DateTime, 0}});
    packet->reserve(count);
    for (int r = 0; r < count; ++r) {
        packet->appendRow();
        packet->setString(r, 0, QString::number(r).rightJustified(10, QLatin1Char('0')));
        packet->setReal(r, 1, r * 0.25);
        if (r % 7 != 0)
            packet->setDateTime(r, 2, wallClock(QDate(2026, 2, 1).addDays(r % 400)));
    }
    return packet;
}

namespace {

// Counts up to :count; the price of row :failAt cannot be computed, so the
// statement fails there, after the rows before it were read.
QString countingSql(const Storage &storage)
{
    return QStringLiteral(
               "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < :count) "
               "SELECT CAST(x AS VARCHAR(10)), CASE WHEN x = :failAt THEN %1 ELSE x * 0.25 END, "
               "CASE WHEN x % 7 = 0 THEN NULL ELSE 'Produto ' || CAST(x AS VARCHAR(10)) END "
               "FROM n")
        .arg(storage.dialect().isSqlite() ? QStringLiteral("abs(-9223372036854775807 - 1 + x - x)")
                                          : QStringLiteral("1 / (x - x)"));
}

PacketReader countingReader()
{
    return PacketReader({{QStringLiteral("CDPRODUTO"), FieldType::String, 10},
                         {QStringLiteral("VRPRECO"), FieldType::Float, 0},
                         {QStringLiteral("NMPRODUTO"), FieldType::String, 40}});
}

QList<std::pair<QString, QVariant>> countingBinds(const QVariantList &a)
{
    return {{QStringLiteral(":count"), a[0].toLongLong()},
            {QStringLiteral(":failAt"), a.size() > 1 ? a[1].toLongLong() : qint64(0)}};
}

} // namespace

void TestServer::addTestMethods(MethodRegistry &registry)
{
    const QString object = QLatin1StringView(Object);
    registry.add(object, {QStringLiteral("Echo"),
                          {ArgType::Any},
                          [](Context &, const QVariantList &a) { return a[0]; }});
    registry.add(object, {QStringLiteral("Concat"),
                          {ArgType::String, ArgType::Integer},
                          [](Context &, const QVariantList &a) {
                              return QVariant(a[0].toString() + QString::number(a[1].toLongLong()));
                          }});
    registry.add(object, {QStringLiteral("Fail"),
                          {ArgType::String},
                          [](Context &, const QVariantList &a) -> QVariant {
                              throw ServerError(a[0].toString(), ErrorMethod);
                          }});
    registry.add(object,
                 {QStringLiteral("Crash"), {}, [](Context &, const QVariantList &) -> QVariant {
                      throw std::runtime_error("falha inesperada");
                  }});
    registry.add(
        object, {QStringLiteral("Sleep"), {ArgType::Integer}, [](Context &, const QVariantList &a) {
                     QThread::msleep(ulong(a[0].toLongLong()));
                     return QVariant(true);
                 }});
    registry.add(object,
                 {QStringLiteral("Rows"), {ArgType::Integer}, [](Context &, const QVariantList &a) {
                      return QVariant::fromValue(rows(int(a[0].toLongLong())));
                  }});
    registry.add(object, {QStringLiteral("Unsendable"), {}, [](Context &, const QVariantList &) {
                              return QVariant(QVariantMap{{QStringLiteral("a"), 1}});
                          }});
    registry.add(object, {QStringLiteral("Spin"), {}, [](Context &c, const QVariantList &) {
                              QSqlQuery q = c.storage.prepare(QStringLiteral(
                                  "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n) "
                                  "SELECT COUNT(*) FROM n"));
                              c.storage.exec(q, QStringLiteral("contar sem fim"));
                              return QVariant(true);
                          }});
    registry.add(object, {QStringLiteral("Worker"), {}, [](Context &c, const QVariantList &) {
                              return QVariant(c.storage.connectionName());
                          }});
    registry.add(object, {QStringLiteral("StreamRows"),
                          {ArgType::Integer, ArgType::Integer},
                          [](Context &c, const QVariantList &a) {
                              return QVariant::fromValue(countingReader().stream(
                                  c.storage, countingSql(c.storage), countingBinds(a),
                                  QStringLiteral("contar")));
                          }});
    registry.add(
        object,
        {QStringLiteral("ReadRows"), {ArgType::Integer}, [](Context &c, const QVariantList &a) {
             return QVariant::fromValue(countingReader().read(
                 c.storage, countingSql(c.storage), countingBinds(a), QStringLiteral("contar")));
         }});
}

WorkerPool::OpenContext TestServer::memoryContexts()
{
    return databaseContexts(QStringLiteral(":memory:"));
}

WorkerPool::OpenContext TestServer::databaseContexts(const QString &location)
{
    return [location](QString *why) -> std::shared_ptr<Context> {
        std::shared_ptr<Storage> s = Storage::open(location, why);
        if (!s)
            return nullptr;
        return std::shared_ptr<Context>(new Context{*s}, [s](Context *c) mutable {
            delete c;
            s.reset();
        });
    };
}

bool TestServer::start(quint16 port)
{
    stop();
    std::promise<quint16> ready;
    std::future<quint16> listening = ready.get_future();
    m_thread = QThread::create([this, port, &ready] {
        MethodRegistry registry;
        addTestMethods(registry);
        TransportServer server(registry);
        server.setQuiet(true);
        server.setLimits(m_limits);
        server.setAccess(m_access);
        server.setRefusalDelay(200);
        QString error;
        const bool ok = server.startWorkers(m_workers,
                                            m_database.isEmpty() ? memoryContexts()
                                                                 : databaseContexts(m_database),
                                            &error) &&
                        server.listen(QHostAddress::LocalHost, port);
        ready.set_value(ok ? server.serverPort() : 0);
        if (!ok)
            return;
        // QThread::quit() ends this loop, also when it comes before exec().
        QEventLoop loop;
        loop.exec();
    });
    m_thread->start();
    m_port = listening.get();
    return m_port != 0;
}

void TestServer::stop()
{
    if (!m_thread)
        return;
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
}

#include "TestServer.h"

#include "storage/Storage.h"
#include "transport/TransportServer.h"

#include <QEventLoop>

#include <future>
#include <stdexcept>

using namespace prx;
using namespace prx::server;

namespace {

// The test methods never touch the database, but a context needs one: an
// empty SQLite database in memory.
Context &unusedContext()
{
    static std::unique_ptr<Storage> storage = [] {
        QString error;
        auto opened = Storage::open(QStringLiteral(":memory:"), &error);
        if (!opened)
            throw std::runtime_error(error.toStdString());
        return opened;
    }();
    static Context context{*storage};
    return context;
}

} // namespace

TestServer::TestServer(quint32 frameLimit) : m_frameLimit(frameLimit) {}

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
}

bool TestServer::start(quint16 port)
{
    stop();
    std::promise<quint16> ready;
    std::future<quint16> listening = ready.get_future();
    const quint32 limit = m_frameLimit;
    m_thread = QThread::create([port, limit, &ready] {
        MethodRegistry registry;
        addTestMethods(registry);
        TransportServer server(registry, unusedContext());
        server.setQuiet(true);
        server.setFrameLimit(limit);
        const bool ok = server.listen(QHostAddress::LocalHost, port);
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

#pragma once

#include "core/MethodRegistry.h"
#include "net/Wire.h"
#include "transport/TransportServer.h"

#include <QThread>

// A transport server with a few test methods, run on a thread of its own so
// that a blocking client (or a method that sleeps) does not stall it. Methods
// of the object "Teste.rdmEco":
//   Echo(any) -> the argument          Concat(text, integer) -> text
//   Fail(text) -> ServerError(text)    Crash() -> std::runtime_error
//   Sleep(integer ms) -> true          Rows(integer n) -> packet of n rows
//   Unsendable() -> a value the wire cannot carry
//   Spin() -> a SQL statement that never ends by itself (for the call limit)
//   Worker() -> the name of the database connection of the worker that ran it
//   StreamRows(integer n, integer failAt) -> n rows of a SQL statement, read
//       while they are sent; failAt > 0: the statement fails at that row
//   ReadRows(integer n) -> the same n rows read whole before the answer
class TestServer
{
public:
    static constexpr const char *Object = "Teste.rdmEco";

    explicit TestServer(quint32 frameLimit = prx::wire::MaxFrameBytes);
    TestServer(const prx::server::TransportLimits &limits,
               const prx::server::TransportAccess &access = {}, int workers = 4);
    ~TestServer();

    // Listens on loopback (port 0: any free port); false when it cannot.
    bool start(quint16 port = 0);
    void stop();
    quint16 port() const { return m_port; }

    static void addTestMethods(prx::server::MethodRegistry &registry);
    // Opens each worker a database of its own, empty and in memory: the
    // test methods touch no tables.
    static prx::server::WorkerPool::OpenContext memoryContexts();
    static prx::server::WorkerPool::OpenContext databaseContexts(const QString &location);
    // Each worker connects to this database instead (a PostgreSQL URL).
    void setDatabase(const QString &location) { m_database = location; }
    static prx::DataPacketPtr rows(int count);

private:
    prx::server::TransportLimits m_limits;
    prx::server::TransportAccess m_access;
    int m_workers = 4;
    QString m_database;          // empty: in memory
    QThread *m_thread = nullptr; // owned
    quint16 m_port = 0;
};

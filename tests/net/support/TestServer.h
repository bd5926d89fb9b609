#pragma once

#include "core/MethodRegistry.h"
#include "net/Wire.h"

#include <QThread>

// A transport server with a few test methods, run on a thread of its own so
// that a blocking client (or a method that sleeps) does not stall it. Methods
// of the object "Teste.rdmEco":
//   Echo(any) -> the argument          Concat(text, integer) -> text
//   Fail(text) -> ServerError(text)    Crash() -> std::runtime_error
//   Sleep(integer ms) -> true          Rows(integer n) -> packet of n rows
//   Unsendable() -> a value the wire cannot carry
class TestServer
{
public:
    static constexpr const char *Object = "Teste.rdmEco";

    explicit TestServer(quint32 frameLimit = prx::wire::MaxFrameBytes);
    ~TestServer();

    // Listens on loopback (port 0: any free port); false when it cannot.
    bool start(quint16 port = 0);
    void stop();
    quint16 port() const { return m_port; }

    static void addTestMethods(prx::server::MethodRegistry &registry);
    static prx::DataPacketPtr rows(int count);

private:
    quint32 m_frameLimit;
    QThread *m_thread = nullptr; // owned
    quint16 m_port = 0;
};

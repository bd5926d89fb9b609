#pragma once

#include "net/Wire.h"

#include <QTcpSocket>

// A blocking client that sends whatever bytes a test wants, for the cases a
// well-behaved connection never produces.
class RawClient
{
public:
    bool connectTo(quint16 port);
    void send(const QByteArray &bytes);
    void abort() { m_socket.abort(); }

    // Waits for the next answer; false on timeout, on close or on a bad frame.
    bool answer(prx::wire::Answer *out, int timeoutMs = 5000);
    // Sends one request and waits for its answer.
    prx::wire::Answer call(const QString &object, const QString &method, const QVariantList &args);
    // Whether the server closes this connection within the time.
    bool closedByServer(int timeoutMs = 5000);

private:
    QTcpSocket m_socket;
    QByteArray m_buffer;
    qint64 m_nextId = 100;
};

#pragma once

#include "core/MethodRegistry.h"
#include "net/Wire.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class QTcpSocket;

namespace prx::server {

// Serves framed calls over TCP on the thread it lives in. Every connection has
// its own input buffer; each complete frame is decoded, dispatched through the
// registry and answered in order. A frame that is not a request gets an error
// answer when its id can be read; one that cannot even say its id, or one over
// the size limit, closes that connection only. A client that leaves mid-frame
// or mid-call costs nothing: the others go on being served.
class TransportServer : public QObject
{
    Q_OBJECT

public:
    TransportServer(const MethodRegistry &registry, Context &context, QObject *parent = nullptr);
    ~TransportServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    void close(); // stops listening and drops every connection
    QHostAddress serverAddress() const { return m_listener.serverAddress(); }
    quint16 serverPort() const { return m_listener.serverPort(); }
    QString errorString() const { return m_listener.errorString(); }

    // Quiet: no log line per call (for tests).
    void setQuiet(bool quiet) { m_quiet = quiet; }
    void setFrameLimit(quint32 bytes) { m_frameLimit = bytes; }
    int connectionCount() const { return int(m_buffers.size()); }

private:
    void acceptPending();
    void readFrom(QTcpSocket *socket);
    void serve(QTcpSocket *socket, const QByteArray &body);
    void send(QTcpSocket *socket, const wire::Answer &answer);
    void drop(QTcpSocket *socket, const QString &reason);
    void forget(QTcpSocket *socket);
    void log(const QTcpSocket *socket, const QString &text) const;

    QTcpServer m_listener;
    const MethodRegistry &m_registry;
    Context &m_context;
    QHash<QTcpSocket *, QByteArray> m_buffers; // sockets owned by m_listener
    bool m_quiet = false;
    quint32 m_frameLimit = wire::MaxFrameBytes;
};

} // namespace prx::server

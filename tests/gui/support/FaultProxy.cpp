#include "FaultProxy.h"

#include "net/Wire.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <memory>

namespace prx::test {

FaultProxy::FaultProxy(QObject *parent) : QObject(parent), m_listener(new QTcpServer(this))
{
    connect(m_listener, &QTcpServer::newConnection, this, &FaultProxy::accept);
}

FaultProxy::~FaultProxy() = default;

bool FaultProxy::start(const QString &host, quint16 port)
{
    m_host = host;
    m_upstreamPort = port;
    return m_listener->listen(QHostAddress::LocalHost, 0);
}

quint16 FaultProxy::port() const
{
    return m_listener->serverPort();
}

void FaultProxy::failMethod(const QString &method, const QString &message)
{
    m_failures.insert(method, message);
}

void FaultProxy::accept()
{
    while (QTcpSocket *client = m_listener->nextPendingConnection()) {
        auto *upstream = new QTcpSocket(client);
        upstream->connectToHost(m_host, m_upstreamPort);
        if (!upstream->waitForConnected(5000)) {
            client->close();
            client->deleteLater();
            continue;
        }
        // Bytes of a frame not complete yet; freed with the connection.
        auto pending = std::make_shared<QByteArray>();
        connect(upstream, &QTcpSocket::readyRead, client,
                [client, upstream] { client->write(upstream->readAll()); });
        connect(upstream, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QTcpSocket::readyRead, this, [this, client, upstream, pending] {
            pending->append(client->readAll());
            QByteArray body;
            while (wire::takeFrame(*pending, &body) == wire::FrameStatus::Ready) {
                wire::Request request;
                QString error;
                const bool read = wire::decodeRequest(body, &request, &error);
                if (read) {
                    ++m_calls[request.method];
                    m_order.append(request.method);
                    m_lastArgs.insert(request.method, request.args);
                }
                if (read && m_failures.contains(request.method)) {
                    wire::Answer answer;
                    answer.id = request.id;
                    answer.ok = false;
                    answer.errorCode = 500;
                    answer.errorMessage = m_failures.value(request.method);
                    client->write(wire::encodeAnswer(answer));
                    continue;
                }
                QByteArray frame(4, Qt::Uninitialized);
                qToBigEndian<quint32>(quint32(body.size()), frame.data());
                upstream->write(frame + body);
            }
        });
    }
}

} // namespace prx::test

#include "RawClient.h"

#include <QElapsedTimer>

using namespace prx;

bool RawClient::connectTo(quint16 port)
{
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    return m_socket.waitForConnected(5000);
}

void RawClient::send(const QByteArray &bytes)
{
    m_socket.write(bytes);
    m_socket.waitForBytesWritten(5000);
}

bool RawClient::answer(wire::Answer *out, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    QByteArray body;
    for (;;) {
        switch (wire::takeFrame(m_buffer, &body)) {
        case wire::FrameStatus::Ready: {
            QString error;
            return wire::decodeAnswer(body, out, &error);
        }
        case wire::FrameStatus::TooLarge:
            return false;
        case wire::FrameStatus::Incomplete:
            break;
        }
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0 || !m_socket.waitForReadyRead(int(left)))
            return false;
        m_buffer.append(m_socket.readAll());
    }
}

wire::Answer RawClient::call(const QString &object, const QString &method, const QVariantList &args)
{
    wire::Request request{++m_nextId, object, method, args};
    send(wire::encodeRequest(request));
    wire::Answer a;
    a.errorMessage = QStringLiteral("<no answer>");
    if (!answer(&a))
        a.ok = false;
    return a;
}

bool RawClient::closedByServer(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (m_socket.state() == QAbstractSocket::ConnectedState) {
        const qint64 left = timeoutMs - timer.elapsed();
        if (left <= 0)
            return false;
        if (m_socket.waitForReadyRead(int(left)))
            m_buffer.append(m_socket.readAll());
    }
    return true;
}

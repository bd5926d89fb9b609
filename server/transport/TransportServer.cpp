#include "transport/TransportServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <cstdio>

namespace prx::server {

TransportServer::TransportServer(const MethodRegistry &registry, Context &context, QObject *parent)
    : QObject(parent), m_registry(registry), m_context(context)
{
    connect(&m_listener, &QTcpServer::newConnection, this, &TransportServer::acceptPending);
}

TransportServer::~TransportServer()
{
    close();
}

bool TransportServer::listen(const QHostAddress &address, quint16 port)
{
    return m_listener.listen(address, port);
}

void TransportServer::close()
{
    m_listener.close();
    const QList<QTcpSocket *> sockets = m_buffers.keys();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_buffers.clear();
}

void TransportServer::log(const QTcpSocket *socket, const QString &text) const
{
    if (m_quiet)
        return;
    const QString line =
        QStringLiteral("%1 %2:%3 %4\n")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                 socket->peerAddress().toString())
            .arg(socket->peerPort())
            .arg(text);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void TransportServer::acceptPending()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_buffers.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { forget(socket); });
    }
}

void TransportServer::forget(QTcpSocket *socket)
{
    if (m_buffers.remove(socket)) {
        socket->disconnect(this);
        socket->deleteLater();
    }
}

void TransportServer::drop(QTcpSocket *socket, const QString &reason)
{
    log(socket, QStringLiteral("conexão encerrada: %1").arg(reason));
    forget(socket);
    socket->abort();
}

void TransportServer::readFrom(QTcpSocket *socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it->append(socket->readAll());
    QByteArray body;
    for (;;) {
        it = m_buffers.find(socket); // serve() may have dropped the connection
        if (it == m_buffers.end())
            return;
        switch (wire::takeFrame(*it, &body, m_frameLimit)) {
        case wire::FrameStatus::Incomplete:
            return;
        case wire::FrameStatus::TooLarge:
            drop(socket,
                 QStringLiteral("mensagem maior que o limite de %1 bytes").arg(m_frameLimit));
            return;
        case wire::FrameStatus::Ready:
            serve(socket, body);
            break;
        }
    }
}

void TransportServer::serve(QTcpSocket *socket, const QByteArray &body)
{
    wire::Request request;
    QString error;
    bool idRead = false;
    if (!wire::decodeRequest(body, &request, &error, &idRead)) {
        if (!idRead) {
            drop(socket, error);
            return;
        }
        wire::Answer answer;
        answer.id = request.id;
        answer.errorCode = ErrorBadFrame;
        answer.errorMessage = error;
        send(socket, answer);
        log(socket, QStringLiteral("pedido %1 recusado: %2").arg(request.id).arg(error));
        return;
    }

    QElapsedTimer timer;
    timer.start();
    Outcome outcome = dispatch(m_registry, m_context, request.object, request.method, request.args);
    wire::Answer answer;
    answer.id = request.id;
    answer.ok = outcome.ok;
    answer.errorCode = outcome.code;
    answer.errorMessage = outcome.message;
    if (outcome.ok) {
        // A payload that cannot travel must not reach the client as a null.
        QString why;
        if (wire::isWritable(outcome.payload, &why)) {
            answer.payload = std::move(outcome.payload);
        } else {
            answer.ok = false;
            answer.errorCode = ErrorInternal;
            answer.errorMessage =
                QStringLiteral(
                    "Erro interno do servidor: a resposta de %1 não pode ser enviada (%2).")
                    .arg(request.method, why);
        }
    }
    send(socket, answer);
    log(socket, QStringLiteral("%1.%2 %3 ms %4")
                    .arg(request.object, request.method)
                    .arg(double(timer.nsecsElapsed()) / 1e6, 0, 'f', 1)
                    .arg(answer.ok ? QStringLiteral("ok")
                                   : QStringLiteral("erro %1: %2")
                                         .arg(answer.errorCode)
                                         .arg(answer.errorMessage)));
}

void TransportServer::send(QTcpSocket *socket, const wire::Answer &answer)
{
    QByteArray frame = wire::encodeAnswer(answer);
    if (frame.isEmpty()) {
        wire::Answer tooLarge;
        tooLarge.id = answer.id;
        tooLarge.errorCode = ErrorInternal;
        tooLarge.errorMessage = QStringLiteral("A resposta passa do tamanho máximo de uma mensagem "
                                               "(%1 MB); restrinja a consulta.")
                                    .arg(wire::MaxFrameBytes / (1024 * 1024));
        frame = wire::encodeAnswer(tooLarge);
    }
    // The caller may have gone while the method ran; its answer is then
    // simply not sent.
    if (socket->state() == QAbstractSocket::ConnectedState)
        socket->write(frame);
}

} // namespace prx::server

#include "transport/TransportServer.h"

#include "core/CallDeadline.h"
#include "net/AccessKey.h"
#include "transport/CallRunner.h"

#include <QDateTime>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdio>
#include <sys/socket.h>

namespace prx::server {

namespace {

// A client has this long to answer the access challenge.
constexpr int ChallengeSeconds = 10;
// Bytes Qt buffers for a client whose call is still running: past that, TCP
// itself holds the client back.
constexpr qint64 SocketBufferBytes = 1024 * 1024;

QString addressOf(const QTcpSocket *socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

} // namespace

TransportServer::TransportServer(const MethodRegistry &registry, QObject *parent)
    : QObject(parent), m_registry(registry)
{
    m_sweep.setInterval(1000);
    connect(&m_sweep, &QTimer::timeout, this, &TransportServer::sweep);
}

TransportServer::~TransportServer()
{
    close();
}

bool TransportServer::startWorkers(int count, const WorkerPool::OpenContext &open, QString *error,
                                   int shortCount)
{
    return m_pool.start(count, open, error, shortCount);
}

bool TransportServer::listen(const QHostAddress &address, quint16 port)
{
    if (m_access.usesTls()) {
        auto tls = std::make_unique<QSslServer>();
        tls->setSslConfiguration(m_access.tls);
        // A failed handshake ends that connection inside QSslServer; it is
        // logged here so that probing shows in the log.
        connect(tls.get(), &QSslServer::errorOccurred, this,
                [this](QSslSocket *socket, QAbstractSocket::SocketError) {
                    log(addressOf(socket),
                        QStringLiteral("conexão TLS recusada: %1").arg(socket->errorString()));
                });
        connect(tls.get(), &QSslServer::pendingConnectionAvailable, this,
                &TransportServer::acceptPending);
        m_listener = std::move(tls);
    } else {
        m_listener = std::make_unique<QTcpServer>();
    }
    connect(m_listener.get(), &QTcpServer::newConnection, this, &TransportServer::acceptPending);
    if (!m_listener->listen(address, port))
        return false;
    m_sweep.start();
    return true;
}

QHostAddress TransportServer::serverAddress() const
{
    return m_listener ? m_listener->serverAddress() : QHostAddress();
}

quint16 TransportServer::serverPort() const
{
    return m_listener ? m_listener->serverPort() : 0;
}

QString TransportServer::errorString() const
{
    return m_listener ? m_listener->errorString() : QString();
}

void TransportServer::close()
{
    m_sweep.stop();
    if (m_listener)
        m_listener->close();
    const QList<quint64> ids = m_peers.keys();
    for (quint64 id : ids) {
        QTcpSocket *socket = m_peers.value(id).socket;
        forget(id);
        socket->abort();
    }
    // Calls still running are cancelled at their next statement; their
    // answers would have nobody to go to.
    m_pool.stop();
    m_sender.stop();
}

void TransportServer::log(const QString &address, const QString &text) const
{
    if (m_quiet)
        return;
    const QString line =
        QStringLiteral("%1 %2 %3\n")
            .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")),
                 address, text);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

void TransportServer::acceptPending()
{
    while (QTcpSocket *socket = m_listener->nextPendingConnection()) {
        if (m_limits.maxConnections > 0 && m_peers.size() >= m_limits.maxConnections) {
            turnAway(socket, QStringLiteral("O servidor de aplicação atingiu o limite de %1 "
                                            "conexões; tente novamente em instantes.")
                                 .arg(m_limits.maxConnections));
            continue;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket->setReadBufferSize(SocketBufferBytes);
        const quint64 id = m_nextId++;
        Peer peer;
        peer.socket = socket;
        peer.address = addressOf(socket);
        peer.quietFor.start();
        if (!m_access.key.isEmpty()) {
            peer.state = State::Challenged;
            peer.challenge = access::newNonce();
            socket->write(access::challengeFrame(peer.challenge));
        }
        m_peers.insert(id, peer);
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { forget(id); });
    }
}

void TransportServer::turnAway(QTcpSocket *socket, const QString &message)
{
    log(addressOf(socket), QStringLiteral("conexão recusada: limite de conexões"));
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A client that never reads must not keep the socket open.
    QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
    socket->write(noticeFrame(ErrorLimit, message));
    socket->disconnectFromHost();
}

void TransportServer::forget(quint64 id)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end())
        return;
    QTcpSocket *socket = it->socket;
    if (it->stream)
        it->stream->cancel(); // frees the thread encoding its pieces
    m_peers.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
}

void TransportServer::drop(quint64 id, const QString &reason)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end())
        return;
    log(it->address, QStringLiteral("conexão encerrada: %1").arg(reason));
    QTcpSocket *socket = it->socket;
    forget(id);
    socket->abort();
}

void TransportServer::closeWith(quint64 id, int code, const QString &message, int delayMs)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end())
        return;
    it->state = State::Closing;
    auto send = [this, id, code, message] {
        const auto peer = m_peers.find(id);
        if (peer == m_peers.end())
            return;
        QTcpSocket *socket = peer->socket;
        QTimer::singleShot(5000, socket, [socket] { socket->abort(); });
        socket->write(noticeFrame(code, message));
        // Closing a socket that still has unread input makes the system
        // reset it, and the notice may be lost with the reset. So only the
        // sending side is closed once the notice is out; what the client
        // still sends is read and dropped until it hangs up (or the timer).
        auto *ssl = qobject_cast<QSslSocket *>(socket);
        if (ssl && ssl->isEncrypted()) {
            socket->disconnectFromHost();
            return;
        }
        auto shutDown = [socket] {
            if (socket->bytesToWrite() == 0)
                ::shutdown(int(socket->socketDescriptor()), SHUT_WR);
        };
        connect(socket, &QTcpSocket::bytesWritten, socket, shutDown);
        socket->flush();
        shutDown();
    };
    if (delayMs > 0)
        QTimer::singleShot(delayMs, this, send);
    else
        send();
}

void TransportServer::readFrom(quint64 id)
{
    auto it = m_peers.find(id);
    if (it == m_peers.end() || it->busy)
        return;
    if (it->state == State::Closing) {
        it->socket->readAll(); // dropped: see closeWith
        it->buffer.clear();
        return;
    }
    it->buffer.append(it->socket->readAll());
    it->quietFor.restart();
    QByteArray body;
    while (it != m_peers.end() && !it->busy && it->state != State::Closing) {
        const bool challenged = it->state == State::Challenged;
        const quint32 limit = challenged ? access::HandshakeFrameLimit : m_limits.frameBytes;
        switch (wire::takeFrame(it->buffer, &body, limit)) {
        case wire::FrameStatus::Incomplete:
            return;
        case wire::FrameStatus::TooLarge:
            if (challenged) {
                log(it->address, QStringLiteral("acesso recusado: mensagem grande antes da "
                                                "prova da chave"));
                closeWith(id, ErrorAccess,
                          QStringLiteral("Acesso ao servidor de aplicação "
                                         "recusado."),
                          m_refusalDelayMs);
            } else {
                log(it->address, QStringLiteral("conexão encerrada: mensagem maior que o "
                                                "limite de %1 bytes")
                                     .arg(m_limits.frameBytes));
                closeWith(id, ErrorLimit,
                          QStringLiteral("A mensagem passa do limite de %1 bytes do servidor de "
                                         "aplicação; envie menos dados por chamada.")
                              .arg(m_limits.frameBytes));
            }
            return;
        case wire::FrameStatus::Ready:
            if (challenged)
                checkAnswer(id, *it, body);
            else
                startCall(id, *it, std::move(body));
            break;
        }
        it = m_peers.find(id);
    }
}

void TransportServer::checkAnswer(quint64 id, Peer &peer, const QByteArray &body)
{
    QByteArray answer;
    QByteArray nonce;
    if (access::readAnswer(body, &answer, &nonce) &&
        access::sameBytes(answer, access::clientAnswer(m_access.key, peer.challenge, nonce))) {
        peer.socket->write(
            access::proofFrame(access::serverProof(m_access.key, peer.challenge, nonce)));
        peer.state = State::Serving;
        peer.challenge.clear();
        return;
    }
    log(peer.address, QStringLiteral("acesso recusado: a prova da chave de acesso não confere"));
    closeWith(id, ErrorAccess,
              QStringLiteral("Acesso ao servidor de aplicação recusado: a chave de acesso não "
                             "confere."),
              m_refusalDelayMs);
}

void TransportServer::startCall(quint64 id, Peer &peer, QByteArray body)
{
    peer.busy = true;
    const int callSeconds = m_limits.callSeconds;
    const MethodRegistry &registry = m_registry;
    // Read before the body moves into the job. Only this client's next frame
    // waits for the answer (busy above), so its calls stay in order whatever
    // lane each one takes.
    const WorkerPool::Lane lane = m_lanes.laneOf(body);
    const int stall = stallMs();
    m_pool.post(
        [this, id, &registry, callSeconds, stall, body = std::move(body)](Context &context) {
            // Rows read as they are sent keep this worker, and its connection,
            // until the last piece is queued or the client is gone.
            std::shared_ptr<AnswerStream> stream;
            const SendWhileReading sendWhileReading = [&](AnswerFrames &frames) {
                stream = std::make_shared<AnswerStream>();
                QMetaObject::invokeMethod(
                    this,
                    [this, id, head = std::move(frames.head), stream] {
                        startReadPieces(id, head, stream);
                    },
                    Qt::QueuedConnection);
                stream->pushAll(
                    *frames.rest, stall,
                    [this, id] {
                        QMetaObject::invokeMethod(
                            this, [this, id] { pump(id); }, Qt::QueuedConnection);
                    },
                    [] { return CallDeadline::cancelled(); });
            };
            CallReply reply = runCall(registry, context, body, callSeconds, sendWhileReading);
            if (stream) {
                QMetaObject::invokeMethod(
                    this,
                    [this, id, stream, logText = std::move(reply.logText)] {
                        endReadPieces(id, stream, logText);
                    },
                    Qt::QueuedConnection);
                return;
            }
            QMetaObject::invokeMethod(
                this,
                [this, id, reply = std::move(reply)] {
                    finishCall(id, reply.frame, reply.drop, reply.logText);
                },
                Qt::QueuedConnection);
        },
        lane);
}

int TransportServer::stallMs() const
{
    return (m_limits.idleSeconds > 0   ? m_limits.idleSeconds
            : m_limits.callSeconds > 0 ? m_limits.callSeconds
                                       : 10 * 60) *
           1000;
}

void TransportServer::attachStream(Peer &peer, quint64 id,
                                   const std::shared_ptr<AnswerStream> &stream)
{
    peer.stream = stream;
    // The client stays busy until the last piece is out, so its next request
    // waits and the idle sweep leaves it alone; a client that stops reading
    // is dropped by the encoder's own wait instead.
    peer.drained = connect(peer.socket, &QTcpSocket::bytesWritten, this, [this, id] { pump(id); });
}

void TransportServer::startReadPieces(quint64 id, const QByteArray &head,
                                      const std::shared_ptr<AnswerStream> &stream)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end() || it->socket->state() != QAbstractSocket::ConnectedState) {
        stream->cancel(); // nobody to read the rows for: the worker stops reading
        return;
    }
    it->socket->write(head);
    attachStream(*it, id, stream);
}

void TransportServer::endReadPieces(quint64 id, const std::shared_ptr<AnswerStream> &stream,
                                    const QString &logText)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end())
        return; // the client left while its rows were read
    if (it->stream != stream) {
        // The head found the client going away: its call is over.
        it->busy = false;
        log(it->address, logText);
        return;
    }
    it->streamLog = logText;
    stream->finish();
    pump(id);
}

void TransportServer::finishCall(quint64 id, const AnswerFrames &frames, bool drop,
                                 const QString &logText)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end())
        return; // the client left while its call ran
    if (drop) {
        this->drop(id, logText);
        return;
    }
    if (frames.rest && it->socket->state() == QAbstractSocket::ConnectedState) {
        sendPieces(id, frames, logText);
        return;
    }
    it->busy = false;
    it->quietFor.restart();
    if (it->socket->state() == QAbstractSocket::ConnectedState)
        it->socket->write(frames.head);
    log(it->address, logText);
    // Frames that came in while the call ran are waiting in the buffers.
    readFrom(id);
}

void TransportServer::sendPieces(quint64 id, const AnswerFrames &frames, const QString &logText)
{
    Peer &peer = m_peers[id];
    peer.socket->write(frames.head);
    peer.streamLog = logText;
    attachStream(peer, id, std::make_shared<AnswerStream>());
    m_sender.start(frames.rest, peer.stream, stallMs(), [this, id] {
        QMetaObject::invokeMethod(
            this, [this, id] { pump(id); }, Qt::QueuedConnection);
    });
}

void TransportServer::pump(quint64 id)
{
    const auto it = m_peers.find(id);
    if (it == m_peers.end() || !it->stream)
        return;
    // Only as much as a piece waits in the socket: the rest waits encoded in
    // the stream (a few pieces at most) or not encoded at all.
    QByteArray frame;
    while (it->socket->bytesToWrite() < wire::pieceBytes() && it->stream->pop(&frame))
        it->socket->write(frame);
    switch (it->stream->state()) {
    case AnswerStream::State::Sending:
    case AnswerStream::State::Cancelled:
        return;
    case AnswerStream::State::Failed:
        drop(id, it->stream->reason());
        return;
    case AnswerStream::State::Done:
        break;
    }
    disconnect(it->drained);
    it->stream.reset();
    it->busy = false;
    it->quietFor.restart();
    log(it->address, it->streamLog);
    readFrom(id);
}

void TransportServer::sweep()
{
    const QList<quint64> ids = m_peers.keys();
    for (quint64 id : ids) {
        const auto it = m_peers.find(id);
        if (it == m_peers.end() || it->busy || it->state == State::Closing)
            continue;
        const qint64 quiet = it->quietFor.elapsed();
        if (it->state == State::Challenged && quiet > ChallengeSeconds * 1000) {
            log(it->address, QStringLiteral("acesso recusado: a prova da chave não veio a tempo"));
            closeWith(id, ErrorAccess,
                      QStringLiteral("Acesso ao servidor de aplicação recusado: a prova da chave "
                                     "de acesso não veio a tempo."));
        } else if (m_limits.idleSeconds > 0 && quiet > qint64(m_limits.idleSeconds) * 1000) {
            log(it->address,
                QStringLiteral("conexão encerrada: %1 s sem uso").arg(m_limits.idleSeconds));
            closeWith(id, ErrorLimit,
                      QStringLiteral("Conexão encerrada pelo servidor de aplicação após %1 "
                                     "segundos sem uso.")
                          .arg(m_limits.idleSeconds));
        }
    }
}

} // namespace prx::server

#pragma once

#include "core/CallLanes.h"
#include "core/MethodRegistry.h"
#include "core/WorkerPool.h"
#include "net/Wire.h"
#include "transport/AnswerStream.h"
#include "transport/CallRunner.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QSslConfiguration>
#include <QTimer>

#include <memory>

class QTcpServer;
class QTcpSocket;

namespace prx::server {

// The bounds that keep one client from starving the others. Zero or less
// means no bound, except for the frame size.
struct TransportLimits
{
    int maxConnections = 256;
    quint32 frameBytes = wire::MaxFrameBytes;
    int idleSeconds = 30 * 60;
    int callSeconds = 10 * 60;
};

// Who may talk to the server: with a key, every connection must first prove
// it holds it (net/AccessKey.h); with a local certificate, connections are
// TLS.
struct TransportAccess
{
    QByteArray key;
    QSslConfiguration tls; // used when it has a local certificate
    bool usesTls() const { return !tls.localCertificate().isNull(); }
};

// Serves framed calls over TCP. Sockets live on the thread of this object,
// which only moves bytes; each call is decoded, run and encoded on a worker of
// the pool, each worker with its own database connection, so a long read of
// one client does not hold up the others. A client's calls run one after the
// other in the order sent: its next frame is taken only once the previous
// answer went out. A frame that is not a request gets an error answer when its
// id can be read; one that cannot say its id closes that connection only. A
// limit passed or an access refused is told to the client in a frame of id 0
// before its connection closes; the others go on being served.
class TransportServer : public QObject
{
    Q_OBJECT

public:
    explicit TransportServer(const MethodRegistry &registry, QObject *parent = nullptr);
    ~TransportServer() override;

    void setLimits(const TransportLimits &limits) { m_limits = limits; }
    const TransportLimits &limits() const { return m_limits; }
    void setFrameLimit(quint32 bytes) { m_limits.frameBytes = bytes; }
    void setAccess(const TransportAccess &access) { m_access = access; }
    // How long a refused client waits for its answer (slows down guessing).
    void setRefusalDelay(int ms) { m_refusalDelayMs = ms; }
    // Quiet: no log line per call (for tests).
    void setQuiet(bool quiet) { m_quiet = quiet; }

    // Which methods run on the long lane of the workers (CallLanes.h).
    void setCallLanes(const CallLanes &lanes) { m_lanes = lanes; }

    // Opens one database connection per worker, each on its own thread;
    // `shortCount` of them take short calls only (negative: the default).
    bool startWorkers(int count, const WorkerPool::OpenContext &open, QString *error,
                      int shortCount = -1);
    bool listen(const QHostAddress &address, quint16 port);
    void close(); // stops listening, drops every connection and stops the workers
    QHostAddress serverAddress() const;
    quint16 serverPort() const;
    QString errorString() const;
    int connectionCount() const { return int(m_peers.size()); }

private:
    enum class State
    {
        Challenged, // waiting for the answer to the access challenge
        Serving,
        Closing // refused or over a limit: nothing more is read
    };
    struct Peer
    {
        QTcpSocket *socket = nullptr; // deleted with deleteLater when forgotten
        QString address;
        QByteArray buffer;
        QByteArray challenge;
        State state = State::Serving;
        bool busy = false; // a call of this client is on a worker, or its answer on the way
        std::shared_ptr<AnswerStream> stream; // the pieces of a large answer being sent
        QMetaObject::Connection drained;      // the socket's bytesWritten, while streaming
        QString streamLog;                    // the call's log line, once its answer is out
        QElapsedTimer quietFor;
    };

    void acceptPending();
    void turnAway(QTcpSocket *socket, const QString &message);
    void readFrom(quint64 id);
    void checkAnswer(quint64 id, Peer &peer, const QByteArray &body);
    void startCall(quint64 id, Peer &peer, QByteArray body);
    void finishCall(quint64 id, const AnswerFrames &frames, bool drop, const QString &logText);
    void sendPieces(quint64 id, const AnswerFrames &frames, const QString &logText);
    // An answer whose rows a worker reads as it writes them: the head, then
    // the end of the call once the worker is done with it.
    void startReadPieces(quint64 id, const QByteArray &head,
                         const std::shared_ptr<AnswerStream> &stream);
    void endReadPieces(quint64 id, const std::shared_ptr<AnswerStream> &stream,
                       const QString &logText);
    void attachStream(Peer &peer, quint64 id, const std::shared_ptr<AnswerStream> &stream);
    int stallMs() const;
    void pump(quint64 id);
    void closeWith(quint64 id, int code, const QString &message, int delayMs = 0);
    void drop(quint64 id, const QString &reason);
    void forget(quint64 id);
    void sweep();
    void log(const QString &address, const QString &text) const;

    std::unique_ptr<QTcpServer> m_listener;
    const MethodRegistry &m_registry;
    WorkerPool m_pool;
    CallLanes m_lanes;
    TransportLimits m_limits;
    TransportAccess m_access;
    QHash<quint64, Peer> m_peers;
    quint64 m_nextId = 1;
    QTimer m_sweep;
    int m_refusalDelayMs = 1000;
    bool m_quiet = false;
    AnswerSender m_sender; // stopped in close(), after every stream is cancelled
};

} // namespace prx::server

#pragma once

#include "net/AnswerPieces.h"

#include <QByteArray>
#include <QMutex>
#include <QThreadPool>
#include <QWaitCondition>

#include <deque>
#include <functional>
#include <memory>

namespace prx::server {

// The pieces of one large answer on their way from the thread that encodes
// them to the socket's thread. The encoder waits while a few pieces are
// still queued, so encoded bytes in flight stay bounded whatever the
// answer's size; the socket's thread takes them as the socket drains.
class AnswerStream
{
public:
    // Pieces queued beyond what the socket already holds.
    static constexpr size_t MaxQueued = 2;

    enum class State
    {
        Sending,
        Done,   // every piece was taken
        Failed, // the encoder gave up: see reason()
        Cancelled
    };

    // Encoder side. False when the stream was cancelled, when the socket
    // took nothing for `stallMs` (a client that stopped reading), or when
    // `abandoned` says so while waiting (looked at a few times a second).
    bool push(QByteArray frame, int stallMs, const std::function<bool()> &abandoned = {});
    // Pushes every frame of `rest` after its head, calling `wake` after each;
    // stops early as push() does, or failed when a frame cannot be written.
    void pushAll(wire::AnswerWriter &rest, int stallMs, const std::function<void()> &wake,
                 const std::function<bool()> &abandoned = {});
    void finish();
    void fail(const QString &reason);

    // Socket side.
    bool pop(QByteArray *frame);
    State state() const;
    QString reason() const;
    void cancel();

private:
    mutable QMutex m_mutex;
    QWaitCondition m_room;
    std::deque<QByteArray> m_queue;
    bool m_finished = false;
    bool m_cancelled = false;
    QString m_failure;
};

// Threads that encode the pieces of large answers, so that the worker that
// ran the call and its database connection are free as soon as the head is
// out, and the sockets' thread only moves bytes.
class AnswerSender
{
public:
    AnswerSender();
    ~AnswerSender();

    // Encodes rest's pieces into the stream; `wake` is called (on the
    // encoding thread) whenever the stream has something new for the socket.
    void start(std::shared_ptr<wire::AnswerWriter> rest, std::shared_ptr<AnswerStream> stream,
               int stallMs, std::function<void()> wake);
    // Waits for every encoder; their streams must have been cancelled.
    void stop();

private:
    QThreadPool m_threads;
};

} // namespace prx::server

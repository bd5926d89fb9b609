#include "transport/AnswerStream.h"

#include "core/WorkerPool.h"

#include <QDeadlineTimer>

namespace prx::server {

bool AnswerStream::push(QByteArray frame, int stallMs, const std::function<bool()> &abandoned)
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(stallMs);
    while (!m_cancelled && m_queue.size() >= MaxQueued) {
        if (deadline.hasExpired()) {
            m_failure = QStringLiteral("o cliente não leu a resposta em %1 s").arg(stallMs / 1000);
            return false;
        }
        if (abandoned) {
            m_room.wait(&m_mutex, std::min(deadline, QDeadlineTimer(250)));
            if (abandoned())
                return false;
        } else {
            m_room.wait(&m_mutex, deadline);
        }
    }
    if (m_cancelled)
        return false;
    m_queue.push_back(std::move(frame));
    return true;
}

void AnswerStream::pushAll(wire::AnswerWriter &rest, int stallMs, const std::function<void()> &wake,
                           const std::function<bool()> &abandoned)
{
    while (rest.hasMore()) {
        QByteArray frame = rest.next();
        if (frame.isEmpty()) {
            fail(QStringLiteral("uma linha da resposta passa do tamanho máximo de uma mensagem"));
            return;
        }
        if (!push(std::move(frame), stallMs, abandoned))
            return;
        wake();
    }
}

void AnswerStream::finish()
{
    QMutexLocker lock(&m_mutex);
    m_finished = true;
}

void AnswerStream::fail(const QString &reason)
{
    QMutexLocker lock(&m_mutex);
    if (m_failure.isEmpty())
        m_failure = reason;
}

bool AnswerStream::pop(QByteArray *frame)
{
    QMutexLocker lock(&m_mutex);
    if (m_queue.empty() || m_cancelled)
        return false;
    *frame = std::move(m_queue.front());
    m_queue.pop_front();
    m_room.wakeAll();
    return true;
}

AnswerStream::State AnswerStream::state() const
{
    QMutexLocker lock(&m_mutex);
    if (m_cancelled)
        return State::Cancelled;
    if (!m_failure.isEmpty())
        return State::Failed;
    return m_finished && m_queue.empty() ? State::Done : State::Sending;
}

QString AnswerStream::reason() const
{
    QMutexLocker lock(&m_mutex);
    return m_failure;
}

void AnswerStream::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancelled = true;
    m_queue.clear();
    m_room.wakeAll();
}

AnswerSender::AnswerSender()
{
    // One thread per answer being sent; a connection has at most one.
    m_threads.setMaxThreadCount(64);
    m_threads.setExpiryTimeout(30000);
}

AnswerSender::~AnswerSender()
{
    stop();
}

void AnswerSender::start(std::shared_ptr<wire::AnswerWriter> rest,
                         std::shared_ptr<AnswerStream> stream, int stallMs,
                         std::function<void()> wake)
{
    m_threads.start(
        [rest = std::move(rest), stream = std::move(stream), stallMs, wake = std::move(wake)] {
            // A large answer's pieces give way to small calls, as the long
            // call that made it did.
            WorkerPool::lowerThisThread();
            stream->pushAll(*rest, stallMs, wake);
            stream->finish();
            wake();
        });
}

void AnswerSender::stop()
{
    m_threads.waitForDone();
}

} // namespace prx::server

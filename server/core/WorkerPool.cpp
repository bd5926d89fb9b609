#include "core/WorkerPool.h"

#include "core/CallDeadline.h"

#include <algorithm>

#ifdef __linux__
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace prx::server {

namespace {

// How far long threads step back. On Linux a thread has a nice value of its
// own; raising it needs no privilege (lowering it again would), so a long
// thread keeps it for its life. Where that fails the thread only stays at the
// normal priority.
constexpr int LongThreadNice = 10;

} // namespace

void WorkerPool::lowerThisThread()
{
#ifdef __linux__
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), LongThreadNice);
#endif
}

WorkerPool::~WorkerPool()
{
    stop();
}

int WorkerPool::defaultShortThreads(int count)
{
    return count < 2 ? 0 : std::max(1, count / 4);
}

bool WorkerPool::start(int count, const OpenContext &open, QString *error, int shortCount)
{
    stop();
    count = std::max(count, 1);
    if (shortCount < 0)
        shortCount = defaultShortThreads(count);
    shortCount = std::min(shortCount, count - 1);
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        m_cancel = false;
        m_opened = 0;
        m_idleShort = 0;
        m_openError.clear();
    }
    for (int i = 0; i < count; ++i) {
        const Role role = shortCount == 0 ? Role::Any : i < shortCount ? Role::Short : Role::Long;
        m_threads.emplace_back([this, open, role] { run(open, role); });
    }
    std::unique_lock lock(m_mutex);
    m_ready.wait(lock, [&] { return m_opened == count || !m_openError.isEmpty(); });
    if (m_openError.isEmpty())
        return true;
    if (error)
        *error = m_openError;
    lock.unlock();
    stop();
    return false;
}

bool WorkerPool::hasWork(Role role) const
{
    switch (role) {
    case Role::Short:
        return !m_short.empty();
    case Role::Long:
        return !m_long.empty() || shortSpills();
    case Role::Any:
        break;
    }
    return !m_long.empty() || !m_short.empty();
}

WorkerPool::Job WorkerPool::take(Role role)
{
    bool fromShort = false;
    if (role == Role::Short || m_long.empty())
        fromShort = true;
    else if (!m_short.empty() && (role == Role::Any || shortSpills()))
        fromShort = m_short.front().order < m_long.front().order;
    std::deque<Queued> &queue = fromShort ? m_short : m_long;
    Job job = std::move(queue.front().job);
    queue.pop_front();
    return job;
}

void WorkerPool::run(const OpenContext &open, Role role)
{
    CallDeadline::watch(&m_cancel);
    if (role == Role::Long)
        lowerThisThread();
    QString error;
    std::shared_ptr<Context> context;
    try {
        context = open(&error);
    } catch (const std::exception &e) {
        error = QString::fromUtf8(e.what());
    }
    {
        std::lock_guard lock(m_mutex);
        if (context)
            ++m_opened;
        else if (m_openError.isEmpty())
            m_openError = error.isEmpty() ? QStringLiteral("Não foi possível abrir a base de "
                                                           "dados.")
                                          : error;
    }
    m_ready.notify_all();
    if (!context)
        return;
    std::condition_variable &wake = role == Role::Short ? m_wakeShort : m_wakeOther;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            // Counted while waiting, so that a short job posted meanwhile is
            // left to this thread rather than spilled onto a long one.
            if (role == Role::Short)
                ++m_idleShort;
            wake.wait(lock, [&] { return m_stopping || hasWork(role); });
            if (role == Role::Short)
                --m_idleShort;
            if (m_stopping)
                break;
            job = take(role);
        }
        // A job reports its own errors; one that throws anyway must not take
        // the worker (and its connection) down with it.
        try {
            job(*context);
        } catch (...) {
        }
    }
    context.reset(); // closed on the thread that opened it
    CallDeadline::watch(nullptr);
}

void WorkerPool::post(Job job, Lane lane)
{
    bool wakeShort = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_threads.empty())
            return;
        (lane == Lane::Short ? m_short : m_long).push_back({++m_posted, std::move(job)});
        wakeShort = lane == Lane::Short && !shortSpills();
    }
    (wakeShort ? m_wakeShort : m_wakeOther).notify_one();
}

void WorkerPool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_short.clear();
        m_long.clear();
    }
    m_cancel = true;
    m_wakeShort.notify_all();
    m_wakeOther.notify_all();
    for (std::thread &t : m_threads) {
        if (t.joinable())
            t.join();
    }
    m_threads.clear();
}

int WorkerPool::queued() const
{
    std::lock_guard lock(m_mutex);
    return int(m_short.size() + m_long.size());
}

} // namespace prx::server

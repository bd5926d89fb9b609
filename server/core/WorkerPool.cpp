#include "core/WorkerPool.h"

#include "core/CallDeadline.h"

namespace prx::server {

WorkerPool::~WorkerPool()
{
    stop();
}

bool WorkerPool::start(int count, const OpenContext &open, QString *error)
{
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        m_cancel = false;
        m_opened = 0;
        m_openError.clear();
    }
    count = std::max(count, 1);
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this, open, i] { run(open, i); });
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

void WorkerPool::run(const OpenContext &open, int index)
{
    Q_UNUSED(index)
    CallDeadline::watch(&m_cancel);
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
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                break;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
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

void WorkerPool::post(Job job)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_threads.empty())
            return;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void WorkerPool::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_cancel = true;
    m_wake.notify_all();
    for (std::thread &t : m_threads) {
        if (t.joinable())
            t.join();
    }
    m_threads.clear();
}

int WorkerPool::queued() const
{
    std::lock_guard lock(m_mutex);
    return int(m_jobs.size());
}

} // namespace prx::server

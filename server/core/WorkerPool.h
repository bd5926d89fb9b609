#pragma once

#include "core/MethodRegistry.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace prx::server {

// A fixed set of threads that run calls. Each thread opens its own Context
// (its own database connection) on itself, because a connection may be used
// only by the thread that opened it; the thread keeps it for its whole life
// and closes it there. Jobs run in the order they were posted, each on the
// first free thread; ordering within one client is the poster's business.
class WorkerPool
{
public:
    // Opens one worker's context; nullptr with a Portuguese *error when the
    // database cannot be reached. The context's deleter closes what it holds.
    using OpenContext = std::function<std::shared_ptr<Context>(QString *error)>;
    using Job = std::function<void(Context &)>;

    WorkerPool() = default;
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // Starts `count` threads and waits until each has opened its context.
    // False (every thread stopped again) when one of them could not.
    bool start(int count, const OpenContext &open, QString *error);
    // Runs the job on a worker. Jobs posted after stop() are dropped.
    void post(Job job);
    // Drops queued jobs, cancels running calls at their next statement (their
    // transactions roll back) and joins the threads.
    void stop();

    int size() const { return int(m_threads.size()); }
    int queued() const;

private:
    void run(const OpenContext &open, int index);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ready;
    std::deque<Job> m_jobs;
    std::vector<std::thread> m_threads;
    int m_opened = 0;
    QString m_openError;
    bool m_stopping = false;
    std::atomic<bool> m_cancel = false; // watched by CallDeadline on every worker
};

} // namespace prx::server

#pragma once

#include "core/MethodRegistry.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
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
// and closes it there. Ordering within one client is the poster's business.
//
// The threads form two lanes, so that a small call is answered quickly while
// long ones run. Short threads take short jobs only, so no number of long
// jobs can occupy them; long threads take long jobs, and short ones when no
// short thread is free. Long threads run at a lower scheduling priority: on a
// machine whose cores they fill, a long read gives way to a short call.
// Without a short lane (one thread, or none asked for) every thread takes
// every job at the normal priority. Each lane starts its jobs in the order
// they were posted.
class WorkerPool
{
public:
    // Opens one worker's context; nullptr with a Portuguese *error when the
    // database cannot be reached. The context's deleter closes what it holds.
    using OpenContext = std::function<std::shared_ptr<Context>(QString *error)>;
    using Job = std::function<void(Context &)>;
    enum class Lane
    {
        Short,
        Long
    };

    WorkerPool() = default;
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // The short threads out of `count` by default: a quarter, at least one
    // when there are two threads or more.
    static int defaultShortThreads(int count);
    // Puts the calling thread at the long threads' priority, for its whole
    // life: for other threads that do a long call's work, such as encoding
    // a large answer.
    static void lowerThisThread();

    // Starts `count` threads, `shortCount` of them for short jobs (negative:
    // the default; at most count - 1, so that long jobs have a thread), and
    // waits until each has opened its context. False (every thread stopped
    // again) when one of them could not.
    bool start(int count, const OpenContext &open, QString *error, int shortCount = -1);
    // Runs the job on a worker of its lane. Jobs posted after stop() are
    // dropped.
    void post(Job job, Lane lane = Lane::Short);
    // Drops queued jobs, cancels running calls at their next statement (their
    // transactions roll back) and joins the threads.
    void stop();

    int size() const { return int(m_threads.size()); }
    int queued() const;

private:
    enum class Role
    {
        Short, // short jobs only
        Long,  // long jobs, and short ones no short thread is free for
        Any    // every job, oldest first: the pool has no short lane
    };
    struct Queued
    {
        std::uint64_t order = 0;
        Job job;
    };

    void run(const OpenContext &open, Role role);
    bool hasWork(Role role) const;
    Job take(Role role);
    // Short jobs that no waiting short thread will take.
    bool shortSpills() const { return m_short.size() > std::size_t(m_idleShort); }

    mutable std::mutex m_mutex;
    std::condition_variable m_wakeShort; // the short threads
    std::condition_variable m_wakeOther; // the long threads, or every thread of one lane
    std::condition_variable m_ready;
    std::deque<Queued> m_short;
    std::deque<Queued> m_long;
    std::uint64_t m_posted = 0;
    int m_idleShort = 0; // short threads waiting for a job
    std::vector<std::thread> m_threads;
    int m_opened = 0;
    QString m_openError;
    bool m_stopping = false;
    std::atomic<bool> m_cancel = false; // watched by CallDeadline on every worker
};

} // namespace prx::server

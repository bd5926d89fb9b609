#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <atomic>

namespace prx::server {

// The time limit of the call the current thread is running. A worker sets it
// before each call; the storage checks it before every statement and from
// inside long statements, so a call past its limit is cancelled in the
// database (its transaction rolled back) instead of running on unseen.
class CallDeadline
{
public:
    // The flag that, once set, ends every call of this thread at once (a
    // server shutting down); nullptr: none. Set once by each worker.
    static void watch(const std::atomic<bool> *cancelled);
    // seconds <= 0: no limit.
    static void start(int seconds);
    static void clear();
    static bool expired();
    // Only the server shutting down, not the time limit: for work that may
    // outlast the limit without harm, such as waiting for a slow reader.
    static bool cancelled();
    static int limitSeconds();
    // What the caller is told when its call was cancelled at the limit.
    static QString message();

    // Sets the limit for one scope (a call), clears it after.
    class Scope
    {
    public:
        explicit Scope(int seconds) { start(seconds); }
        ~Scope() { clear(); }
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
    };
};

} // namespace prx::server

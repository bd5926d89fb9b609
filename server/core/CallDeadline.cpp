#include "core/CallDeadline.h"

namespace prx::server {

namespace {
thread_local QDeadlineTimer current{QDeadlineTimer::Forever};
thread_local int currentSeconds = 0;
thread_local const std::atomic<bool> *cancelFlag = nullptr;
} // namespace

void CallDeadline::watch(const std::atomic<bool> *cancelled)
{
    cancelFlag = cancelled;
}

void CallDeadline::start(int seconds)
{
    currentSeconds = seconds > 0 ? seconds : 0;
    current = seconds > 0 ? QDeadlineTimer(qint64(seconds) * 1000) : QDeadlineTimer::Forever;
}

void CallDeadline::clear()
{
    start(0);
}

bool CallDeadline::expired()
{
    return current.hasExpired() || (cancelFlag && cancelFlag->load(std::memory_order_relaxed));
}

bool CallDeadline::cancelled()
{
    return cancelFlag && cancelFlag->load(std::memory_order_relaxed);
}

int CallDeadline::limitSeconds()
{
    return currentSeconds;
}

QString CallDeadline::message()
{
    if (cancelFlag && cancelFlag->load(std::memory_order_relaxed))
        return QStringLiteral("O servidor de aplicação está sendo encerrado; a chamada foi "
                              "cancelada.");
    return QStringLiteral("A chamada ultrapassou o tempo máximo de %1 segundos e foi cancelada.")
        .arg(currentSeconds);
}

} // namespace prx::server

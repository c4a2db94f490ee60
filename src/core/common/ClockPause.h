#pragma once

#include "core/common/Clock.h"

#ifndef Q_MOC_RUN
#include <coroutine>

// co_await ClockPause{clock, ms, context}: the coroutine goes on ms later, from the event loop.
// Dropped with its coroutine, or with context, it lets go of its timer.
struct ClockPause
{
    Clock &clock;
    int ms = 0;
    QObject *context = nullptr;
    Clock::TimerId id = 0;

    ClockPause(Clock &c, int milliseconds, QObject *owner) : clock(c), ms(milliseconds), context(owner) {}
    ClockPause(const ClockPause &) = delete;
    ClockPause &operator=(const ClockPause &) = delete;
    ~ClockPause()
    {
        if (id != 0)
            clock.cancelTimer(id);
    }

    bool await_ready() const noexcept { return ms <= 0; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        id = clock.startTimer(ms, context, [this, handle] {
            id = 0;
            handle.resume();
        });
    }
    void await_resume() const noexcept {}
};
#endif

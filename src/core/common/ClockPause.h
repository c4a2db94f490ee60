#pragma once

#include "core/common/Clock.h"

#ifndef Q_MOC_RUN
#include <QCoreApplication>
#include <QMetaObject>

#include <coroutine>
#include <memory>

// co_await ClockPause{clock, ms, context}: the coroutine goes on ms later, from the event queue
// (never inside the timer's own call). Dropped with its coroutine, or with context, it lets go of
// its timer and of a resumption already queued.
struct ClockPause
{
    Clock &clock;
    int ms = 0;
    QObject *context = nullptr;
    Clock::TimerId id = 0;
    // Cleared when the pause goes: a resumption queued meanwhile then does nothing.
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);

    ClockPause(Clock &c, int milliseconds, QObject *owner) : clock(c), ms(milliseconds), context(owner) {}
    ClockPause(const ClockPause &) = delete;
    ClockPause &operator=(const ClockPause &) = delete;
    ~ClockPause()
    {
        *alive = false;
        if (id != 0)
            clock.cancelTimer(id);
    }

    bool await_ready() const noexcept { return ms <= 0; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        id = clock.startTimer(ms, context, [this, handle] {
            id = 0;
            std::weak_ptr<bool> stillThere = alive;
            QMetaObject::invokeMethod(
                context ? context : QCoreApplication::instance(),
                [stillThere, handle] {
                    if (const std::shared_ptr<bool> flag = stillThere.lock(); flag && *flag)
                        handle.resume();
                },
                Qt::QueuedConnection);
        });
    }
    void await_resume() const noexcept {}
};
#endif

#pragma once

#include "VirtualClock.h"
#include "core/common/Task.h"
#include "core/link/ModemLine.h"

#include <QEventLoop>
#include <QTimer>

#include <optional>

// A test waits for a conversation of the link by running the event loop until it ends (real
// time, against kvrsim) or by running the virtual clock (a device of the test's own).
template<typename T>
T runTask(Task<T> task, int limitMs = 120000)
{
    if (!task.isDone()) {
        QEventLoop loop;
        task.whenDone([&loop] { loop.quit(); });
        QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if constexpr (!std::is_void_v<T>)
        return task.isDone() ? task.result() : T();
}

template<typename T>
T runTask(VirtualClock &clock, Task<T> task)
{
    clock.runUntil([&task] { return task.isDone(); });
    if constexpr (!std::is_void_v<T>)
        return task.isDone() ? task.result() : T();
}

// Waits until the line has run everything queued on it.
inline bool runUntilIdle(ModemLine &line, int limitMs = 120000)
{
    if (line.isIdle())
        return true;
    QEventLoop loop;
    QObject::connect(&line, &ModemLine::idle, &loop, &QEventLoop::quit);
    QTimer::singleShot(limitMs, &loop, &QEventLoop::quit);
    loop.exec();
    return line.isIdle();
}

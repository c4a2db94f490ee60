#pragma once

#include "core/common/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include <map>

// Time that passes only when the test says so. runUntil() lets posted events and the
// device's bytes run and, whenever nothing else is waiting, jumps to the next timer.
class VirtualClock : public Clock
{
public:
    explicit VirtualClock(const QDateTime &start = QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC))
        : m_start(start)
    {
    }

    QDateTime now() const override { return m_start.addMSecs(m_elapsed); }
    qint64 elapsed() const { return m_elapsed; }

    TimerId startTimer(int ms, QObject *context, std::function<void()> fire) override
    {
        const TimerId id = m_nextId++;
        m_timers.emplace(id, Entry{m_elapsed + qMax(0, ms), context, context != nullptr, std::move(fire)});
        return id;
    }
    void cancelTimer(TimerId id) override { m_timers.erase(id); }

    bool hasTimers() const { return !m_timers.empty(); }

    // Fires every timer due within ms, in order, then stands at now + ms.
    void advance(qint64 ms)
    {
        const qint64 end = m_elapsed + ms;
        while (fireNext(end)) {
        }
        m_elapsed = end;
    }

    // Runs until done() holds or the virtual time limit passes: posted events first, and
    // whenever nothing else is waiting, the next timer.
    template<typename Done>
    bool runUntil(Done done, qint64 limitMs = 24 * 3600 * 1000)
    {
        const qint64 end = m_elapsed + limitMs;
        while (!done()) {
            // A step resumed by an event may post the next one: let the chain run out first.
            for (int round = 0; round < 8 && !done(); ++round) {
                QCoreApplication::sendPostedEvents();
                QCoreApplication::processEvents();
            }
            if (done())
                return true;
            if (!fireNext(end))
                return done();
        }
        return true;
    }

private:
    struct Entry
    {
        qint64 due;
        QPointer<QObject> context;
        bool hadContext;
        std::function<void()> fire;
    };
    // Fires the earliest timer due by end; false when none is.
    bool fireNext(qint64 end)
    {
        auto next = m_timers.end();
        for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
            if (next == m_timers.end() || it->second.due < next->second.due)
                next = it;
        }
        if (next == m_timers.end() || next->second.due > end)
            return false;
        Entry entry = std::move(next->second);
        m_timers.erase(next);
        m_elapsed = qMax(m_elapsed, entry.due);
        // As on the system clock: only a context that was given and has gone drops the call.
        if (entry.context || !entry.hadContext)
            entry.fire();
        return true;
    }

    QDateTime m_start;
    qint64 m_elapsed = 0;
    TimerId m_nextId = 1;
    std::map<TimerId, Entry> m_timers; // ordered by id, so equal due times fire in start order
};

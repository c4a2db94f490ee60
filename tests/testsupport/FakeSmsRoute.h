#pragma once

#include "VirtualClock.h"
#include "core/common/Task.h"
#include "core/route/SmsRoute.h"

#include <QHash>
#include <QStringList>

#include <coroutine>
#include <list>
#include <memory>

// A route whose sends and polls the test scripts, on a virtual clock. Each send takes the time
// and gives the result set for its number; each poll lists the result set for the route. One at
// a time, sends and polls share one queue as on a modem line; otherwise sends start inside
// submitSend, as on a gateway. Owners are not watched: a run ends before it goes.
class FakeSmsRoute : public SmsRoute
{
public:
    struct Script
    {
        int beginMs = 0; // before the first packet goes: a break in this time sends nothing
        int ms = 0;      // from the first packet to the result
        SendResult result{QString(), true, QString()};
    };
    struct Poll
    {
        qint64 started = 0;
        qint64 reported = 0;
    };

    FakeSmsRoute(VirtualClock &clock, AppState &state, bool oneAtATime, const QString &name)
        : SmsRoute(state), m_clock(clock), m_oneAtATime(oneAtATime), m_name(name)
    {
    }
    ~FakeSmsRoute() override { m_running.clear(); } // while the pauses can still let go of us

    void script(const QString &phone, const Script &s) { m_scripts.insert(phone, s); }
    // What each poll lists from now on, and how long it takes (the listing comes first).
    void setPollResult(const PollResult &result, int ms = 0)
    {
        m_pollResult = result;
        m_pollMs = ms;
    }
    QStringList log() const { return m_log; } // "send <phone>" as a send begins, "poll" as a poll reports
    QStringList begun() const { return m_begun; }
    QList<QPair<QString, PacketType>> packets() const { return m_packets; } // of the sends that passed
    QList<Poll> polls() const { return m_polls; }
    int breaks() const { return m_breaks; }
    int submitted() const { return m_submitted; }
    int maxOutstanding() const { return m_maxOutstanding; } // sends submitted and not ended, at most

    QString routeName() const override { return m_name; }
    Clock &routeClock() const override { return m_clock; }
    void submitSend(QObject *, std::function<Task<void>()> send) override
    {
        ++m_submitted;
        m_maxOutstanding = qMax(m_maxOutstanding, ++m_outstanding);
        if (m_oneAtATime)
            enqueue({std::move(send), false});
        else
            run({std::move(send), false});
    }
    void breakSends() override
    {
        ++m_breaks;
        m_breaking = m_outstanding > 0;
        const QList<Pause *> waiting = std::exchange(m_breakable, {});
        for (Pause *pause : waiting)
            pause->wake();
    }
    bool sendsIdle() const override { return m_outstanding == 0; }
    bool sendsOneAtATime() const override { return m_oneAtATime; }
    bool submitPoll() override
    {
        if (m_pollWaiting)
            return false; // none when one already waits
        m_pollWaiting = true;
        enqueue({[this]() -> Task<void> { return runPoll(); }, true});
        return true;
    }
    void setPolling(bool) override {}

    Task<SendResult> sendProfileFile(QString phone, QString, QByteArray) override
    {
        return sendPackets(phone, {PacketType::ProfileBlock1, PacketType::ProfileBlock2});
    }
    Task<SendResult> sendProfilePackets(QString phone, QString, QByteArray, QList<PacketType> packets) override
    {
        return sendPackets(phone, packets);
    }
    Task<SendResult> requestProfile(QString phone, QString) override
    {
        return sendPackets(phone, {PacketType::ReadBlock1, PacketType::ReadBlock2});
    }
    Task<SendResult> sendGprs(QString phone, QString, GprsSettings) override
    {
        return sendPackets(phone, {PacketType::GprsSettings});
    }
    Task<PollResult> pollMessages() override { co_return m_pollResult; }

private:
    // A wait on the clock, resumed from the event queue; a break ends a breakable one at once.
    struct Pause
    {
        Pause(FakeSmsRoute &r, int milliseconds, bool canBreak) : route(r), ms(milliseconds), breakable(canBreak) {}
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;
        ~Pause()
        {
            route.m_breakable.removeOne(this);
            if (id != 0)
                route.m_clock.cancelTimer(id);
        }
        bool await_ready() const noexcept { return ms <= 0 || (breakable && route.m_breaking); }
        void await_suspend(std::coroutine_handle<> h)
        {
            handle = h;
            id = route.m_clock.startTimer(ms, &route, [this] {
                id = 0;
                wake();
            });
            if (breakable)
                route.m_breakable << this;
        }
        void await_resume() const noexcept {}
        void wake()
        {
            route.m_breakable.removeOne(this);
            if (id != 0)
                route.m_clock.cancelTimer(std::exchange(id, 0));
            const std::weak_ptr<bool> there = alive;
            QMetaObject::invokeMethod(&route, [there, h = handle] { if (there.lock()) h.resume(); }, Qt::QueuedConnection);
        }
        FakeSmsRoute &route;
        int ms;
        bool breakable;
        Clock::TimerId id = 0;
        std::coroutine_handle<> handle;
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
    };
    struct Job
    {
        std::function<Task<void>()> script;
        bool poll = false;
    };

    Task<SendResult> sendPackets(QString phone, QList<PacketType> types)
    {
        const Script s = m_scripts.value(phone);
        if (!s.result.refusal.isEmpty())
            co_return s.result; // refused: nothing goes
        co_await Pause(*this, s.beginMs, true);
        if (m_breaking) {
            SendResult broken;
            broken.failure = QStringLiteral("прервано");
            co_return broken;
        }
        m_begun << phone;
        m_log << QStringLiteral("send ") + phone;
        co_await Pause(*this, s.ms, false); // a pair that has begun is completed
        for (PacketType type : types) {
            if (s.result.passed)
                m_packets.append({phone, type});
        }
        co_return s.result;
    }
    Task<void> runPoll()
    {
        m_pollWaiting = false;
        const qint64 started = m_clock.elapsed();
        PollResult result = co_await pollMessages();
        result.listedAt = m_clock.now();
        co_await Pause(*this, m_pollMs, false);
        m_polls.append({started, m_clock.elapsed()});
        m_log << QStringLiteral("poll");
        emit pollFinished(result);
    }
    // A modem line starts its next job from the event loop, and so does a gateway its polls.
    void enqueue(Job job)
    {
        m_queue.append(std::move(job));
        startNext();
    }
    void startNext()
    {
        if (m_startPosted || m_queue.isEmpty() || (m_oneAtATime && !m_running.empty()))
            return;
        m_startPosted = true;
        QMetaObject::invokeMethod(this, [this] {
            m_startPosted = false;
            while (!m_queue.isEmpty() && (!m_oneAtATime || m_running.empty()))
                run(m_queue.takeFirst());
        }, Qt::QueuedConnection);
    }
    void run(Job job)
    {
        const quint64 id = ++m_lastId;
        m_running.push_back({id, Task<void>()});
        m_running.back().second = job.script();
        // Counted out as it ends, since the caller may queue its next send before the job is
        // released (from the event loop, never inside the frame's own last step).
        m_running.back().second.whenDone([this, id, poll = job.poll] {
            m_outstanding -= poll ? 0 : 1;
            QMetaObject::invokeMethod(this, [this, id] { ended(id); }, Qt::QueuedConnection);
        });
    }
    void ended(quint64 id)
    {
        m_running.remove_if([id](const std::pair<quint64, Task<void>> &r) { return r.first == id; });
        m_breaking = m_breaking && m_outstanding > 0;
        startNext();
    }

    VirtualClock &m_clock;
    bool m_oneAtATime;
    QString m_name;
    QHash<QString, Script> m_scripts;
    PollResult m_pollResult;
    int m_pollMs = 0;
    QList<Job> m_queue;
    std::list<std::pair<quint64, Task<void>>> m_running;
    QList<Pause *> m_breakable;
    QStringList m_log;
    QStringList m_begun;
    QList<QPair<QString, PacketType>> m_packets;
    QList<Poll> m_polls;
    quint64 m_lastId = 0;
    int m_outstanding = 0;
    int m_maxOutstanding = 0;
    int m_submitted = 0;
    int m_breaks = 0;
    bool m_breaking = false;
    bool m_pollWaiting = false;
    bool m_startPosted = false;
};

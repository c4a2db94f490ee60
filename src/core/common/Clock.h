#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <functional>

class QTimer;

// Where the link, the poll, the scenario engine and the database take their time from:
// the wall clock and single-shot timers. The program runs on the system clock; tests run
// on a virtual one that jumps to the next timer at once.
class Clock
{
public:
    using TimerId = quint64;
    virtual ~Clock() = default;

    virtual QDateTime now() const = 0;
    // Calls fire once, ms (nominal) from now, unless cancelled first. The call is dropped
    // when context is destroyed before.
    virtual TimerId startTimer(int ms, QObject *context, std::function<void()> fire) = 0;
    virtual void cancelTimer(TimerId id) = 0;

    // The program's clock.
    static Clock &system();
};

// Real time, every interval multiplied by a factor (1 in the program; KVRSETUP_TIME_SCALE
// shortens the command-line tool's runs against the simulator).
class SystemClock : public Clock
{
public:
    explicit SystemClock(double scale = 1.0) : m_scale(scale) {}
    ~SystemClock() override;

    void setScale(double scale) { m_scale = scale; }
    double scale() const { return m_scale; }

    QDateTime now() const override { return QDateTime::currentDateTimeUtc(); }
    TimerId startTimer(int ms, QObject *context, std::function<void()> fire) override;
    void cancelTimer(TimerId id) override;

private:
    double m_scale;
    TimerId m_nextId = 1;
    QHash<TimerId, QPointer<QTimer>> m_timers;
};

// One restartable timer on a clock, owned by the object that waits on it.
class ClockTimer
{
public:
    explicit ClockTimer(QObject *context, Clock *clock = &Clock::system()) : m_context(context), m_clock(clock) {}
    ~ClockTimer() { stop(); }
    ClockTimer(const ClockTimer &) = delete;
    ClockTimer &operator=(const ClockTimer &) = delete;

    void setClock(Clock *clock);
    Clock &clock() const { return *m_clock; }
    void setInterval(int ms) { m_interval = ms; }
    int interval() const { return m_interval; }
    // Repeats every interval until stopped.
    void setRepeating(bool on) { m_repeating = on; }
    void setHandler(std::function<void()> handler) { m_handler = std::move(handler); }

    void start(int ms) { setInterval(ms); start(); }
    void start();
    void stop();
    bool isActive() const { return m_id != 0; }

private:
    QObject *m_context;
    Clock *m_clock;
    std::function<void()> m_handler;
    int m_interval = 0;
    bool m_repeating = false;
    Clock::TimerId m_id = 0;
};

#include "core/common/Clock.h"

#include <QTimer>

Clock &Clock::system()
{
    static SystemClock clock;
    return clock;
}

SystemClock::~SystemClock()
{
    for (const QPointer<QTimer> &timer : std::as_const(m_timers))
        delete timer.data();
}

Clock::TimerId SystemClock::startTimer(int ms, QObject *context, std::function<void()> fire)
{
    const TimerId id = m_nextId++;
    auto *timer = new QTimer(context);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    // QTimer refuses a negative interval and would never fire: a late deadline fires at once.
    timer->setInterval(m_scale == 1.0 ? qMax(0, ms) : qMax(1, qRound(qMax(0, ms) * m_scale)));
    QObject::connect(timer, &QTimer::timeout, timer, [this, id, timer, fire = std::move(fire)] {
        m_timers.remove(id);
        timer->deleteLater();
        fire();
    });
    m_timers.insert(id, timer);
    timer->start();
    return id;
}

void SystemClock::cancelTimer(TimerId id)
{
    if (QTimer *timer = m_timers.take(id).data()) {
        timer->stop();
        timer->deleteLater();
    }
}

void ClockTimer::setClock(Clock *clock)
{
    const bool active = isActive();
    stop();
    m_clock = clock;
    if (active)
        start();
}

void ClockTimer::start()
{
    stop();
    m_id = m_clock->startTimer(m_interval, m_context, [this] {
        m_id = 0;
        if (m_repeating)
            start();
        if (m_handler)
            m_handler();
    });
}

void ClockTimer::stop()
{
    if (m_id != 0)
        m_clock->cancelTimer(std::exchange(m_id, 0));
}

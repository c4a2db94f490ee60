#include "TestClock.h"

#include "VirtualClock.h"
#include "core/common/Clock.h"

#include <QTest>
#include <QTimer>

#include <memory>

void TestClock::systemClockFiresScaled()
{
    SystemClock clock(0.01);
    QObject context;
    bool fired = false;
    clock.startTimer(1000, &context, [&fired] { fired = true; });
    QVERIFY(!fired);
    // 10 ms real: the timeout is generous, yet an unscaled second would miss it.
    QTRY_VERIFY_WITH_TIMEOUT(fired, 900);
    // A deadline already past fires at once, unscaled too (QTimer refuses a negative interval).
    SystemClock real;
    bool late = false;
    real.startTimer(-5, &context, [&late] { late = true; });
    QTRY_VERIFY_WITH_TIMEOUT(late, 900);
}

void TestClock::systemClockDropsCancelledAndOrphanedTimers()
{
    SystemClock clock(0.01);
    QObject context;
    bool cancelledFired = false;
    bool orphanFired = false;
    bool witness = false;
    const Clock::TimerId cancelled = clock.startTimer(1000, &context, [&cancelledFired] { cancelledFired = true; });
    auto lost = std::make_unique<QObject>();
    clock.startTimer(1000, lost.get(), [&orphanFired] { orphanFired = true; });
    // Due after the other two: once it has fired, they would have.
    clock.startTimer(3000, &context, [&witness] { witness = true; });
    clock.cancelTimer(cancelled);
    lost.reset();
    QTRY_VERIFY_WITH_TIMEOUT(witness, 5000);
    QVERIFY(!cancelledFired);
    QVERIFY(!orphanFired);
    // Neither the cancelled timer nor the fired one stays behind on the context.
    QTRY_VERIFY(context.findChildren<QTimer *>().isEmpty());
}



void TestClock::repeatingTimerFiresUntilStopped()
{
    VirtualClock clock;
    QObject context;
    QList<qint64> at;
    ClockTimer timer(&context, &clock);
    timer.setRepeating(true);
    timer.setHandler([&at, &clock] { at.append(clock.elapsed()); });
    timer.start(100);
    clock.advance(350);
    QCOMPARE(at, (QList<qint64>{100, 200, 300}));
    QVERIFY(timer.isActive());
    timer.stop();
    clock.advance(1000);
    QCOMPARE(at.size(), 3);
    QVERIFY(!clock.hasTimers());

    // Stopped from its own handler.
    at.clear();
    timer.setHandler([&at, &clock, &timer] {
        at.append(clock.elapsed());
        if (at.size() == 2)
            timer.stop();
    });
    timer.start(100);
    clock.advance(1000);
    QCOMPARE(at, (QList<qint64>{1450, 1550}));
    QVERIFY(!timer.isActive());
    QVERIFY(!clock.hasTimers());
}

void TestClock::restartReplacesThePendingTimer()
{
    VirtualClock clock;
    QObject context;
    QList<qint64> at;
    ClockTimer timer(&context, &clock);
    timer.setHandler([&at, &clock] { at.append(clock.elapsed()); });
    timer.start(100);
    clock.advance(60);
    timer.start(100);
    clock.advance(1000);
    QCOMPARE(at, QList<qint64>{160});
}


void TestClock::destroyedClockTimerCancelsItsTimer()
{
    VirtualClock clock;
    QObject context;
    int calls = 0;
    {
        ClockTimer timer(&context, &clock);
        timer.setHandler([&calls] { ++calls; });
        timer.start(100);
        QVERIFY(clock.hasTimers());
    }
    QVERIFY(!clock.hasTimers());
    clock.advance(1000);
    QCOMPARE(calls, 0);
}

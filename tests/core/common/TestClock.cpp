#include "TestClock.h"

#include "VirtualClock.h"
#include "core/common/Clock.h"

#include <QTest>
#include <QTimer>

#include <memory>

namespace {

// A call that notes its name and the virtual time it ran at.
std::function<void()> note(QStringList *log, const VirtualClock *clock, const QString &name)
{
    return [log, clock, name] { log->append(QStringLiteral("%1@%2").arg(name).arg(clock->elapsed())); };
}

} // namespace

void TestClock::virtualClockFiresInDueOrder()
{
    VirtualClock clock;
    QObject context;
    QStringList log;
    clock.startTimer(300, &context, note(&log, &clock, QStringLiteral("c")));
    clock.startTimer(100, &context, [&log, &clock, &context] {
        log.append(QStringLiteral("a@%1").arg(clock.elapsed()));
        clock.startTimer(50, &context, note(&log, &clock, QStringLiteral("a+50")));
    });
    clock.startTimer(200, &context, note(&log, &clock, QStringLiteral("b1")));
    clock.startTimer(200, &context, note(&log, &clock, QStringLiteral("b2")));
    clock.advance(250);
    // A timer started by a firing one fires within the same advance when it falls due in it.
    QCOMPARE(log, (QStringList{QStringLiteral("a@100"), QStringLiteral("a+50@150"), QStringLiteral("b1@200"),
                               QStringLiteral("b2@200")}));
    QCOMPARE(clock.elapsed(), 250);

    clock.startTimer(0, &context, note(&log, &clock, QStringLiteral("now")));
    QVERIFY(clock.runUntil([&log] { return log.size() == 6; }));
    QCOMPARE(log.mid(4), (QStringList{QStringLiteral("now@250"), QStringLiteral("c@300")}));
    QCOMPARE(clock.now(), VirtualClock().now().addMSecs(300));
    QVERIFY(!clock.hasTimers());
}

void TestClock::virtualClockDropsCancelledAndOrphanedTimers()
{
    VirtualClock clock;
    QObject context;
    QStringList log;
    const Clock::TimerId cancelled = clock.startTimer(100, &context, note(&log, &clock, QStringLiteral("cancelled")));
    auto lost = std::make_unique<QObject>();
    clock.startTimer(100, lost.get(), note(&log, &clock, QStringLiteral("orphaned")));
    clock.startTimer(200, &context, note(&log, &clock, QStringLiteral("kept")));
    clock.cancelTimer(cancelled);
    lost.reset();
    clock.advance(1000);
    QCOMPARE(log, QStringList{QStringLiteral("kept@200")});
    QVERIFY(!clock.hasTimers());
}

void TestClock::systemClockFiresScaled()
{
    SystemClock clock(0.01);
    QObject context;
    bool fired = false;
    clock.startTimer(1000, &context, [&fired] { fired = true; });
    QVERIFY(!fired);
    // 10 ms real: the timeout is generous, yet an unscaled second would miss it.
    QTRY_VERIFY_WITH_TIMEOUT(fired, 900);
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

void TestClock::systemClockTakesItsTimersWithIt()
{
    QObject context;
    bool fired = false;
    bool witness = false;
    auto clock = std::make_unique<SystemClock>(0.01);
    clock->startTimer(1000, &context, [&fired] { fired = true; });
    clock.reset();
    SystemClock other(0.01);
    other.startTimer(3000, &context, [&witness] { witness = true; });
    QTRY_VERIFY_WITH_TIMEOUT(witness, 5000);
    QVERIFY(!fired);
}

void TestClock::clockTimerStartsAndStops()
{
    VirtualClock clock;
    QObject context;
    QList<qint64> at;
    ClockTimer timer(&context, &clock);
    timer.setHandler([&at, &clock] { at.append(clock.elapsed()); });
    QVERIFY(!timer.isActive());
    timer.start(100);
    QVERIFY(timer.isActive());
    clock.advance(250);
    QCOMPARE(at, QList<qint64>{100});
    QVERIFY(!timer.isActive());
    QVERIFY(!clock.hasTimers());

    timer.start();
    QVERIFY(timer.isActive());
    timer.stop();
    QVERIFY(!timer.isActive());
    QVERIFY(!clock.hasTimers());
    clock.advance(1000);
    QCOMPARE(at, QList<qint64>{100});

    // A handler may start its own single-shot timer again: that one is active and stops.
    timer.setHandler([&at, &clock, &timer] {
        at.append(clock.elapsed());
        timer.start(50);
    });
    at.clear();
    timer.start(100);
    clock.advance(100);
    QCOMPARE(at, QList<qint64>{1350});
    QVERIFY(timer.isActive());
    timer.stop();
    clock.advance(1000);
    QCOMPARE(at, QList<qint64>{1350});
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

void TestClock::setClockMovesTheTimer()
{
    VirtualClock first;
    VirtualClock second;
    QObject context;
    int calls = 0;
    ClockTimer timer(&context, &first);
    timer.setHandler([&calls] { ++calls; });
    timer.setClock(&second);
    QCOMPARE(&timer.clock(), &second);
    QVERIFY(!timer.isActive());
    timer.start(100);
    QVERIFY(!first.hasTimers());
    first.advance(1000);
    QCOMPARE(calls, 0);
    second.advance(100);
    QCOMPARE(calls, 1);

    // A running timer takes its wait along.
    timer.start(100);
    timer.setClock(&first);
    QVERIFY(timer.isActive());
    QVERIFY(!second.hasTimers());
    second.advance(1000);
    QCOMPARE(calls, 1);
    first.advance(100);
    QCOMPARE(calls, 2);
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

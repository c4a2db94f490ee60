#include "TestTask.h"

#include "VirtualClock.h"
#include "core/common/ClockPause.h"
#include "core/common/Task.h"

#include <QCoreApplication>
#include <QTest>

#include <memory>

namespace {

// Counts the end of the one live copy: a moved-from guard counts nothing, so a count of 1
// means the frame's own copy ended exactly once.
struct Guard
{
    int *ends;
    explicit Guard(int *counter) : ends(counter) {}
    Guard(Guard &&other) noexcept : ends(std::exchange(other.ends, nullptr)) {}
    Guard &operator=(Guard &&) = delete;
    ~Guard()
    {
        if (ends)
            ++*ends;
    }
};

// A wait the test ends by hand: it keeps the suspended coroutine and counts its awaiters' ends.
struct Gate
{
    std::coroutine_handle<> waiting;
    int awaiterEnds = 0;
    void open() { std::exchange(waiting, {}).resume(); }

    struct Wait
    {
        Gate *gate;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { gate->waiting = handle; }
        void await_resume() const noexcept {}
        ~Wait() { ++gate->awaiterEnds; }
    };
    Wait wait() { return Wait{this}; }
};

Task<int> valueAfter(Gate *gate, int value, QStringList *log)
{
    log->append(QStringLiteral("inner before"));
    co_await gate->wait();
    log->append(QStringLiteral("inner after"));
    co_return value;
}

Task<int> middle(Gate *gate, QStringList *log)
{
    const int value = co_await valueAfter(gate, 40, log);
    log->append(QStringLiteral("middle %1").arg(value));
    co_return value + 1;
}

Task<int> outer(Gate *gate, QStringList *log)
{
    const int value = co_await middle(gate, log);
    log->append(QStringLiteral("outer %1").arg(value));
    co_return value + 1;
}

// Waits at the gate with a guard in its frame (the argument) and one in its body.
Task<void> guardedWait(Guard argument, Gate *gate, int *localEnds, QStringList *log)
{
    Q_UNUSED(argument)
    const Guard local(localEnds);
    co_await gate->wait();
    log->append(QStringLiteral("resumed"));
}

Task<void> awaitsGuarded(Gate *gate, int *ends, QStringList *log)
{
    const Guard local(ends);
    co_await guardedWait(Guard(ends), gate, ends, log);
    log->append(QStringLiteral("outer resumed"));
}

Task<void> pauseThenNote(VirtualClock *clock, int ms, QObject *context, QStringList *log, QString name)
{
    co_await ClockPause(*clock, ms, context);
    log->append(QStringLiteral("%1@%2").arg(name).arg(clock->elapsed()));
}

} // namespace


void TestTask::nestedTasksHandBackValuesInOrder()
{
    Gate gate;
    QStringList log;
    Task<int> task = outer(&gate, &log);
    // Two levels down to the first wait, within the call.
    QCOMPARE(log, QStringList{QStringLiteral("inner before")});
    QVERIFY(!task.isDone());
    gate.open();
    QCOMPARE(log, (QStringList{QStringLiteral("inner before"), QStringLiteral("inner after"),
                               QStringLiteral("middle 40"), QStringLiteral("outer 41")}));
    QVERIFY(task.isDone());
    QCOMPARE(task.result(), 42);
    QCOMPARE(gate.awaiterEnds, 1);
}


void TestTask::whenDoneIsCalledOnceAndAtOnceWhenDone()
{
    Gate gate;
    QStringList log;
    Task<int> task = valueAfter(&gate, 5, &log);
    int calls = 0;
    bool doneWhenCalled = false;
    task.whenDone([&calls, &doneWhenCalled, &task] {
        ++calls;
        doneWhenCalled = task.isDone();
    });
    QCOMPARE(calls, 0);
    gate.open();
    QCOMPARE(calls, 1);
    QVERIFY(doneWhenCalled);

    int late = 0;
    task.whenDone([&late] { ++late; });
    QCOMPARE(late, 1);
    QCOMPARE(calls, 1);
}

void TestTask::observerPostsTheRelease()
{
    Gate gate;
    QStringList log;
    int argumentEnds = 0;
    int localEnds = 0;
    auto owned = std::make_unique<Task<void>>(guardedWait(Guard(&argumentEnds), &gate, &localEnds, &log));
    owned->whenDone([&owned] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&owned] { owned.reset(); }, Qt::QueuedConnection);
    });
    gate.open();
    QVERIFY(owned);
    QVERIFY(owned->isDone());
    QCOMPARE(log, QStringList{QStringLiteral("resumed")});
    // The body's locals end with the body; the frame, with its argument, stays until released.
    QCOMPARE(localEnds, 1);
    QCOMPARE(argumentEnds, 0);
    QCoreApplication::sendPostedEvents();
    QVERIFY(!owned);
    QCOMPARE(argumentEnds, 1);
    QCOMPARE(localEnds, 1);
    QCOMPARE(gate.awaiterEnds, 1);
}

void TestTask::destroyingAnUnfinishedTaskAbandonsIt()
{
    Gate gate;
    QStringList log;
    int argumentEnds = 0;
    int localEnds = 0;
    {
        const Task<void> task = guardedWait(Guard(&argumentEnds), &gate, &localEnds, &log);
        QVERIFY(gate.waiting);
        QCOMPARE(argumentEnds + localEnds + gate.awaiterEnds, 0);
    }
    QCOMPARE(argumentEnds, 1);
    QCOMPARE(localEnds, 1);
    QCOMPARE(gate.awaiterEnds, 1);
    gate.waiting = {}; // its frame is gone: never resumed

    // Two levels, let go by assigning over the outer task: the inner one goes with it.
    int ends = 0;
    Task<void> chain = awaitsGuarded(&gate, &ends, &log);
    QVERIFY(gate.waiting);
    QCOMPARE(ends, 0);
    chain = Task<void>();
    QCOMPARE(ends, 3);
    QCOMPARE(gate.awaiterEnds, 2);
    QVERIFY(!chain.isValid());
    gate.waiting = {};
    QCOMPARE(log, QStringList{});
}

void TestTask::pausesResumeInTimeOrder()
{
    VirtualClock clock;
    QObject owner;
    QStringList log;
    const Task<void> late = pauseThenNote(&clock, 300, &owner, &log, QStringLiteral("late"));
    const Task<void> early = pauseThenNote(&clock, 100, &owner, &log, QStringLiteral("early"));
    QVERIFY(clock.runUntil([&late, &early] { return late.isDone() && early.isDone(); }));
    QCOMPARE(log, (QStringList{QStringLiteral("early@100"), QStringLiteral("late@300")}));
}


void TestTask::pauseResumesFromTheEventQueue()
{
    VirtualClock clock;
    QObject owner;
    QStringList log;
    const Task<void> task = pauseThenNote(&clock, 100, &owner, &log, QStringLiteral("a"));
    clock.advance(100);
    // The timer has fired, but the coroutine goes on only from the event queue.
    QVERIFY(!clock.hasTimers());
    QVERIFY(log.isEmpty());
    QVERIFY(!task.isDone());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(log, QStringList{QStringLiteral("a@100")});
    QVERIFY(task.isDone());

    // No wait at all for a pause of nothing.
    const Task<void> none = pauseThenNote(&clock, 0, &owner, &log, QStringLiteral("none"));
    QVERIFY(none.isDone());
}

void TestTask::droppedPauseNeverResumes()
{
    VirtualClock clock;
    QObject owner;
    QStringList log;

    // Let go before its timer: the timer goes too.
    Task<void> early = pauseThenNote(&clock, 100, &owner, &log, QStringLiteral("early"));
    QVERIFY(clock.hasTimers());
    early = Task<void>();
    QVERIFY(!clock.hasTimers());

    // Let go after its timer fired, with the resumption already queued.
    auto queued = std::make_unique<Task<void>>(pauseThenNote(&clock, 100, &owner, &log, QStringLiteral("queued")));
    clock.advance(100);
    queued.reset();
    QCoreApplication::sendPostedEvents();

    // Its context goes after the timer fired: the queued resumption goes with it.
    auto context = std::make_unique<QObject>();
    const Task<void> orphan = pauseThenNote(&clock, 100, context.get(), &log, QStringLiteral("orphan"));
    clock.advance(100);
    context.reset();
    QCoreApplication::sendPostedEvents();
    QVERIFY(!orphan.isDone());
    QCOMPARE(log, QStringList{});
}

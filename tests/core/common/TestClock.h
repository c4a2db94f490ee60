#pragma once
#include <QObject>

// The clocks every timer of the program runs on: the test's virtual one, the system one with
// its time scale, and the restartable timer the link and the poll keep on either.
class TestClock : public QObject
{
    Q_OBJECT
private slots:
    void systemClockFiresScaled();
    void systemClockDropsCancelledAndOrphanedTimers();
    void repeatingTimerFiresUntilStopped();
    void restartReplacesThePendingTimer();
    void destroyedClockTimerCancelsItsTimer();
};

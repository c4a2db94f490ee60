#pragma once
#include <QObject>

// The coroutine every modem conversation is written as: where it runs, how values come back
// through nested waits, how its end is told and how an unfinished one is let go; and the pause
// on a clock, which resumes from the event queue.
class TestTask : public QObject
{
    Q_OBJECT
private slots:
    void nestedTasksHandBackValuesInOrder();
    void whenDoneIsCalledOnceAndAtOnceWhenDone();
    void observerPostsTheRelease();
    void destroyingAnUnfinishedTaskAbandonsIt();
    void pausesResumeInTimeOrder();
    void pauseResumesFromTheEventQueue();
    void droppedPauseNeverResumes();
};

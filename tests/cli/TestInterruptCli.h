#pragma once
#include <QObject>

// Signals and broken outputs in the command-line tool: an interrupt never leaves a terminal with
// half a profile, and a result that cannot be written is an error, not a silent success.
class TestInterruptCli : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void interruptLeavesPairsWhole_data();
    void interruptLeavesPairsWhole();
    void killedSendIsNeverSentTwice();
    void resultThatCannotBeWrittenFails();
    void closedPipeDoesNotKill();
};

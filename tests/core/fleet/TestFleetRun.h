#pragma once
#include <QObject>

// A profile command for several terminals over a pool of two kvrsim lines, pipelined.
class TestFleetRun : public QObject
{
    Q_OBJECT
private slots:
    void readOverTwoLinesWithASilentTerminal();
    void sendProfileWaitsForBothConfirmations();
    void answerInTheStoreAtTheDeadlineCounts();
    void silentModemLeavesThePool();
};

#pragma once
#include <QObject>

// The owner of a modem line: operations one at a time, the poll queued behind them, the break
// and the loss of the port, on a virtual clock.
class TestModemLine : public QObject
{
    Q_OBJECT
private slots:
    void operationsRunOneAtATimeInOrder();
    void pollTickDroppedWhileOneWaits();
    void breakHoldsForTheRunningOperationOnly();
    void lostPortEndsTheOperationAtOnce();
    void abandonedOperationLeavesTheLineUsable();
    void everyTicketEndsOnceWhenItsOwnerGoes();
    void everyTicketEndsOnceWhenTheLineGoes();
    void submitAfterShutdownIsDropped();
    void outcomesTellHowEachEnded();
};

#pragma once
#include <QObject>

// The fleet run's order of outcomes and its interrupt, over scripted routes on a virtual clock.
class TestFleetRunOrder : public QObject
{
    Q_OBJECT
private slots:
    void outcomesAtOnceComeInTerminalOrder();
    void emptyRunFinishesFromTheEventLoop();
    void poolSendsOneAtATimeAndLooksOnceMore();
    void pollUnderWayAtTheDeadlineIsNotTheLastLook();
    void interruptOnALineCompletesTheSendUnderWay();
    void interruptOnAGatewayWaitsForEverySend();
    void deadLineHandsItsTerminalsToTheOther();
    void lastLineOutEndsWhatWasNotSent();
    void unknownSendIsNotSentAgain();
    void sendNotAwaitedIsDoneOnceGone();
};

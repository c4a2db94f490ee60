#pragma once
#include <QObject>

// send-profile, read-profile, poll and send-gprs against kvrsim and its terminals.
class TestSmsTransferCli : public QObject
{
    Q_OBJECT
private slots:
    void sendThenReadBack();
    void readProfileWaitsInVain();
    void networkShowsAnotherNumberForm();
    void fleetFromTheAddressBook();
    void fleetOverAModemPool();
    void fleetWithARefusal();
    void poolPortThatDoesNotOpen();
    void fleetThroughAGateway_data();
    void fleetThroughAGateway();
    void tasksFollowTheAnswers();
    void twoWorkstationsOnOneGateway();
    void profileLeftInPartIsCompletedFirst();
    void refusedGprs();
    void gatewayPollThatCannotMark();
    void noHistoryIsSaidLoudly();
    void gprsPasswordSources();
    void usageErrors_data();
    void usageErrors();
};

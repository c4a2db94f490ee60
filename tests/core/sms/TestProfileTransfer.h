#pragma once
#include <QObject>

// The profile transfer against kvrsim and its simulated terminals: module sends, the poll,
// read-back to a file, GPRS settings, foreign messages, a silent or refusing modem, and
// profile scenarios sent through the transmit queue.
class TestProfileTransfer : public QObject
{
    Q_OBJECT
private slots:
    void profileFileSentAndConfirmed();
    void readBackEqualsTerminalImage();
    void gprsSettingsConfirmed();
    void twoTerminalsInOnePoll();
    void foreignMessagesIgnoredAndDeleted();
    void silentModem();
    void slowNetworkStillPasses();
    void errorForPrompt();
    void refusals();
    void scenarioSendsEditedImage();
    void scenarioRefusedSendEnds();
    void runningScenarioQuestion();
    void pollHeldOff();
};

#pragma once
#include <QObject>

// The profile transfer against kvrsim and its simulated terminals: module sends, the poll,
// read-back to a file, foreign messages, a silent, slow or refusing modem, and profile
// scenarios sent through the transmit queue.
class TestProfileTransfer : public QObject
{
    Q_OBJECT
private slots:
    void profileFileSentAndConfirmed();
    void twoTerminalsReadBackInOnePoll();
    void readRowWaitsForItsOutcome();
    void unsavedProfileStaysInTheModem();
    void modemLeftInADataCallIsBroughtBack();
    void textModeModemTakesPduModeFirst();
    void operatorsMessagesJournalledBeforeDeletion();
    void slowListingKeepsWaiting();
    void modemFaults_data();
    void modemFaults();
    void slowNetworkStillPasses();
    void lostFinalAnswerIsUnknown();
    void scenarioSendsEditedImage();
    void newScenarioReplacesRunning();
};

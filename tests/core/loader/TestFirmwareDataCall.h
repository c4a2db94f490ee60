#pragma once
#include <QObject>

// The whole load of "Загрузить" and the break of "Прервать передачу", against kvrsim.
class TestFirmwareDataCall : public QObject
{
    Q_OBJECT
private slots:
    void fullLoad();
    void userBreakDuringBlockWait();
    void terminalHangsUp();
    void finishedLoadLastsUntilTheNextDial();
    void failedDialIsNotHungUp();
    void dialThatTimesOutIsHungUp();
    void missingSecondFileRefusedBeforeDialling();
    void refusedBeforeDialling_data();
    void refusedBeforeDialling();
    void silentModem();
    void startsAndResumesRefusedBeforeDialling();
    void endlessRepeatsEndTheLoad();
    void breakBeforeTheDialDialsNothing();
    void incomingCallDuringTheDial();
    void unknownDialOutcomeHangsUp();
    void loadAndPollOnTwoLines();
};

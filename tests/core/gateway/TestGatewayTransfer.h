#pragma once
#include <QObject>

// The profile transfer through a real gammu-smsd (gammu's dummy phone, SQLite) with kvrsim
// playing the network behind it.
class TestGatewayTransfer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void configurationFiles();
    void sameRecordsAsTheModem();
    void readBackAndLeaveForeignRows();
    void refusedByTheGateway();
    void brokenOffSendsAreTakenBack();
    void tablesCheckedByTheirColumns();
    void lockedDatabaseIsBusy();
    void unmarkableRowsAreLeftAlone();
    void renamedTables();
    void stoppedGatewayIsSaid();
    void phoneIdPinsTheSim();
    void restartedDatabaseIsReopened();
    void reopeningIsSpaced();
    void inboxLookedAtOftenWhileARunWaits();
    void twoWorkstationsShareOneInbox_data();
    void twoWorkstationsShareOneInbox();
};

#pragma once
#include <QObject>

// kvrsetup-cli modem-info and at, run as programs against the modem simulator.
class TestLinkCli : public QObject
{
    Q_OBJECT
private slots:
    void modemInfo();
    void modemInfoSilent();
    void modemInfoPortMissing();
    void portBusyNamesItsHolder();
    void staleRootLockNoObstacleToUser();
    void usageErrors_data();
    void usageErrors();
    void atCommands();
    void atStopsAtFirstFailure();
    void atWithoutEcho();
    void modemInfoTypeRefused();
    void portLostEndsCommand();
};

#pragma once
#include <QObject>

// The link window (offscreen) against the modem simulator.
class TestLinkWindow : public QObject
{
    Q_OBJECT
private slots:
    void checkAgainstSimulator();
    void checkAgainstSilentModem();
    void portThatCannotOpen();
    void modesShowOneFrame();
    void modeGuardKeepsFrame();
    void testAreaSendsAndLogsInColour();
    void clearEmptiesLogs();
    void closingDuringCheck();
    void escapeKeepsWindowOpen();
    void lostPortShown();
    void halvesOnResize();
    void logBoxLines();
    void logBoxKeepsNewestLines();
};

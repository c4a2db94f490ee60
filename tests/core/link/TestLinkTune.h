#pragma once
#include <QObject>

class TestLinkTune : public QObject
{
    Q_OBJECT
private slots:
    void settingsString();
    void infoText_data();
    void infoText();
    void deviceNames();
    void opensPseudoTerminal();
    void reopenCloses();
    void linkAndTargetShareOneLock();
    void lockFileTakenOverAndReleased();
    void missingDevice();
    void badParity();
};

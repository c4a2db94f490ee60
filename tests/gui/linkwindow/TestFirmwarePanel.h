#pragma once
#include <QObject>

// The firmware panel of the link window (offscreen), with loads against kvrsim.
class TestFirmwarePanel : public QObject
{
    Q_OBJECT
private slots:
    void noLoadWithoutTheBook();
    void listsAndModes();
    void chooseFiles();
    void pathsAndPositionThroughDefaultIni();
    void loadAgainstSimulator();
    void breakButtonDuringLoad();
    void closingDuringLoad();
    void breakDuringTheCheckDialsNothing();
    void refusalsBeforeTheQuestion();
};

#pragma once
#include <QObject>

// One firmware for several terminals over a pool of kvrsim boot-loader lines.
class TestUploadRollOut : public QObject
{
    Q_OBJECT
private slots:
    void twoLinesShareThreeTerminals();
    void settledTerminalsTakeNoLine();
    void interruptFailsTheRestOnce();
    void closedPortEndsItsTerminalOnly();
};

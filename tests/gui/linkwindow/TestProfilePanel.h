#pragma once
#include <QObject>

// The profile mode of the link window: its controls and captions, the check-box pair and
// the poll switch, the operator's refusals, a profile sent and confirmed from the window
// against kvrsim, and the poll's mode switch that asks nothing.
class TestProfilePanel : public QObject
{
    Q_OBJECT
private slots:
    void controlsAndCaptions();
    void refusalsShown();
    void sendAndConfirmFromWindow();
    void pollKeepsTheShownMode();
    void runningScenarioQuestion();
    void throughAGateway();
    void closingDuringProfileSend();
};

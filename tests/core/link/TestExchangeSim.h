#pragma once
#include <QObject>

// The exchange layer over a real pseudo-terminal against the modem simulator.
class TestExchangeSim : public QObject
{
    Q_OBJECT
private slots:
    void testCmdModeAnswers();
    void testCmdModeSilentTimesOut();
    void errorAnswer();
    void connectPassesConnec();
    void dialRefusals_data();
    void dialRefusals();
    void sendDataOverCall();
    void send3PlusEscapes();
    void userBreakDuringWait();
    void slowModem();
    void garbledAnswerTimesOut();
    void unsolicitedRing();
    void echoOff();
    void pacedAtBaudRate();
};

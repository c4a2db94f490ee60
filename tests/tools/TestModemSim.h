#pragma once
#include <QObject>

// kvrsim as the link sees it: the modem habits every later test relies on.
class TestModemSim : public QObject
{
    Q_OBJECT
private slots:
    void setupCommandsAnswerOk();
    void textBeforeAtIsSkipped();
    void spacedPlusStaysData();
    void keyAbortsDial();
    void dialRefusedWithoutTone();
    void numericResultCodes();
    void unsolicitedLinesBetweenCommands();
    void stateChangesTraced();
};

#pragma once
#include <QObject>

// The AT scenario engine: answer matching, the watchdog and its break-ins, the buffer limit,
// and its SMS send against kvrsim's message store.
class TestScenarioAt : public QObject
{
    Q_OBJECT
private slots:
    void findAnswer_data();
    void findAnswer();
    void watchdogBreaksInThenGivesUp();
    void breakInEndsOnItsOwnAnswer();
    void bufferOverflows();
    void smsSend_data();
    void smsSend();
};

#pragma once
#include <QObject>

// Profile scenarios: the step machine and its queue items, errors, and
// the transmit queue with its tries against kvrsim.
class TestProfileScenario : public QObject
{
    Q_OBJECT
private slots:
    void queuesBothPackets();
    void rejectedNumber();
    void queueRetriesRefusedSendThenEnds();
    void queueDropsAfterLastTry();
};

#pragma once
#include <QObject>

// kvrsim's message store in PDU mode and the terminals behind its network, as the program
// sees them on the line.
class TestSmsStore : public QObject
{
    Q_OBJECT
private slots:
    void submitChecks();
    void terminalAnswersIntoTheStore();
};

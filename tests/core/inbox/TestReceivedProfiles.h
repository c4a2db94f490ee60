#pragma once
#include <QObject>

// Profiles collected per sender and saved under BIN: entries, removal, files and failures.
class TestReceivedProfiles : public QObject
{
    Q_OBJECT
private slots:
    void savesCompleteProfile();
    void halfProfileWaits();
    void severalTerminalsInOnePoll();
    void senderKeepsItsEntry();
    void removeReceivedProfile();
    void unwritableFileIsKept();
    void refusedSenders();
};

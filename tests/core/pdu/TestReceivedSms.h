#pragma once
#include <QObject>

// Received PDUs: the terminals' answers and confirmations, foreign messages and hostile text,
// and PDUs made by an independent encoder; the general decoder shown to operators.
class TestReceivedSms : public QObject
{
    Q_OBJECT
private slots:
    void answersAreStored();
    void confirmations();
    void foreignMessages_data();
    void foreignMessages();
    void hostileText_data();
    void hostileText();
    void sendersOutsideFileNames();
    void sendersMatchAsSubscribers();
    void gammuMadeMessages();
    void generalDecoder();
};

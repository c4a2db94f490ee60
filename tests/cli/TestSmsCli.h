#pragma once
#include <QObject>

// kvrsetup-cli decode-pdu and diff, run as a separate process.
class TestSmsCli : public QObject
{
    Q_OBJECT
private slots:
    void decodeReceived();
    void decodeSent();
    void decodeFailures();
    void decodeOperatorsMessages();
    void diffLists_data();
    void diffLists();
    void diffFailures();
};

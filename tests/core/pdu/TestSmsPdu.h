#pragma once
#include <QObject>

// The PDU texts the system sends: phone addresses, transfer records, the module builder,
// the scenario builder and the GPRS record, byte for byte and through an independent decoder.
class TestSmsPdu : public QObject
{
    Q_OBJECT
private slots:
    void phoneAddresses();
    void transferRecords();
    void recordSum();
    void moduleBuilder();
    void moduleBuilderRandom();
    void scenarioNumbers();
    void scenarioBuilder();
    void scenarioBuilderRandom();
    void gprsRecord();
    void gprsRefusals_data();
    void gprsRefusals();
    void gammuAgrees();
    void operatorsMessagesDecoded();
};

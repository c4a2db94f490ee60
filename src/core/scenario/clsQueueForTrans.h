#pragma once

#include "core/pdu/PacketType.h"

#include <QString>

// How a queued message travels. Only SMS is used: the scenario's data-call and GPRS
// settings have no sender.
enum class TransportType : qint32 { Sms = 0, DataCall = 1, Gprs = 2 };

// One PDU queued by a profile scenario for the transmit queue.
struct clsQueueForTrans
{
    QString strData;                              // the whole PDU, SMS-centre part first
    QString PhoneNumber;                          // the scenario's terminal
    TransportType transport = TransportType::Sms; // TransportType
    qint32 TimeOut4Try = 0;                       // seconds (ticks of tmrSecond) one try may take
    qint32 DelayBetweenTries = 0;                 // seconds between a failed try and the next
    qint16 NumTries = 1;                          // tries in all, the first included
    PacketType packet = PacketType::ProfileBlock1; // what the PDU carries, for the log
    int cmgsLength = 0;                           // TPDU octets: the number after "AT+CMGS="

    bool operator==(const clsQueueForTrans &) const = default;
};

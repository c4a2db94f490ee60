#pragma once

#include "core/pdu/PacketType.h"
#include "core/pdu/ScenarioPdu.h"
#include "core/scenario/clsQueueForTrans.h"

#include <QObject>
#include <QString>
#include <array>

// One profile transfer to one terminal: the two profile packets, the numbers, the time-outs,
// tries and delays of the three transports, and the step machine HScenario1 that turns the
// packets into two SMS PDUs and hands each to the owner through Set2Queue.
class clsScenarioProfile : public QObject
{
    Q_OBJECT
public:
    static constexpr int PacketSize = 131; // positions 0..130; 0..127 are transmitted

    // The four packet arrays.
    enum class Packet { ToSendPACK033, ToSendPACK035, ReceivedPACK033, ReceivedPACK035 };

    explicit clsScenarioProfile(QObject *parent = nullptr);

    qint32 TimeOutSMS = 40;
    qint32 TimeOutData = 40;
    qint32 TimeOutGPRS = 40;
    qint16 NumTriesSMS = 1;
    qint16 NumTriesData = 3;
    qint16 NumTriesGPRS = 1;
    qint32 DelaySMS = 0;
    qint32 DelayData = 5;
    qint32 DelayGPRS = 1;
    QString SMSCNumber;
    QString PhoneNumber;

    // Position i of a packet array. Outside 0..130 the read fails (ok false, result 0) and
    // the write changes nothing and returns false.
    quint8 packetByte(Packet packet, int i, bool *ok = nullptr) const;
    bool setPacketByte(Packet packet, int i, quint8 value);
    // Positions 0..129 from a 130-byte file block (ToSendPACK033/035).
    void setPacket(Packet packet, QByteArrayView block);

    void Reset();
    // Reset true: the step machine back to 0. Otherwise queues what is not yet queued, and
    // asks to be dropped once both packets are finished. Add2Queue and strIn are not read.
    void HScenario1(bool Reset, bool Add2Queue, const QString &strIn);
    // A queued packet was sent, or dropped after its tries: once both are, the scenario
    // is over and says so with KillMe.
    void PacketFinished(PacketType packet);

    QString MakePDUNumber(QString &mPhoneNumber, bool IsPhoneNeed);
    QString ConvertArr2PDU(QByteArrayView arr, const QString &mHeader);

    QString errorText() const { return m_errorText; }
    const ScenarioPdu::PduParts &pduParts() const { return m_pduParts; }
    int scenarioStep() const { return m_scenarioStep; }
    int scenarioSubStep() const { return m_scenarioSubStep; }

signals:
    // A PDU for the transmit queue: text, number, transport, time-out, delay, tries, then
    // what it carries and the number for "AT+CMGS=".
    void Set2Queue(const QString &s2Send, const QString &sNumber, TransportType transport, qint32 TimeOut,
                   qint32 Delay, qint16 NumTries, PacketType packet, int cmgsLength);
    void Error(const QString &sDescription);
    void KillMe(const QString &sPhoneNumber);

private:
    // Builds one packet's PDU and queues it; false when it cannot be built.
    bool queuePacket(Packet source, PacketType type, const QString &header, int stepAfter);

    std::array<std::array<quint8, PacketSize>, 4> m_packets{};
    QString m_errorText;
    ScenarioPdu::PduParts m_pduParts;
    int m_scenarioStep = 0;    // 0 nothing queued, 1 PACK033 queued, 2 both queued
    int m_scenarioSubStep = 0; // 3 once both queued packets are finished
    bool m_finished033 = false;
    bool m_finished035 = false;
};

#include "core/scenario/clsScenarioProfile.h"

clsScenarioProfile::clsScenarioProfile(QObject *parent) : QObject(parent)
{
    Reset();
}

quint8 clsScenarioProfile::packetByte(Packet packet, int i, bool *ok) const
{
    const bool inRange = i >= 0 && i < PacketSize;
    if (ok)
        *ok = inRange;
    return inRange ? m_packets[int(packet)][i] : 0;
}

bool clsScenarioProfile::setPacketByte(Packet packet, int i, quint8 value)
{
    if (i < 0 || i >= PacketSize)
        return false;
    m_packets[int(packet)][i] = value;
    return true;
}

void clsScenarioProfile::setPacket(Packet packet, QByteArrayView block)
{
    for (int i = 0; i < 130 && i < block.size(); ++i)
        m_packets[int(packet)][i] = quint8(block.at(i));
}

void clsScenarioProfile::Reset()
{
    SMSCNumber.clear();
    PhoneNumber.clear();
    HScenario1(true, false, QString());
    DelaySMS = 0;
    TimeOutSMS = TimeOutData = TimeOutGPRS = 40;
    DelayData = 5;
    DelayGPRS = 1;
    NumTriesSMS = 1;
    NumTriesData = 3;
    NumTriesGPRS = 1;
}

QString clsScenarioProfile::MakePDUNumber(QString &mPhoneNumber, bool IsPhoneNeed)
{
    return ScenarioPdu::MakePDUNumber(mPhoneNumber, IsPhoneNeed, m_errorText);
}

QString clsScenarioProfile::ConvertArr2PDU(QByteArrayView arr, const QString &mHeader)
{
    return ScenarioPdu::ConvertArr2PDU(arr, mHeader, SMSCNumber, PhoneNumber, m_pduParts, m_errorText);
}

bool clsScenarioProfile::queuePacket(Packet source, PacketType type, const QString &header, int stepAfter)
{
    const auto &bytes = m_packets[int(source)];
    const QString pdu = ConvertArr2PDU(QByteArrayView(reinterpret_cast<const char *>(bytes.data()), PacketSize),
                                       header);
    if (pdu.isEmpty())
        return false;
    m_scenarioStep = stepAfter;
    emit Set2Queue(pdu, PhoneNumber, TransportType::Sms, TimeOutSMS, DelaySMS, NumTriesSMS, type,
                   ScenarioPdu::tpduOctets(m_pduParts));
    return true;
}

void clsScenarioProfile::HScenario1(bool Reset, bool Add2Queue, const QString &strIn)
{
    Q_UNUSED(Add2Queue)
    Q_UNUSED(strIn)
    if (Reset) {
        m_scenarioSubStep = 0;
        m_scenarioStep = 0;
        m_finished033 = m_finished035 = false;
        return;
    }
    if (m_scenarioStep == 0) {
        const bool queued = queuePacket(Packet::ToSendPACK033, PacketType::ProfileBlock1, QStringLiteral("33"), 1)
                            && queuePacket(Packet::ToSendPACK035, PacketType::ProfileBlock2, QStringLiteral("35"), 2);
        if (!queued) {
            emit Error(m_errorText + QStringLiteral(" шаг ") + QString::number(m_scenarioStep)
                       + QStringLiteral(" процедура ") + QStringLiteral("HScenario1"));
            m_scenarioStep = 0;
            m_scenarioSubStep = 0;
            this->Reset();
            return;
        }
    }
    if (m_scenarioStep == 2 && m_scenarioSubStep == 3)
        emit KillMe(PhoneNumber);
}

void clsScenarioProfile::PacketFinished(PacketType packet)
{
    if (packet == PacketType::ProfileBlock1)
        m_finished033 = true;
    else if (packet == PacketType::ProfileBlock2)
        m_finished035 = true;
    if (m_scenarioStep == 2 && m_finished033 && m_finished035) {
        m_scenarioSubStep = 3;
        HScenario1(false, false, QString());
    }
}

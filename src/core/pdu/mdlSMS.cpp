#include "core/pdu/mdlSMS.h"

#include "core/common/HexText.h"
#include "core/common/PhoneNumber.h"
#include "core/pdu/ReceivedSms.h"

namespace mdlSMS {

bool IsValidPhone(const QString &s)
{
    // A number past 20 digits would make an address no network takes, and a malformed PDU.
    return PhoneNumber::problem(s).isEmpty() && PhoneNumber::normalized(s) == s;
}

QString PhoneToPdu(QString &s)
{
    if (s.isEmpty())
        return {};
    QString type = QStringLiteral("81");
    if (s.startsWith(QLatin1Char('+'))) {
        type = QStringLiteral("91");
        s.remove(0, 1);
    }
    QString digits = s;
    if (digits.size() % 2 != 0)
        digits += QLatin1Char('F');
    QString out = type;
    for (qsizetype k = 0; k + 1 < digits.size(); k += 2) {
        out += digits.at(k + 1);
        out += digits.at(k);
    }
    return out;
}

QString PhoneDigitCount(const QString &a)
{
    const QString digits = a.mid(2);
    qsizetype n = digits.size();
    if (digits.contains(QLatin1Char('F')))
        --n;
    return HexText::byte(quint8(n & 0xFF));
}

int BuildSmsPdu(const TransferRecord &rec, const QString &da, const QString &sc, QString &out)
{
    out.clear();
    const QString userData = QStringLiteral("8C") + HexText::bytes(rec.octets());
    const QString tpdu = QStringLiteral("1100") + PhoneDigitCount(da) + da + QStringLiteral("00F6A7") + userData;
    const QString centre = sc.isEmpty() ? QStringLiteral("00") : HexText::byte(quint8(sc.size() / 2)) + sc;
    out = centre + tpdu;
    return int(tpdu.size() / 2);
}

QString confirmationLine(const ReceivedSms &sms)
{
    if (!sms.accepted())
        return {};
    switch (*sms.type) {
    case PacketType::GprsSettings:
        return QStringLiteral("Параметры GPRS загружены в терминал: ") + sms.sender + QStringLiteral("\r\n");
    case PacketType::ProfileBlock1:
        return QStringLiteral("Пакет 0x33h загружен в терминал: ") + sms.sender + QStringLiteral("\r\n");
    case PacketType::ProfileBlock2:
        return QStringLiteral("Пакет 0x35h загружен в терминал: ") + sms.sender + QStringLiteral("\r\n");
    case PacketType::ReadBlock1:
    case PacketType::ReadBlock2:
        break;
    }
    return {};
}

} // namespace mdlSMS

#include "core/pdu/ScenarioPdu.h"

#include "core/common/HexText.h"

namespace ScenarioPdu {

namespace {

// Two hex digits, high nibble first ("0" put in front of a single digit).
QString twoHex(int value)
{
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

QString MakePDUNumber(QString &mPhoneNumber, bool IsPhoneNeed, QString &ErrorText)
{
    if (mPhoneNumber.isEmpty()) {
        if (!IsPhoneNeed)
            return QStringLiteral("00");
        ErrorText = QStringLiteral("Не указан номер доставки, функция MAkePDUNumber");
        return {};
    }
    if (mPhoneNumber.startsWith(QLatin1Char('+')))
        mPhoneNumber.remove(0, 1);
    const qsizetype n = mPhoneNumber.size();
    if (n % 2 != 0)
        mPhoneNumber += QLatin1Char('F');
    QString d;
    d.reserve(mPhoneNumber.size());
    for (qsizetype i = 0; i + 1 < mPhoneNumber.size(); i += 2) {
        d += mPhoneNumber.at(i + 1);
        d += mPhoneNumber.at(i);
    }
    QString type;
    if (mPhoneNumber.startsWith(QLatin1Char('7')))
        type = QStringLiteral("91");
    else if (mPhoneNumber.startsWith(QLatin1Char('8')))
        type = QStringLiteral("81");
    if (type.isEmpty()) {
        ErrorText = IsPhoneNeed ? QStringLiteral("Неверный формат номера доставки, функция MAkePDUNumber")
                                : QStringLiteral("Неверный формат номера SMS центра, функция MAkePDUNumber");
        return {};
    }
    if (IsPhoneNeed)
        return twoHex(int(n)) + type + d;
    // The centre's octet count is written in decimal digits, as terminals have always received it.
    return QString::number(d.size() / 2 + 1).rightJustified(2, QLatin1Char('0')) + type + d;
}

QString ConvertArr2PDU(QByteArrayView arr, const QString &mHeader, const QString &SMSCNumber,
                       const QString &PhoneNumber, PduParts &parts, QString &ErrorText)
{
    QString centreNumber = SMSCNumber;
    const QString centre = MakePDUNumber(centreNumber, false, ErrorText);
    if (centre.isEmpty()) {
        ErrorText = QStringLiteral("Неверный формат номера SMS центра");
        return {};
    }
    QString phone = PhoneNumber;
    const QString destination = MakePDUNumber(phone, true, ErrorText);
    if (destination.isEmpty())
        return {};

    QString userData = mHeader;
    int sum = mHeader.toInt(nullptr, 16);
    for (int i = 0; i < DataOctets; ++i) {
        const quint8 b = i < arr.size() ? quint8(arr.at(i)) : 0;
        sum += b;
        const QString hex = twoHex(b);
        userData += hex.at(1); // low nibble first: 0x1A is written "A1"
        userData += hex.at(0);
    }
    userData += QStringLiteral("00").repeated(9);
    userData += HexText::byte(quint8((sum >> 8) & 0xFF)) + HexText::byte(quint8(sum & 0xFF));

    PduParts built = {centre,          QStringLiteral("11"), QStringLiteral("00"),
                      destination,     QStringLiteral("00"), QStringLiteral("04"),
                      QStringLiteral("A9"), QStringLiteral("8C"), userData};
    parts = built;
    QString pdu;
    for (const QString &p : built)
        pdu += p;
    return pdu;
}

int tpduOctets(const PduParts &parts)
{
    qsizetype chars = 0;
    for (int i = FirstOctetPart; i < PduPartCount; ++i)
        chars += parts[i].size();
    return int(chars / 2);
}

} // namespace ScenarioPdu

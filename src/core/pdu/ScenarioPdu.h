#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>

// The profile scenario's own PDU builder. Its constants differ from the module builder's
// (coding "04", validity "A9", data bytes written low nibble first, the SMS-centre length
// in decimal digits); terminals in the field rely on exactly these bytes.
namespace ScenarioPdu {

// The nine pieces of the last PDU built, in PDU order.
enum PduPart {
    SmsCentrePart,
    FirstOctetPart,
    MessageReferencePart,
    DestinationPart,
    ProtocolIdPart,
    DataCodingPart,
    ValidityPart,
    UserDataLengthPart,
    UserDataPart,
    PduPartCount
};
using PduParts = std::array<QString, PduPartCount>;

// Octets of a profile packet that are transmitted (positions 0..127 of the array).
constexpr int DataOctets = 128;

// Address of a destination (IsPhoneNeed true: digit count in hex, type, swapped digits)
// or of the SMS centre (IsPhoneNeed false: octet count in decimal, type, swapped digits).
// The type comes from the first digit: "7" -> "91", "8" -> "81". mPhoneNumber loses a
// leading "+" and gains the "F" of an odd count. An empty centre gives "00"; a rejected
// number gives "" with ErrorText set (ErrorText is not touched otherwise).
QString MakePDUNumber(QString &mPhoneNumber, bool IsPhoneNeed, QString &ErrorText);

// The whole PDU of one profile packet: centre part + "11" "00" destination "00" "04" "A9"
// "8C" + user data (mHeader, 128 data bytes low nibble first, nine "00", the 16-bit sum
// of header value and data high byte first). Bytes missing from a short arr count as 0.
// The numbers are not changed. On success the pieces go to parts; on failure the result
// is "" with ErrorText set and parts untouched.
QString ConvertArr2PDU(QByteArrayView arr, const QString &mHeader, const QString &SMSCNumber,
                       const QString &PhoneNumber, PduParts &parts, QString &ErrorText);

// TPDU octets of a built PDU (everything after the centre part): the number that goes
// after "AT+CMGS=". 154 for an 11-digit destination. The centre's decimal length octet
// is why this is counted from the pieces and not read back from the text.
int tpduOctets(const PduParts &parts);

} // namespace ScenarioPdu

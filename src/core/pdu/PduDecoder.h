#pragma once

#include <QByteArray>
#include <QString>

// A general reading of an SMS PDU (SMS-DELIVER, SMS-SUBMIT or SMS-STATUS-REPORT, SMS centre part first)
// by the field lengths the PDU itself announces, for showing traffic to an operator.
// The system's own acceptance of a received message is ReceivedSms, not this.

enum class PduKind { Deliver, Submit, StatusReport, Reserved };
enum class PduCoding { Gsm7Bit, EightBit, Ucs2, Reserved };
enum class ValidityFormat { None, Enhanced, Relative, Absolute };

struct PduAddress
{
    int digits = 0;    // announced digit count (semi-octets)
    quint8 type = 0;   // type-of-address octet (0x91 international, 0x81 national)
    QString number;    // "+" for an international number, then the digits; an alphanumeric one as its text
    bool international() const { return (type & 0x70) == 0x10; }
    bool alphanumeric() const { return (type & 0x70) == 0x50; }
};

struct DecodedPdu
{
    bool ok = false;
    QString error;             // what stopped the decoding (English, for the operator)

    int centreOctets = 0;      // length octet of the SMS centre part (0: the modem's own centre)
    PduAddress centre;
    quint8 firstOctet = 0;
    PduKind kind = PduKind::Reserved;
    bool userDataHeader = false;
    int messageReference = -1; // SMS-SUBMIT and SMS-STATUS-REPORT
    PduAddress address;        // sender of a DELIVER, destination of a SUBMIT, recipient of a STATUS-REPORT
    quint8 protocolId = 0;
    quint8 dataCodingScheme = 0;
    PduCoding coding = PduCoding::Reserved;
    int messageClass = -1;     // 0..3, -1 when the scheme names none
    ValidityFormat validityFormat = ValidityFormat::None;
    QByteArray validity;       // SUBMIT: 1 octet (relative) or 7
    QByteArray timeStamp;      // DELIVER, STATUS-REPORT: the 7 octets of the centre's time stamp
    QByteArray dischargeTime;  // STATUS-REPORT: the 7 octets of the discharge time
    int status = -1;           // STATUS-REPORT: TP-ST
    int userDataLength = 0;    // as announced: septets for 7-bit text, octets otherwise
    QByteArray userData;
    int trailingCharacters = 0; // text after the announced user data
};

namespace PduDecoder {
DecodedPdu decodePdu(const QString &pdu);

// Data coding scheme -> coding and message class (TS 23.038 general and class groups).
void interpretCoding(quint8 scheme, PduCoding &coding, int &messageClass);
// Relative validity period octet as a duration: "24 hours", "3 days", "30 minutes"...
QString relativeValidityText(quint8 vp);
// Minutes of a relative validity period octet.
int relativeValidityMinutes(quint8 vp);
// Seven semi-octet time stamp octets as "2024-05-06 07:08:09 +03:00" (years 70..99 are 19yy);
// empty when not 7 octets.
QString timeStampText(const QByteArray &octets);
// The message's text: GSM 7-bit or UCS-2 decoded (a user data header left out); 8-bit data as hex.
QString messageText(const DecodedPdu &d);
// Septets packed 7 bits to an octet, from the septet at skip on, in the GSM default alphabet.
QString gsm7Text(const QByteArray &packed, int septets, int skip = 0);
// TP-ST of a status report in words: "delivered", "still trying (30)", "failed (41)".
QString statusText(int status);
} // namespace PduDecoder

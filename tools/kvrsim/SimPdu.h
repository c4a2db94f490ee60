#pragma once

#include <QByteArray>
#include <QString>

// The simulator's own small PDU codec, written from the octet layout of GSM 03.40 and kept
// apart from the program's codec, so that a fault in one cannot hide in the other.
namespace SimPdu {

// An SMS-SUBMIT as the modem takes it after its prompt (hex text, SMS centre part first).
struct Submit
{
    bool ok = false;
    QString error;
    int tpduOctets = 0;    // everything after the centre part
    QString destination;   // "+" for an international number, then the digits
    quint8 dataCoding = 0;
    QByteArray userData;   // the user data octets (8-bit codings)
};
Submit parseSubmit(const QByteArray &hexText);

// Octets of an address: digit count, type 0x91 ("+..."), 0x81 (digits) or 0xD0 (letters,
// packed into 7-bit characters), then the digits or the packed letters.
QByteArray address(const QString &number);
// GSM 7-bit packing of plain ASCII letters and digits.
QByteArray pack7(const QByteArray &text);

// An SMS-DELIVER from sender through the centre +79168999100, time stamp fixed, as hex text.
// userDataLength is the announced length (septets for 7-bit text).
QByteArray deliver(const QString &sender, quint8 dataCoding, const QByteArray &userData, int userDataLength);
// TPDU octets of a PDU in hex text (after the centre part); -1 when it cannot tell.
int tpduOctets(const QByteArray &hexText);

} // namespace SimPdu

#pragma once

#include "core/pdu/TransferRecord.h"

#include <QString>

struct ReceivedSms;

// Phone numbers as PDU addresses, the module's PDU builder and the log line of a
// terminal's confirmation. PDUs are upper-case hex text, two digits per octet.
namespace mdlSMS {

// Every character a digit except that the first may be "+", and 3 to 20 digits.
bool IsValidPhone(const QString &s);

// "91" (s began with "+", which s loses) or "81", then the digits swapped pairwise,
// an odd count padded with "F": "+71234567890" -> "911732547698F0". Empty s gives "".
QString PhoneToPdu(QString &s);

// Digit count of an address made by PhoneToPdu, as two hex digits ("0B" for 11 digits).
QString PhoneDigitCount(const QString &a);

// SMS-SUBMIT of the record to da, through sc (both made by PhoneToPdu; empty sc leaves
// the choice of centre to the modem). out receives the whole PDU; the result is the
// number of TPDU octets, i.e. out without the SMS-centre part: the number for "AT+CMGS=".
int BuildSmsPdu(const TransferRecord &rec, const QString &da, const QString &sc, QString &out);

// The log line of a terminal's confirmation (0x33, 0x35, 0x57), ending in "\r\n"; empty for
// anything else.
QString confirmationLine(const ReceivedSms &sms);

} // namespace mdlSMS

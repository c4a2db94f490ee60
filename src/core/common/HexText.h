#pragma once

#include <QByteArray>
#include <QString>

// The one family of hexadecimal formatters (upper-case digits, no prefix) and readers.
namespace HexText {

// Two digits, high nibble first (0x05 -> "05").
QString byte(quint8 b);
// Digits without leading zeros (0x0A -> "A", 0 -> "0"); negatives as their 16-bit pattern.
QString number(qint64 v);
// Two digits per byte, each followed by separator when one is given ("05 FF ").
QString bytes(const QByteArray &data, QChar separator = QChar());
// Each byte without leading zeros, run together (0x0A 0x41 -> "A41"), as a failed answer is logged.
QString bytesUnpadded(const QByteArray &data);


// Reading hexadecimal text that came off the network: every read is bounds-checked.
// Value of one hex digit (either case), -1 when c is not one.
int digitValue(QChar c);
// The octet written by the two characters at 0-based position pos; -1 when they are
// missing or not both hex digits.
int octetAt(const QString &text, qsizetype pos);
// True when text has at least pos + count characters there and all are hex digits.
bool isHexRun(const QString &text, qsizetype pos, qsizetype count);
// count octets from pos (2 characters each); empty when any is missing or not hex.
QByteArray octetsAt(const QString &text, qsizetype pos, qsizetype count);

} // namespace HexText

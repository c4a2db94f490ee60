#pragma once

#include <QByteArray>
#include <QString>

// Reading hexadecimal PDU text that came off the network: every read is bounds-checked.
namespace HexText {

// Value of one hex digit (either case), -1 when c is not one.
int digitValue(QChar c);
// The octet written by the two characters at 0-based position pos; -1 when they are
// missing or not both hex digits.
int octetAt(const QString &text, qsizetype pos);
// True when text has at least pos + count characters there and all are hex digits.
bool isHexRun(const QString &text, qsizetype pos, qsizetype count);
// count octets from pos (2 characters each); empty when any is missing or not hex.
QByteArray octetsAt(const QString &text, qsizetype pos, qsizetype count);
// Upper-case hex of every octet, no separator.
QString toHex(const QByteArray &octets);

} // namespace HexText

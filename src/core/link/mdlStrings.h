#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Conversion routines shared by the serial link, the loader and the SMS transfer.
namespace mdlStrings {

// Two upper-case hex digits, high nibble first, no prefix (0x05 -> "05").
QString ByteToHex(quint8 b);

// Removes CR and LF from both ends, repeatedly; inner ones stay.
QString TrimCrLf(const QString &text);

// Plain sum (no wrap) of the first 138 octets of a transfer record: type byte,
// 130-byte block and 7-byte block. A shorter array sums what it has.
qint64 RecordSum(const QByteArray &record);

// The link talks in code page 1251, one character per byte. Files go through
// QStringDecoder("windows-1251"), but the link cannot: that decoder turns the one
// unassigned byte 0x98 into U+FFFD, so a binary answer would not survive the trip
// through text and back. This table maps 0x98 to U+0098 and is lossless both ways.
QChar ansiChar(quint8 b);
// Characters outside the code page become '?', as the system conversion does.
quint8 ansiByte(QChar c);
QString fromAnsi(const QByteArray &bytes);
QByteArray toAnsi(const QString &text);

// A line the modem may send at any moment on its own ("RING", "+CLIP: ...", "+CMTI: ...",
// "^BOOT..." status lines): never a command's answer unless the command waits for it.
bool isUnsolicited(const QString &line);
} // namespace mdlStrings

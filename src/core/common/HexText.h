#pragma once

#include <QByteArray>
#include <QString>

// The one family of hexadecimal formatters: upper-case digits, no prefix.
namespace HexText {

// Two digits, high nibble first (0x05 -> "05").
QString byte(quint8 b);
// Digits without leading zeros (0x0A -> "A", 0 -> "0"); negatives as their 16-bit pattern.
QString number(qint64 v);
// Two digits per byte, each followed by separator when one is given ("05 FF ").
QString bytes(const QByteArray &data, QChar separator = QChar());
// Each byte without leading zeros, run together (0x0A 0x41 -> "A41"), as a failed answer is logged.
QString bytesUnpadded(const QByteArray &data);

} // namespace HexText

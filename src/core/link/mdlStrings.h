#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

// Text routines of the serial link.
namespace mdlStrings {

// Two upper-case hex digits, high nibble first, no prefix (0x05 -> "05").
QString ByteToHex(quint8 b);

// Removes CR and LF from both ends, repeatedly; inner ones stay.
QString TrimCrLf(const QString &text);

// A line the modem may send at any moment on its own ("RING", "+CLIP: ...", "+CMTI: ...",
// "^BOOT..." status lines): never a command's answer unless the command waits for it.
bool isUnsolicited(const QString &line);
} // namespace mdlStrings

#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace CodePage {

// The link talks in code page 1251, one character per byte. Files go through
// QStringDecoder("windows-1251"), but the link cannot: that decoder turns the one
// unassigned byte 0x98 into U+FFFD, so a binary answer would not survive the trip
// through text and back. This table maps 0x98 to U+0098 and is lossless both ways.
QChar ansiChar(quint8 b);
// Characters outside the code page become '?', as the system conversion does.
quint8 ansiByte(QChar c);
QString fromAnsi(const QByteArray &bytes);
QByteArray toAnsi(const QString &text);

} // namespace CodePage

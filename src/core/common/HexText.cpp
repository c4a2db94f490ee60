#include "core/common/HexText.h"

namespace HexText {

QString byte(quint8 b)
{
    static const char digits[] = "0123456789ABCDEF";
    const QChar pair[2] = {QLatin1Char(digits[b >> 4]), QLatin1Char(digits[b & 0x0F])};
    return QString(pair, 2);
}

QString number(qint64 v)
{
    if (v < 0)
        v &= 0xFFFF;
    return QString::number(v, 16).toUpper();
}

QString bytes(const QByteArray &data, QChar separator)
{
    QString hex;
    hex.reserve(data.size() * (separator.isNull() ? 2 : 3));
    for (char b : data) {
        hex += byte(quint8(b));
        if (!separator.isNull())
            hex += separator;
    }
    return hex;
}

QString bytesUnpadded(const QByteArray &data)
{
    QString hex;
    for (char b : data)
        hex += number(quint8(b));
    return hex;
}

} // namespace HexText

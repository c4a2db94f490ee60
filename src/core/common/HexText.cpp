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

int digitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

int octetAt(const QString &text, qsizetype pos)
{
    if (pos < 0 || pos + 2 > text.size())
        return -1;
    const int hi = digitValue(text.at(pos));
    const int lo = digitValue(text.at(pos + 1));
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

bool isHexRun(const QString &text, qsizetype pos, qsizetype count)
{
    if (pos < 0 || count < 0 || pos + count > text.size())
        return false;
    for (qsizetype i = pos; i < pos + count; ++i) {
        if (digitValue(text.at(i)) < 0)
            return false;
    }
    return true;
}

QByteArray octetsAt(const QString &text, qsizetype pos, qsizetype count)
{
    if (!isHexRun(text, pos, 2 * count))
        return {};
    QByteArray out(count, '\0');
    for (qsizetype i = 0; i < count; ++i)
        out[i] = char(octetAt(text, pos + 2 * i));
    return out;
}

} // namespace HexText

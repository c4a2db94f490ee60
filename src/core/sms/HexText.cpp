#include "core/sms/HexText.h"

#include "core/link/mdlStrings.h"

namespace HexText {

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

QString toHex(const QByteArray &octets)
{
    QString out;
    out.reserve(octets.size() * 2);
    for (char c : octets)
        out += mdlStrings::ByteToHex(quint8(c));
    return out;
}

} // namespace HexText

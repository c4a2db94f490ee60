#include "SimPdu.h"

namespace SimPdu {

namespace {

bool isHexText(const QByteArray &text)
{
    if (text.size() % 2 != 0)
        return false;
    for (char c : text) {
        if (!std::isxdigit(uchar(c)))
            return false;
    }
    return true;
}

QString digitsOf(const QByteArray &octets, int count)
{
    QString out;
    for (int i = 0; i < count; ++i) {
        const int octet = uchar(octets.at(i / 2));
        const int nibble = i % 2 == 0 ? octet & 0x0F : octet >> 4;
        out += QLatin1Char(char(nibble < 10 ? '0' + nibble : 'A' + nibble - 10));
    }
    return out;
}

} // namespace

Submit parseSubmit(const QByteArray &hexText)
{
    Submit s;
    if (!isHexText(hexText) || hexText.isEmpty()) {
        s.error = QStringLiteral("not hex text");
        return s;
    }
    const QByteArray pdu = QByteArray::fromHex(hexText);
    const int centre = uchar(pdu.at(0));
    const QByteArray t = pdu.mid(1 + centre);
    s.tpduOctets = int(t.size());
    if (t.size() < 4 || (t.at(0) & 0x03) != 0x01) {
        s.error = QStringLiteral("not an SMS-SUBMIT");
        return s;
    }
    const int validityFormat = (uchar(t.at(0)) >> 3) & 0x03;
    const int digits = uchar(t.at(2));
    const int type = uchar(t.at(3));
    int pos = 4 + (digits + 1) / 2;
    if (t.size() < pos + 2) {
        s.error = QStringLiteral("short destination");
        return s;
    }
    s.destination = (type == 0x91 ? QStringLiteral("+") : QString()) + digitsOf(t.mid(4), digits);
    s.dataCoding = quint8(t.at(pos + 1));
    pos += 2;
    pos += validityFormat == 2 ? 1 : (validityFormat == 0 ? 0 : 7);
    if (t.size() < pos + 1) {
        s.error = QStringLiteral("short header");
        return s;
    }
    const int length = uchar(t.at(pos));
    s.userData = t.mid(pos + 1);
    // Only the 8-bit data the terminals understand is checked for its announced length.
    if ((s.dataCoding & 0x0C) == 0x04 && s.userData.size() != length) {
        s.error = QStringLiteral("user data length %1 announced, %2 sent").arg(length).arg(s.userData.size());
        return s;
    }
    s.ok = true;
    return s;
}

QByteArray pack7(const QByteArray &text)
{
    QByteArray out;
    int bits = 0;
    int acc = 0;
    for (char c : text) {
        acc |= (uchar(c) & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out.append(char(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        out.append(char(acc & 0xFF));
    return out;
}

QByteArray address(const QString &number)
{
    QByteArray out;
    const bool letters = !number.isEmpty() && number.at(0).isLetter();
    if (letters) {
        const QByteArray packed = pack7(number.toLatin1());
        out.append(char(packed.size() * 2));
        out.append(char(0xD0));
        return out + packed;
    }
    const bool international = number.startsWith(QLatin1Char('+'));
    const QString digits = international ? number.mid(1) : number;
    out.append(char(digits.size()));
    out.append(char(international ? 0x91 : 0x81));
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int lo = digits.at(i).digitValue();
        const int hi = i + 1 < digits.size() ? digits.at(i + 1).digitValue() : 0x0F;
        out.append(char((hi << 4) | (lo & 0x0F)));
    }
    return out;
}

QByteArray deliver(const QString &sender, quint8 dataCoding, const QByteArray &userData, int userDataLength)
{
    QByteArray centre = address(QStringLiteral("+79168999100"));
    centre[0] = char(centre.size() - 1); // the centre counts octets, not digits
    QByteArray pdu = centre;
    pdu.append(char(0x04)); // SMS-DELIVER, no more messages to send
    pdu += address(sender);
    pdu.append(char(0x00));
    pdu.append(char(dataCoding));
    pdu += QByteArray::fromHex("42506070809021"); // 2024-05-06 07:08:09 +03:00
    pdu.append(char(userDataLength));
    pdu += userData;
    return pdu.toHex().toUpper();
}

int tpduOctets(const QByteArray &hexText)
{
    if (hexText.size() < 2 || !std::isxdigit(uchar(hexText.at(0))) || !std::isxdigit(uchar(hexText.at(1))))
        return -1;
    const int centre = QByteArray::fromHex(hexText.left(2)).at(0) & 0xFF;
    return int(hexText.size() / 2) - 1 - centre;
}

} // namespace SimPdu

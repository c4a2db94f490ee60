#pragma once

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>

// Reference encodings written with octet arithmetic, apart from the text handling of the
// code under test, so that a fault in one does not hide in the other.
namespace SmsTest {

// Semi-octets of a digit string, first digit in the low nibble, "F" filling an odd count.
inline QByteArray bcd(const QString &digits)
{
    QByteArray out;
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int lo = digits.at(i).digitValue();
        const int hi = i + 1 < digits.size() ? digits.at(i + 1).digitValue() : 0xF;
        out.append(char((hi << 4) | lo));
    }
    return out;
}

// Address octets of a number: digit count (or, for the centre, octet count), type, digits.
inline QByteArray address(const QString &number, bool countOctets)
{
    const bool intl = number.startsWith(QLatin1Char('+'));
    const QString digits = intl ? number.mid(1) : number;
    const QByteArray d = bcd(digits);
    QByteArray out;
    out.append(char(countOctets ? d.size() + 1 : digits.size()));
    out.append(char(intl ? 0x91 : 0x81));
    return out + d;
}

inline QString hex(const QByteArray &octets)
{
    return QString::fromLatin1(octets.toHex().toUpper());
}

// An SMS-DELIVER as a modem lists it: centre (empty: length 00), first octet 04, sender,
// protocol 00, the coding, a fixed time stamp, user data length and user data.
inline QString deliverPdu(const QString &sender, const QByteArray &userData, quint8 coding = 0xF6,
                          const QString &centre = QStringLiteral("+79168999100"))
{
    QByteArray p = centre.isEmpty() ? QByteArray(1, '\0') : address(centre, true);
    p.append(char(0x04));
    p += address(sender, false);
    p.append(char(0x00));
    p.append(char(coding));
    p += QByteArray::fromHex("42506070809021");
    p.append(char(userData.size()));
    return hex(p + userData);
}

// The user data of a terminal's answer: type, 05, any, 00, 01, then the data and padding.
inline QByteArray answer(quint8 type, const QByteArray &data128, quint8 octet2 = 0x00)
{
    QByteArray ud;
    ud.append(char(type));
    ud.append(char(0x05));
    ud.append(char(octet2));
    ud.append(char(0x00));
    ud.append(char(0x01));
    return ud + data128 + QByteArray(7, '\0');
}

// A two-block settings data file whose block sums are right, different for each seed.
inline QByteArray profileFile(int seed)
{
    QByteArray f(260, '\0');
    for (int block = 0; block < 2; ++block) {
        int sum = 0;
        for (int i = 0; i < 128; ++i) {
            f[block * 130 + i] = char(seed * 31 + block * 17 + i * 5);
            sum += uchar(f.at(block * 130 + i));
        }
        f[block * 130 + 128] = char(sum >> 8);
        f[block * 130 + 129] = char(sum & 0xFF);
    }
    return f;
}

inline QByteArray randomBytes(QRandomGenerator &rng, int n)
{
    QByteArray out(n, '\0');
    for (int i = 0; i < n; ++i)
        out[i] = char(rng.bounded(256));
    return out;
}

// A random phone number: optional "+", first digit from firstDigits, 1..maxDigits digits.
inline QString randomPhone(QRandomGenerator &rng, int maxDigits, const char *firstDigits = "0123456789",
                           bool plus = true)
{
    QString s = plus && rng.bounded(2) ? QStringLiteral("+") : QString();
    const int n = rng.bounded(1, maxDigits + 1);
    s += QLatin1Char(firstDigits[rng.bounded(int(qstrlen(firstDigits)))]);
    for (int i = 1; i < n; ++i)
        s += QLatin1Char(char('0' + rng.bounded(10)));
    return s;
}

} // namespace SmsTest

#include "core/pdu/PduDecoder.h"

#include "core/common/HexText.h"

namespace PduDecoder {

namespace {

// Reads octets in order from a hex text; every read is checked against its end.
class OctetReader
{
public:
    explicit OctetReader(const QString &text) : m_text(text) {}

    bool octet(quint8 &value, const char *field)
    {
        const QByteArray one = octets(1, field);
        if (one.isEmpty())
            return false;
        value = quint8(one.at(0));
        return true;
    }
    QByteArray octets(qsizetype count, const char *field)
    {
        if (!m_error.isEmpty())
            return {};
        const QByteArray out = HexText::octetsAt(m_text, m_pos, count);
        if (out.size() != count || count == 0) {
            if (count > 0)
                m_error = QString::fromLatin1(m_pos + 2 * count > m_text.size() ? "text ends in the %1"
                                                                                  : "not hex in the %1")
                              .arg(QLatin1String(field));
            return {};
        }
        m_pos += 2 * count;
        return out;
    }
    QString error() const { return m_error; }
    qsizetype remaining() const { return m_text.size() - m_pos; }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
    QString m_error;
};

QString semiOctets(const QByteArray &octets, int digits)
{
    QString out;
    for (char c : octets) {
        const QString two = HexText::bytes(QByteArray(1, c));
        out += two.at(1);
        out += two.at(0);
    }
    return out.left(digits);
}

bool readAddress(OctetReader &in, PduAddress &a, const char *field)
{
    quint8 n = 0;
    if (!in.octet(n, field) || !in.octet(a.type, field))
        return false;
    a.digits = n;
    const QByteArray digits = in.octets((n + 1) / 2, field);
    if (n > 0 && digits.isEmpty())
        return false;
    if (a.alphanumeric())
        a.number = gsm7Text(digits, n * 4 / 7);
    else
        a.number = (a.international() ? QStringLiteral("+") : QString()) + semiOctets(digits, n);
    return true;
}

// The centre part counts octets (type included) rather than digits.
bool readCentre(OctetReader &in, DecodedPdu &d)
{
    quint8 len = 0;
    if (!in.octet(len, "SMS centre length"))
        return false;
    d.centreOctets = len;
    if (len == 0)
        return true;
    if (!in.octet(d.centre.type, "SMS centre"))
        return false;
    const QByteArray digits = in.octets(len - 1, "SMS centre");
    if (len > 1 && digits.isEmpty())
        return false;
    d.centre.digits = 2 * (len - 1);
    QString number = semiOctets(digits, d.centre.digits);
    if (number.endsWith(QLatin1Char('F')))
        number.chop(1);
    d.centre.digits = int(number.size());
    d.centre.number = (d.centre.international() ? QStringLiteral("+") : QString()) + number;
    return true;
}

bool readValidity(OctetReader &in, DecodedPdu &d)
{
    switch ((d.firstOctet >> 3) & 0x03) {
    case 0:
        d.validityFormat = ValidityFormat::None;
        return true;
    case 2:
        d.validityFormat = ValidityFormat::Relative;
        d.validity = in.octets(1, "validity period");
        break;
    case 1:
        d.validityFormat = ValidityFormat::Enhanced;
        d.validity = in.octets(7, "validity period");
        break;
    default:
        d.validityFormat = ValidityFormat::Absolute;
        d.validity = in.octets(7, "validity period");
        break;
    }
    return !d.validity.isEmpty();
}

// GSM 03.38 default alphabet; 0x1B escapes to the extension table.
const char16_t kGsm7[129] = u"@£$¥èéùìòÇ\nØø\rÅåΔ_ΦΓΛΩΠΨΣΘΞ\x1bÆæßÉ !\"#¤%&'()*+,-./0123456789:;<=>?"
                            u"¡ABCDEFGHIJKLMNOPQRSTUVWXYZÄÖÑÜ§¿abcdefghijklmnopqrstuvwxyzäöñüà";

QChar gsm7Extension(int septet)
{
    switch (septet) {
    case 0x0A: return QChar(0x0C);
    case 0x14: return QLatin1Char('^');
    case 0x28: return QLatin1Char('{');
    case 0x29: return QLatin1Char('}');
    case 0x2F: return QLatin1Char('\\');
    case 0x3C: return QLatin1Char('[');
    case 0x3D: return QLatin1Char('~');
    case 0x3E: return QLatin1Char(']');
    case 0x40: return QLatin1Char('|');
    case 0x65: return QChar(0x20AC);
    default: return QChar(0x20); // an unknown escape reads as a space, as phones show it
    }
}

} // namespace

QString gsm7Text(const QByteArray &packed, int septets, int skip)
{
    QString out;
    bool escaped = false;
    for (int i = skip; i < septets; ++i) {
        const int bit = i * 7;
        const int byte = bit / 8;
        if (byte >= packed.size())
            break;
        int v = quint8(packed.at(byte)) >> (bit % 8);
        if (bit % 8 > 1 && byte + 1 < packed.size())
            v |= quint8(packed.at(byte + 1)) << (8 - bit % 8);
        v &= 0x7F;
        if (escaped) {
            out += gsm7Extension(v);
            escaped = false;
        } else if (v == 0x1B) {
            escaped = true;
        } else {
            out += QChar(kGsm7[v]);
        }
    }
    return out;
}

QString messageText(const DecodedPdu &d)
{
    const int header = d.userDataHeader && !d.userData.isEmpty() ? quint8(d.userData.at(0)) + 1 : 0;
    switch (d.coding) {
    case PduCoding::Gsm7Bit:
        return gsm7Text(d.userData, d.userDataLength, (header * 8 + 6) / 7);
    case PduCoding::Ucs2: {
        QString out;
        for (int i = header; i + 1 < d.userData.size(); i += 2)
            out += QChar(char16_t((quint8(d.userData.at(i)) << 8) | quint8(d.userData.at(i + 1))));
        return out;
    }
    case PduCoding::EightBit:
    case PduCoding::Reserved:
        break;
    }
    return HexText::bytes(d.userData);
}

QString statusText(int status)
{
    if (status < 0)
        return QString();
    const QString code = QStringLiteral(" (%1)").arg(status, 2, 16, QLatin1Char('0')).toUpper();
    if (status == 0)
        return QStringLiteral("delivered");
    if (status <= 0x1F)
        return QStringLiteral("delivered") + code;
    if (status <= 0x3F)
        return QStringLiteral("still trying") + code;
    return QStringLiteral("failed") + code;
}

void interpretCoding(quint8 scheme, PduCoding &coding, int &messageClass)
{
    static const PduCoding alphabets[4] = {PduCoding::Gsm7Bit, PduCoding::EightBit, PduCoding::Ucs2,
                                           PduCoding::Reserved};
    messageClass = -1;
    const int group = scheme >> 4;
    if (group <= 0x7) { // general data coding, possibly marked for automatic deletion
        coding = alphabets[(scheme >> 2) & 0x03];
        if (scheme & 0x10)
            messageClass = scheme & 0x03;
    } else if (group == 0xF) { // data coding / message class
        coding = (scheme & 0x04) ? PduCoding::EightBit : PduCoding::Gsm7Bit;
        messageClass = scheme & 0x03;
    } else if (group == 0xC || group == 0xD) { // message waiting indication, default alphabet
        coding = PduCoding::Gsm7Bit;
    } else if (group == 0xE) {
        coding = PduCoding::Ucs2;
    } else {
        coding = PduCoding::Reserved;
    }
}

int relativeValidityMinutes(quint8 vp)
{
    if (vp <= 143)
        return (vp + 1) * 5;
    if (vp <= 167)
        return 12 * 60 + (vp - 143) * 30;
    if (vp <= 196)
        return (vp - 166) * 24 * 60;
    return (vp - 192) * 7 * 24 * 60;
}

QString relativeValidityText(quint8 vp)
{
    const int m = relativeValidityMinutes(vp);
    auto count = [](int n, const char *unit) {
        return QStringLiteral("%1 %2%3").arg(n).arg(QLatin1String(unit)).arg(n == 1 ? "" : "s");
    };
    if (vp > 196)
        return count(m / (7 * 24 * 60), "week");
    if (vp > 167)
        return count(m / (24 * 60), "day");
    return m % 60 == 0 ? count(m / 60, "hour") : count(m, "minute");
}

QString timeStampText(const QByteArray &octets)
{
    if (octets.size() != 7)
        return {};
    const QString s = semiOctets(octets, 14);
    const quint8 tz = quint8(octets.at(6));
    // The zone is quarter hours with its sign in bit 3; the digits are swapped like the others.
    const int quarters = (tz & 0x07) * 10 + (tz >> 4);
    const int minutes = quarters * 15;
    // Two year digits: 70..99 are the last century's, as in every phone.
    const QString century = s.mid(0, 2) >= QLatin1String("70") ? QStringLiteral("19") : QStringLiteral("20");
    return (century + QStringLiteral("%1-%2-%3 %4:%5:%6 %7%8:%9"))
        .arg(s.mid(0, 2), s.mid(2, 2), s.mid(4, 2), s.mid(6, 2), s.mid(8, 2), s.mid(10, 2))
        .arg((tz & 0x08) ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

DecodedPdu decodePdu(const QString &pdu)
{
    DecodedPdu d;
    const QString text = pdu.trimmed().toUpper();
    OctetReader in(text);
    const bool head = readCentre(in, d) && in.octet(d.firstOctet, "first octet");
    if (head) {
        static const PduKind kinds[4] = {PduKind::Deliver, PduKind::Submit, PduKind::StatusReport,
                                         PduKind::Reserved};
        d.kind = kinds[d.firstOctet & 0x03];
        d.userDataHeader = (d.firstOctet & 0x40) != 0;
    }
    if (head && d.kind == PduKind::Reserved) {
        d.error = QStringLiteral("reserved message type");
        return d;
    }
    if (head && d.kind == PduKind::StatusReport) {
        quint8 mr = 0;
        quint8 st = 0;
        bool ok = in.octet(mr, "message reference") && readAddress(in, d.address, "recipient");
        ok = ok && !(d.timeStamp = in.octets(7, "time stamp")).isEmpty();
        ok = ok && !(d.dischargeTime = in.octets(7, "discharge time")).isEmpty();
        ok = ok && in.octet(st, "status");
        d.messageReference = mr;
        d.status = ok ? st : -1;
        d.ok = ok;
        d.error = in.error();
        if (ok)
            d.trailingCharacters = int(in.remaining());
        return d;
    }
    quint8 mr = 0;
    bool ok = head && (d.kind == PduKind::Deliver || in.octet(mr, "message reference"));
    if (ok && d.kind == PduKind::Submit)
        d.messageReference = mr;
    ok = ok && readAddress(in, d.address, d.kind == PduKind::Submit ? "destination" : "sender");
    ok = ok && in.octet(d.protocolId, "protocol identifier") && in.octet(d.dataCodingScheme, "data coding scheme");
    if (ok && d.kind == PduKind::Submit)
        ok = readValidity(in, d);
    if (ok && d.kind == PduKind::Deliver)
        ok = !(d.timeStamp = in.octets(7, "time stamp")).isEmpty();
    quint8 udl = 0;
    ok = ok && in.octet(udl, "user data length");
    if (ok) {
        interpretCoding(d.dataCodingScheme, d.coding, d.messageClass);
        d.userDataLength = udl;
        const int octets = d.coding == PduCoding::Gsm7Bit ? (udl * 7 + 7) / 8 : udl;
        d.userData = in.octets(octets, "user data");
        ok = octets == 0 || !d.userData.isEmpty();
    }
    d.ok = ok;
    d.error = in.error();
    if (ok)
        d.trailingCharacters = int(in.remaining());
    return d;
}

} // namespace PduDecoder

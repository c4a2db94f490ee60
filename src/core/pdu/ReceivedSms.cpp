#include "core/pdu/ReceivedSms.h"

#include "core/common/HexText.h"
#include "core/common/PhoneNumber.h"

namespace {

// A header octet matches only when its two characters spell the expected value's hex
// text; the expected values are all written with decimal digits, so an octet such as
// "0A" never matches, as the terminals' answers have always been compared.
bool headerOctetIs(const QString &userData, qsizetype octet, const char *expected)
{
    return userData.mid(octet * 2, 2) == QLatin1String(expected);
}

bool isDecimalPair(const QString &two)
{
    return two.size() == 2 && two.at(0) >= u'0' && two.at(0) <= u'9' && two.at(1) >= u'0' && two.at(1) <= u'9';
}

// The sender's semi-octets swapped back: 2*octets characters from pos.
QString swappedDigits(const QString &text, qsizetype pos, qsizetype octets)
{
    QString out;
    out.reserve(octets * 2);
    for (qsizetype k = 0; k < octets; ++k) {
        out += text.at(pos + 2 * k + 1);
        out += text.at(pos + 2 * k);
    }
    if (out.endsWith(QLatin1Char('F')))
        out.chop(1);
    return out;
}

// Fields up to the user data, by the fixed positions of an SMS-DELIVER. False (with the
// reason set) when the message is to be ignored.
bool readEnvelope(const QString &t, ReceivedSms &r, qsizetype &userDataPos)
{
    using R = SmsIgnoreReason;
    auto fail = [&r](R reason) {
        r.ignored = reason;
        return false;
    };
    auto octetOr = [&t](qsizetype pos, int &value) {
        value = HexText::octetAt(t, pos);
        return value >= 0 ? R::None : (pos + 2 > t.size() ? R::Truncated : R::NotHex);
    };
    // 0-based positions; the centre length octet first, then the TPDU's first octet.
    int s = 0;
    if (R why = octetOr(0, s); why != R::None)
        return fail(why);
    const qsizetype g = 2 * s + 4; // characters up to and including the first octet
    // The message type comes first: only an SMS-DELIVER has its fields where they are read below.
    int first = 0;
    if (R why = octetOr(g - 2, first); why != R::None)
        return fail(why);
    if ((first & 0x03) != 0)
        return fail(R::NotDeliver);
    int n = 0;
    if (R why = octetOr(g, n); why != R::None)
        return fail(why);
    const qsizetype o = n / 2 + n % 2;
    const qsizetype digitsPos = g + 4;
    if (t.size() < digitsPos + 2 * o)
        return fail(R::Truncated);
    if (!HexText::isHexRun(t, 0, digitsPos + 2 * o))
        return fail(R::NotHex);
    r.senderType = t.mid(g + 2, 2);
    r.sender = (r.senderType == QLatin1String("91") ? QStringLiteral("+") : QString()) + swappedDigits(t, digitsPos, o);

    const qsizetype e = g + 2 * o; // protocol id at e+4, coding e+6, time stamp e+8, length e+22
    if (t.size() < e + 8)
        return fail(R::Truncated);
    r.dataCoding = t.mid(e + 6, 2);
    if (!HexText::isHexRun(t, e + 4, 4))
        return fail(R::NotHex);
    if (r.dataCoding != QLatin1String("F6"))
        return fail(R::ForeignCoding);
    if (R why = octetOr(e + 22, r.userDataLength); why != R::None)
        return fail(why);
    if (!HexText::isHexRun(t, e + 8, 14))
        return fail(R::NotHex);
    userDataPos = e + 24;
    return true;
}

// The packet in the user data of a message whose envelope was read.
void readUserData(ReceivedSms &r)
{
    using R = SmsIgnoreReason;
    const QString ud = HexText::bytes(r.userData);
    if (r.userDataLength < 1) {
        r.ignored = R::ShortUserData;
        return;
    }
    r.typeText = ud.left(2);
    if (!isDecimalPair(r.typeText)) {
        r.ignored = R::HeaderNotDecimal;
        return;
    }
    const int typeOctet = HexText::octetAt(r.typeText, 0);
    if (!isPacketType(typeOctet)) {
        r.ignored = R::UnknownType;
        return;
    }
    r.type = PacketType(typeOctet);
    if (r.type == PacketType::GprsSettings) {
        r.ignored = R::None; // a confirmation: the other header octets are not examined
        return;
    }
    if (r.userDataLength < ReceivedSms::HeaderOctets + ReceivedSms::DataOctets) {
        r.ignored = R::ShortUserData;
        return;
    }
    r.data = r.userData.mid(ReceivedSms::HeaderOctets, ReceivedSms::DataOctets);
    const bool headerOk = headerOctetIs(ud, 1, "05") && headerOctetIs(ud, 3, "00") && headerOctetIs(ud, 4, "01");
    r.ignored = headerOk ? R::None : R::HeaderMismatch;
}

} // namespace

bool ReceivedSms::senderUsableAsFileName() const
{
    return !PhoneNumber::fileKey(sender).isEmpty();
}

ReceivedSms decodeReceivedSms(const QString &pdu)
{
    using R = SmsIgnoreReason;
    ReceivedSms r;
    const QString t = pdu.trimmed().toUpper();
    qsizetype udPos = 0;
    if (!readEnvelope(t, r, udPos))
        return r;
    if (t.size() < udPos + 2 * r.userDataLength) {
        r.ignored = R::Truncated;
        return r;
    }
    r.userData = HexText::octetsAt(t, udPos, r.userDataLength);
    if (r.userData.size() != r.userDataLength) {
        r.ignored = R::NotHex;
        return r;
    }
    readUserData(r);
    return r;
}

ReceivedSms receivedSms(const QString &sender, const QString &dataCoding, const QByteArray &userData)
{
    ReceivedSms r;
    r.sender = sender;
    r.senderType = sender.startsWith(QLatin1Char('+')) ? QStringLiteral("91") : QStringLiteral("81");
    r.dataCoding = dataCoding.toUpper();
    r.userDataLength = int(userData.size());
    r.userData = userData;
    if (r.dataCoding != QLatin1String("F6")) {
        r.ignored = SmsIgnoreReason::ForeignCoding;
        return r;
    }
    readUserData(r);
    return r;
}

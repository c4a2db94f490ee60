#include "TestReceivedSms.h"

#include "GammuPdu.h"
#include "SmsTestSupport.h"

#include "core/pdu/PduDecoder.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/pdu/ReceivedSms.h"
#include "core/pdu/TransferRecord.h"
#include "core/pdu/mdlSMS.h"

#include <QTest>

using SmsTest::answer;
using SmsTest::deliverPdu;

Q_DECLARE_METATYPE(SmsIgnoreReason)

namespace {
QByteArray pattern(int seed)
{
    QByteArray d(128, '\0');
    for (int i = 0; i < 128; ++i)
        d[i] = char(i * seed + 3);
    return d;
}

QString parse(const QString &pdu, ReceivedProfiles &profiles, bool *result = nullptr)
{
    QString line = QStringLiteral("stale");
    const bool r = mdlSMS::ParseReceivedSms(pdu, profiles, line);
    if (result)
        *result = r;
    return line;
}
} // namespace

void TestReceivedSms::answersAreStored()
{
    ReceivedProfiles profiles;
    const QString sender = QStringLiteral("+71234567890");
    const QString a43 = deliverPdu(sender, answer(0x43, pattern(5), 0x77)); // octet 2 is not examined
    const ReceivedSms r = decodeReceivedSms(a43);
    QVERIFY(r.accepted());
    QCOMPARE(r.sender, sender);
    QCOMPARE(r.data, pattern(5));

    bool result = false;
    QCOMPARE(parse(a43, profiles, &result), QString());
    QVERIFY(result);
    QCOMPARE(profiles.size(), 1);
    QCOMPARE(profiles.at(0).Phone, sender);
    QVERIFY(profiles.at(0).Has43 && !profiles.at(0).Has45);

    // Lower-case hex and surrounding white space read the same.
    QCOMPARE(parse(QStringLiteral("  ") + deliverPdu(sender, answer(0x45, pattern(9))).toLower() + QStringLiteral("\r\n"),
                   profiles),
             QString());
    const ReceivedProfile &p = profiles.at(0);
    QVERIFY(p.complete());
    int sum = 0;
    for (char c : pattern(9))
        sum += quint8(c);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(p.SecondBlock.data()), 130),
             pattern(9) + QByteArray(1, char(sum >> 8)) + QByteArray(1, char(sum & 0xFF)));
    QCOMPARE(p.fileData().left(128), pattern(5));
}

void TestReceivedSms::confirmations()
{
    ReceivedProfiles profiles;
    const QString s = QStringLiteral("+71234567890");
    QCOMPARE(parse(deliverPdu(s, answer(0x33, pattern(1))), profiles),
             QStringLiteral("Пакет 0x33h загружен в терминал: +71234567890\r\n"));
    QCOMPARE(parse(deliverPdu(QStringLiteral("89161234567"), answer(0x35, pattern(1)), 0xF6, QString()), profiles),
             QStringLiteral("Пакет 0x35h загружен в терминал: 89161234567\r\n"));
    // A GPRS confirmation needs nothing but its type octet.
    const QString gprs = QStringLiteral("Параметры GPRS загружены в терминал: +71234567890\r\n");
    QCOMPARE(parse(deliverPdu(s, QByteArray("\x57\xFF\xAB\xCD", 4)), profiles), gprs);
    QCOMPARE(parse(deliverPdu(s, QByteArray(1, '\x57')), profiles), gprs);
    QCOMPARE(profiles.entries(), ReceivedProfiles().entries()); // nothing stored
}

void TestReceivedSms::foreignMessages_data()
{
    QTest::addColumn<QString>("pdu");
    QTest::addColumn<SmsIgnoreReason>("reason");
    const QString s = QStringLiteral("+71234567890");
    using R = SmsIgnoreReason;
    QTest::newRow("coding 04") << deliverPdu(s, answer(0x43, pattern(1)), 0x04) << R::ForeignCoding;
    QTest::newRow("text message") << deliverPdu(s, QByteArray::fromHex("C8329BFD06"), 0x00) << R::ForeignCoding;
    QTest::newRow("type 4A") << deliverPdu(s, answer(0x4A, pattern(1))) << R::HeaderNotDecimal;
    QTest::newRow("type 44") << deliverPdu(s, answer(0x44, pattern(1))) << R::UnknownType;
    QTest::newRow("octet 1 not 05") << deliverPdu(s, QByteArray(1, '\x43') + QByteArray("\x06\x00\x00\x01", 4) + pattern(1))
                                    << R::HeaderMismatch;
    QTest::newRow("octet 4 0A") << deliverPdu(s, QByteArray("\x45\x05\x00\x00\x0A", 5) + pattern(1)) << R::HeaderMismatch;
    QTest::newRow("132 octets") << deliverPdu(s, answer(0x43, pattern(1)).left(132)) << R::ShortUserData;
    QTest::newRow("no user data") << deliverPdu(s, QByteArray()) << R::ShortUserData;
    QTest::newRow("133 octets") << deliverPdu(s, answer(0x43, pattern(1)).left(133)) << R::None;
}

void TestReceivedSms::foreignMessages()
{
    QFETCH(QString, pdu);
    QFETCH(SmsIgnoreReason, reason);
    QCOMPARE(decodeReceivedSms(pdu).ignored, reason);
    ReceivedProfiles profiles;
    bool result = true;
    const QString line = parse(pdu, profiles, &result);
    QCOMPARE(result, reason == SmsIgnoreReason::None);
    QVERIFY(line.isEmpty());
    QCOMPARE(profiles.at(0).Has43, reason == SmsIgnoreReason::None);
}

void TestReceivedSms::hostileText_data()
{
    QTest::addColumn<QString>("pdu");
    QTest::addColumn<SmsIgnoreReason>("reason");
    using R = SmsIgnoreReason;
    const QString good = deliverPdu(QStringLiteral("+71234567890"), answer(0x43, pattern(2)));
    QTest::newRow("empty") << QString() << R::Truncated;
    QTest::newRow("one digit") << QStringLiteral("0") << R::Truncated;
    QTest::newRow("centre past the end") << QStringLiteral("FF04") << R::Truncated;
    QTest::newRow("sender length FF") << QStringLiteral("0004FF91") + QString(40, u'1') << R::Truncated;
    QTest::newRow("cut in the sender") << good.left(20) << R::Truncated;
    QTest::newRow("cut in the time stamp") << good.left(40) << R::Truncated;
    QTest::newRow("cut in the user data") << good.left(good.size() - 2) << R::Truncated;
    QTest::newRow("user data length past the end") << good.left(52) + QStringLiteral("FF") + good.mid(54) << R::Truncated;
    QTest::newRow("centre length not hex") << QStringLiteral("G7") + good.mid(2) << R::NotHex;
    QTest::newRow("sender digit not hex") << good.left(24) + QStringLiteral("/") + good.mid(25) << R::NotHex;
    QTest::newRow("time stamp not hex") << good.left(40) + QStringLiteral("Z") + good.mid(41) << R::NotHex;
    QTest::newRow("user data not hex") << good.left(100) + QStringLiteral("..") + good.mid(102) << R::NotHex;
    QTest::newRow("inner space") << good.left(60) + QStringLiteral(" ") + good.mid(61) << R::NotHex;
    QTest::newRow("NUL") << good.left(10) + QChar(0) + good.mid(11) << R::NotHex;
    QTest::newRow("Cyrillic") << good.left(30) + QStringLiteral("Ж") + good.mid(31) << R::NotHex;
    QTest::newRow("trailing text") << good + QStringLiteral("OK\r\n+CMGL: 2") << R::None;
}

void TestReceivedSms::hostileText()
{
    QFETCH(QString, pdu);
    QFETCH(SmsIgnoreReason, reason);
    QCOMPARE(decodeReceivedSms(pdu).ignored, reason);
    ReceivedProfiles profiles;
    QVERIFY(parse(pdu, profiles).isEmpty());
    const DecodedPdu d = PduDecoder::decodePdu(pdu); // never reads outside the text either
    QCOMPARE(d.ok, reason == SmsIgnoreReason::None);
}

void TestReceivedSms::sendersOutsideFileNames()
{
    // Senders are semi-octets: "A".."E" are legal in a PDU but not in a file name; an
    // alphanumeric sender (type D0) decodes to hex text. None of them is kept.
    const QString a43 = SmsTest::hex(answer(0x43, pattern(3)));
    const QString withStar = QStringLiteral("07919761989901F004") + QStringLiteral("0B91") + QStringLiteral("1A32547698F0") +
                             QStringLiteral("00F642506070809021") + QStringLiteral("8C") + a43;
    const QString alnum = QStringLiteral("0004") + QStringLiteral("0CD0") + QStringLiteral("D4F29C0E8AC1") +
                          QStringLiteral("00F642506070809021") + QStringLiteral("8C") + a43;
    const QString tooShort = deliverPdu(QStringLiteral("+"), answer(0x43, pattern(3)));
    for (const QString &pdu : {withStar, alnum, tooShort}) {
        const ReceivedSms r = decodeReceivedSms(pdu);
        QVERIFY(r.accepted());
        QVERIFY(!r.senderUsableAsFileName());
        ReceivedProfiles profiles;
        bool result = true;
        QCOMPARE(parse(pdu, profiles, &result), QStringLiteral("Ответ терминала не принят: номер отправителя \"") +
                                                    r.sender + QStringLiteral("\" не годится для имени файла\r\n"));
        QVERIFY(!result);
        QCOMPARE(profiles.entries(), ReceivedProfiles().entries());
    }
    QCOMPARE(decodeReceivedSms(withStar).sender, QStringLiteral("+A1234567890"));
}

void TestReceivedSms::sendersMatchAsSubscribers()
{
    // The network may write one terminal's number in two forms; its halves still make one profile.
    ReceivedProfiles profiles;
    parse(deliverPdu(QStringLiteral("+79161234567"), answer(0x43, pattern(1))), profiles);
    parse(deliverPdu(QStringLiteral("89161234567"), answer(0x45, pattern(2))), profiles);
    QCOMPARE(profiles.size(), 1);
    QVERIFY(profiles.at(0).complete());
    // Two subscribers with the same last ten digits but another country keep apart.
    parse(deliverPdu(QStringLiteral("+19162220000"), answer(0x43, pattern(1))), profiles);
    parse(deliverPdu(QStringLiteral("+79162220000"), answer(0x45, pattern(2))), profiles);
    QCOMPARE(profiles.size(), 3);
}

void TestReceivedSms::gammuMadeMessages()
{
    SKIP_WITHOUT_GAMMU();
    QRandomGenerator rng(5401);
    QStringList requests;
    QStringList senders;
    QList<QByteArray> data;
    for (int i = 0; i < 60; ++i) {
        senders << SmsTest::randomPhone(rng, 20);
        data << SmsTest::randomBytes(rng, 128);
        const QString centre = rng.bounded(2) ? SmsTest::randomPhone(rng, 14) : QStringLiteral("-");
        requests << senders.last() + QLatin1Char(' ') + centre + QLatin1Char(' ') +
                        SmsTest::hex(answer(i % 2 ? 0x45 : 0x43, data.last()));
    }
    const QList<QJsonObject> encoded = GammuPdu::encodeDeliver(requests);
    QCOMPARE(encoded.size(), requests.size());
    for (int i = 0; i < encoded.size(); ++i) {
        QVERIFY2(encoded[i].value("ok").toBool(), qPrintable(encoded[i].value("error").toString()));
        const QString pdu = encoded[i].value("pdu").toString();
        const ReceivedSms r = decodeReceivedSms(pdu);
        QVERIFY2(r.accepted(), qPrintable(pdu));
        QCOMPARE(r.sender, senders[i]);
        QCOMPARE(r.data, data[i]);
        QCOMPARE(*r.type, i % 2 ? PacketType::ReadBlock2 : PacketType::ReadBlock1);
        const DecodedPdu d = PduDecoder::decodePdu(pdu);
        QVERIFY(d.ok);
        QCOMPARE(d.address.number, senders[i]);
        QCOMPARE(d.userData, answer(i % 2 ? 0x45 : 0x43, data[i]));
    }
}

void TestReceivedSms::generalDecoder()
{
    const DecodedPdu d = PduDecoder::decodePdu(deliverPdu(QStringLiteral("+71234567890"), answer(0x43, pattern(1))));
    QVERIFY(d.ok);
    QCOMPARE(d.kind, PduKind::Deliver);
    QCOMPARE(d.centre.number, QStringLiteral("+79168999100"));
    QCOMPARE(d.coding, PduCoding::EightBit);
    QCOMPARE(d.messageClass, 2);
    QCOMPARE(PduDecoder::timeStampText(d.timeStamp), QStringLiteral("2024-05-06 07:08:09 +03:00"));
    QCOMPARE(PduDecoder::timeStampText(QByteArray::fromHex("4250607080900A")), QStringLiteral("2024-05-06 07:08:09 -05:00"));

    // What the module builder sends reads back field by field.
    TransferRecord rec = TransferRecord::forPacket(PacketType::ReadBlock2);
    QString da = QStringLiteral("89161234567"), pdu;
    mdlSMS::BuildSmsPdu(rec, mdlSMS::PhoneToPdu(da), QString(), pdu);
    const DecodedPdu s = PduDecoder::decodePdu(pdu);
    QVERIFY(s.ok);
    QCOMPARE(s.kind, PduKind::Submit);
    QCOMPARE(s.address.number, QStringLiteral("89161234567"));
    QCOMPARE(s.validityFormat, ValidityFormat::Relative);
    QCOMPARE(PduDecoder::relativeValidityText(quint8(s.validity.at(0))), QStringLiteral("24 hours"));
    QCOMPARE(s.userData, rec.octets());
    QCOMPARE(s.trailingCharacters, 0);
    // the receive path reads a SUBMIT by DELIVER positions and finds it foreign
    QVERIFY(!decodeReceivedSms(pdu).accepted());

    QCOMPARE(PduDecoder::relativeValidityText(0xA9), QStringLiteral("3 days"));
    QCOMPARE(PduDecoder::relativeValidityText(0x0B), QStringLiteral("1 hour"));
    QCOMPARE(PduDecoder::relativeValidityText(0x00), QStringLiteral("5 minutes"));
    QCOMPARE(PduDecoder::relativeValidityText(0xC5), QStringLiteral("5 weeks"));
    PduCoding coding;
    int cls = 0;
    PduDecoder::interpretCoding(0x04, coding, cls);
    QVERIFY(coding == PduCoding::EightBit && cls == -1);
    PduDecoder::interpretCoding(0x08, coding, cls);
    QVERIFY(coding == PduCoding::Ucs2 && cls == -1);
    PduDecoder::interpretCoding(0x11, coding, cls);
    QVERIFY(coding == PduCoding::Gsm7Bit && cls == 1);
}

#include "TestSmsPdu.h"

#include "GammuPdu.h"
#include "SmsTestSupport.h"

#include "core/pdu/GprsRecord.h"
#include "core/pdu/PduDecoder.h"
#include "core/pdu/ScenarioPdu.h"
#include "core/common/PhoneNumber.h"
#include "core/pdu/mdlSMS.h"

#include <QTest>

using namespace mdlSMS;
using SmsTest::hex;

namespace {

struct Expected
{
    QString pdu;
    QString number;   // as gammu writes it
    QString centre;
    bool scenario = false;
    QByteArray userData;
};

// Everything the builders produce in this run, decoded by gammu at the end.
QList<Expected> &builtPdus()
{
    static QList<Expected> all;
    return all;
}

// The module builder's PDU by octets: centre, 11 00, destination, 00 F6 A7 8C, record.
QString moduleReference(const QString &dest, const QString &centre, const QByteArray &record)
{
    QByteArray p = centre.isEmpty() ? QByteArray(1, '\0') : SmsTest::address(centre, true);
    p += QByteArray::fromHex("1100") + SmsTest::address(dest, false) + QByteArray::fromHex("00F6A78C") + record;
    return hex(p);
}

// The scenario's user data: header, data bytes with their nibbles swapped, 9 zeros, sum.
QByteArray scenarioUserData(quint8 header, const QByteArray &data)
{
    QByteArray ud(1, char(header));
    int sum = header;
    for (int i = 0; i < 128; ++i) {
        const quint8 b = i < data.size() ? quint8(data[i]) : 0;
        sum += b;
        ud.append(char(quint8((b << 4) | (b >> 4))));
    }
    ud += QByteArray(9, '\0');
    ud.append(char(sum >> 8));
    ud.append(char(sum & 0xFF));
    return ud;
}

// The scenario builder takes the type from the first digit ("7": international), not from a
// "+": the number as a decoder shows it.
QString scenarioNumber(const QString &number)
{
    const QString digits = number.startsWith(QLatin1Char('+')) ? number.mid(1) : number;
    return digits.startsWith(QLatin1Char('7')) ? QLatin1Char('+') + digits : digits;
}

} // namespace

void TestSmsPdu::phoneAddresses()
{
    for (const char *good : {"+7916", "8916", "7916", "+100", "12345678901234567890"})
        QVERIFY2(IsValidPhone(QString::fromLatin1(good)), good);
    // Too short or too long for an address, and what must be normalised before it is one.
    for (const char *bad : {"", "+", "+1", "79", "123456789012345678901", "79+16", "7916 ", "++7", "7916a", " 7916",
                            "8-916"})
        QVERIFY2(!IsValidPhone(QString::fromLatin1(bad)), bad);
    QVERIFY(!IsValidPhone(QStringLiteral("٧٩١٦"))); // other scripts' digits are not phone digits
    // As people write them, kept and sent plain.
    QCOMPARE(PhoneNumber::normalized(QStringLiteral(" +7 916 123-45-67 ")), QStringLiteral("+79161234567"));
    QCOMPARE(PhoneNumber::normalized(QStringLiteral("8(916)123-45-67")), QStringLiteral("89161234567"));
    QVERIFY(PhoneNumber::problem(QStringLiteral("8-916-123-45-67")).isEmpty());
    QVERIFY(!PhoneNumber::problem(QStringLiteral("+7 916 12a")).isEmpty());

    QString s = QStringLiteral("+71234567890");
    QCOMPARE(PhoneToPdu(s), QStringLiteral("911732547698F0"));
    QCOMPARE(s, QStringLiteral("71234567890")); // the "+" is gone
    s = QStringLiteral("81234567890");
    QCOMPARE(PhoneToPdu(s), QStringLiteral("811832547698F0"));
    s = QStringLiteral("1234");
    QCOMPARE(PhoneToPdu(s), QStringLiteral("812143"));
    s.clear();
    QCOMPARE(PhoneToPdu(s), QString());

    QCOMPARE(PhoneDigitCount(QStringLiteral("911732547698F0")), QStringLiteral("0B"));
    QCOMPARE(PhoneDigitCount(QStringLiteral("812143")), QStringLiteral("04"));
    QCOMPARE(PhoneDigitCount(QStringLiteral("81")), QStringLiteral("00"));
}

void TestSmsPdu::transferRecords()
{
    TransferRecord rq = TransferRecord::forPacket(PacketType::ReadBlock1);
    QCOMPARE(rq.octets(), QByteArray(1, '\x43') + QByteArray(137, '\0') + QByteArray("\x00\x43", 2));
    QCOMPARE(TransferRecord::forPacket(PacketType::ReadBlock2).RecordSumField, quint16(0x0045));

    QByteArray file(260, '\0');
    for (int i = 0; i < 260; ++i)
        file[i] = char(i * 7 + 1);
    const TransferRecord p1 = TransferRecord::forPacket(PacketType::ProfileBlock1, file);
    const TransferRecord p2 = TransferRecord::forPacket(PacketType::ProfileBlock2, file);
    QCOMPARE(p1.octets().mid(1, 130), file.left(130));
    QCOMPARE(p2.octets().mid(1, 130), file.mid(130));
    QCOMPARE(p2.octets().mid(131, 7), QByteArray(7, '\0'));
    // a short file: the missing bytes are zero
    const TransferRecord shortFile = TransferRecord::forPacket(PacketType::ProfileBlock2, file.left(140));
    QCOMPARE(shortFile.octets().mid(1, 130), file.mid(130, 10) + QByteArray(120, '\0'));

    // A sum past the signed 16-bit range keeps its low 16 bits, high byte first:
    // 0x57 + 137 * 0xFF = 35022 = 0x88CE.
    TransferRecord big;
    big.RecordType = 0x57;
    big.RecordBlock.fill(0xFF);
    big.RecordReserved.fill(0xFF);
    big.updateSum();
    QCOMPARE(big.octets().right(2), QByteArray("\x88\xCE", 2));
}

void TestSmsPdu::recordSum()
{
    QByteArray record(140, '\0');
    record[0] = char(0x43);
    QCOMPARE(TransferRecord::RecordSum(record), qint64(0x43));
    // Every byte 0xFF: no wrap, and octets 138 and 139 (the sum field) do not count.
    record.fill(char(0xFF));
    QCOMPARE(TransferRecord::RecordSum(record), qint64(138 * 255));
    QCOMPARE(TransferRecord::RecordSum(QByteArray("\x01\x02\x03", 3)), qint64(6));
}

void TestSmsPdu::moduleBuilder()
{
    const TransferRecord rec = TransferRecord::forPacket(PacketType::ReadBlock1);
    QString da = QStringLiteral("+71234567890");
    da = PhoneToPdu(da);
    QString out = QStringLiteral("stale");
    QCOMPARE(BuildSmsPdu(rec, da, QString(), out), 154);
    QCOMPARE(out, QStringLiteral("00") + QStringLiteral("1100") + QStringLiteral("0B911732547698F0") +
                      QStringLiteral("00F6A7") + QStringLiteral("8C") + QStringLiteral("43") + QString(274, u'0') +
                      QStringLiteral("0043"));
    builtPdus() << Expected{out, QStringLiteral("+71234567890"), QString(), false, rec.octets()};

    QString sc = QStringLiteral("+71234567890");
    sc = PhoneToPdu(sc);
    QCOMPARE(BuildSmsPdu(rec, da, sc, out), 154); // the centre part is not counted
    QVERIFY(out.startsWith(QStringLiteral("07911732547698F0") + QStringLiteral("1100")));
    QCOMPARE(out.size(), 16 + 2 * 154);
    builtPdus() << Expected{out, QStringLiteral("+71234567890"), QStringLiteral("+71234567890"), false, rec.octets()};

    // The length follows the destination: 10 digits give 153, 13 give 155.
    QString ten = QStringLiteral("7123456789");
    QCOMPARE(BuildSmsPdu(rec, PhoneToPdu(ten), QString(), out), 153);
    QString thirteen = QStringLiteral("+7123456789012");
    QCOMPARE(BuildSmsPdu(rec, PhoneToPdu(thirteen), QString(), out), 155);
}

void TestSmsPdu::moduleBuilderRandom()
{
    QRandomGenerator rng(5101);
    for (int round = 0; round < 300; ++round) {
        TransferRecord rec = TransferRecord::forPacket(PacketType(0x33), SmsTest::randomBytes(rng, 260));
        rec.RecordType = quint8(rng.bounded(256));
        rec.updateSum();
        const QString dest = SmsTest::randomPhone(rng, 20);
        const QString centre = rng.bounded(3) ? SmsTest::randomPhone(rng, 16) : QString();
        QString d = dest, c = centre, out;
        const int n = BuildSmsPdu(rec, PhoneToPdu(d), PhoneToPdu(c), out);
        const QString expected = moduleReference(dest, centre, rec.octets());
        QCOMPARE(out, expected);
        QCOMPARE(n, (out.size() - 2 * (centre.isEmpty() ? 1 : SmsTest::address(centre, true).size())) / 2);
        if (round % 10 == 0)
            builtPdus() << Expected{out, dest, centre, false, rec.octets()};
    }
}

void TestSmsPdu::scenarioNumbers()
{
    using ScenarioPdu::MakePDUNumber;
    QString err;
    QString n = QStringLiteral("+71234567890");
    QCOMPARE(MakePDUNumber(n, true, err), QStringLiteral("0B911732547698F0"));
    QCOMPARE(n, QStringLiteral("71234567890F"));
    n = QStringLiteral("81234567890");
    QCOMPARE(MakePDUNumber(n, false, err), QStringLiteral("07811832547698F0"));
    n.clear();
    QCOMPARE(MakePDUNumber(n, false, err), QStringLiteral("00"));
    QVERIFY(err.isEmpty());
    // Eighteen centre digits: ten octets, written "10" in decimal as terminals expect.
    n = QStringLiteral("712345678901234567");
    QCOMPARE(MakePDUNumber(n, false, err), QStringLiteral("1091") + hex(SmsTest::bcd(QStringLiteral("712345678901234567"))));
    n = QStringLiteral("7123456789012345678");
    QCOMPARE(MakePDUNumber(n, true, err).left(4), QStringLiteral("1391"));

    n.clear();
    QCOMPARE(MakePDUNumber(n, true, err), QString());
    QCOMPARE(err, QStringLiteral("Не указан номер доставки, функция MAkePDUNumber"));
    n = QStringLiteral("9161234567");
    QCOMPARE(MakePDUNumber(n, true, err), QString());
    QCOMPARE(err, QStringLiteral("Неверный формат номера доставки, функция MAkePDUNumber"));
    n = QStringLiteral("+");
    QCOMPARE(MakePDUNumber(n, false, err), QString());
    QCOMPARE(err, QStringLiteral("Неверный формат номера SMS центра, функция MAkePDUNumber"));
}

void TestSmsPdu::scenarioBuilder()
{
    using namespace ScenarioPdu;
    PduParts parts;
    QString err;
    const QByteArray zeros(131, '\0');
    const QString pdu = ConvertArr2PDU(zeros, QStringLiteral("33"), QString(), QStringLiteral("+71234567890"), parts, err);
    QCOMPARE(pdu, QStringLiteral("00") + QStringLiteral("1100") + QStringLiteral("0B911732547698F0") +
                      QStringLiteral("0004A98C") + QStringLiteral("33") + QString(274, u'0') + QStringLiteral("0033"));
    QCOMPARE(tpduOctets(parts), 154);
    QCOMPARE(parts[SmsCentrePart] + parts[FirstOctetPart] + parts[DestinationPart], QStringLiteral("0011") + QStringLiteral("0B911732547698F0"));
    QVERIFY(err.isEmpty());
    builtPdus() << Expected{pdu, QStringLiteral("+71234567890"), QString(), true, scenarioUserData(0x33, zeros)};

    QByteArray arr = zeros;
    arr[0] = char(0x1A);
    arr[127] = char(0x05);
    arr[128] = char(0xFF); // not transmitted
    const QString p2 = ConvertArr2PDU(arr, QStringLiteral("33"), QStringLiteral("81234567890"),
                                      QStringLiteral("71234567890"), parts, err);
    const QString ud = p2.mid(p2.size() - 280);
    QCOMPARE(ud.left(4), QStringLiteral("33A1"));
    QCOMPARE(ud.mid(2 + 127 * 2, 2), QStringLiteral("50"));
    QCOMPARE(ud.right(4), QStringLiteral("0052")); // 0x33 + 0x1A + 0x05
    QVERIFY(p2.startsWith(QStringLiteral("07811832547698F0") + QStringLiteral("11000B91")));
    QCOMPARE(tpduOctets(parts), (p2.size() - 16) / 2);
    builtPdus() << Expected{p2, QStringLiteral("+71234567890"), QStringLiteral("81234567890"), true,
                            scenarioUserData(0x33, arr)};

    // A ten-digit destination makes a 153-octet TPDU, and the count says so.
    ConvertArr2PDU(zeros, QStringLiteral("35"), QString(), QStringLiteral("7123456789"), parts, err);
    QCOMPARE(tpduOctets(parts), 153);

    // Refusals: nothing built, the pieces of the last PDU kept.
    const PduParts before = parts;
    QCOMPARE(ConvertArr2PDU(zeros, QStringLiteral("33"), QStringLiteral("9123"), QStringLiteral("+71234567890"), parts, err),
             QString());
    QCOMPARE(err, QStringLiteral("Неверный формат номера SMS центра"));
    QCOMPARE(ConvertArr2PDU(zeros, QStringLiteral("33"), QString(), QStringLiteral("+91234567890"), parts, err), QString());
    QCOMPARE(err, QStringLiteral("Неверный формат номера доставки, функция MAkePDUNumber"));
    QCOMPARE(ConvertArr2PDU(zeros, QStringLiteral("33"), QString(), QString(), parts, err), QString());
    QCOMPARE(err, QStringLiteral("Не указан номер доставки, функция MAkePDUNumber"));
    QVERIFY(parts == before);
}

void TestSmsPdu::scenarioBuilderRandom()
{
    QRandomGenerator rng(5301);
    for (int round = 0; round < 300; ++round) {
        const QByteArray arr = SmsTest::randomBytes(rng, rng.bounded(100, 132)); // short arrays count zeros
        const quint8 header = rng.bounded(2) ? 0x33 : 0x35;
        const QString dest = SmsTest::randomPhone(rng, 20, "78");
        const QString centre = rng.bounded(3) ? SmsTest::randomPhone(rng, 16, "78") : QString();
        ScenarioPdu::PduParts parts;
        QString err;
        const QString pdu = ScenarioPdu::ConvertArr2PDU(arr, hex(QByteArray(1, char(header))), centre, dest, parts, err);
        const QByteArray tpdu = QByteArray::fromHex("1100") + SmsTest::address(scenarioNumber(dest), false) +
                                QByteArray::fromHex("0004A98C") + scenarioUserData(header, arr);
        const QByteArray centreOctets =
            centre.isEmpty() ? QByteArray(1, '\0') : SmsTest::address(scenarioNumber(centre), true);
        QCOMPARE(pdu, hex(centreOctets + tpdu)); // centres up to 16 digits: decimal and hex counts agree
        QCOMPARE(ScenarioPdu::tpduOctets(parts), int(tpdu.size()));
        if (round % 10 == 0)
            builtPdus() << Expected{pdu, scenarioNumber(dest), centre.isEmpty() ? QString() : scenarioNumber(centre), true,
                                    scenarioUserData(header, arr)};
    }
}

void TestSmsPdu::gprsRecord()
{
    GprsSettings s{QStringLiteral("internet.example"), QString(), QString(), QStringLiteral("10.0.0.1"),
                   QStringLiteral("1000")};
    TransferRecord rec;
    QString err;
    QVERIFY(GprsRecord::buildGprsRecord(s, rec, err));
    QByteArray block(130, '\0');
    block.replace(0, 16, "internet.example");
    block.replace(96, 6, QByteArray("\x0A\x00\x00\x01\x03\xE8", 6));
    QCOMPARE(rec.octets().mid(0, 131), QByteArray(1, '\x57') + block);
    QCOMPARE(rec.RecordSumField, quint16(TransferRecord::RecordSum(rec.summedOctets())));

    // A trailing dot after four parts is the same address; user, password and a
    // Cyrillic name go in code page 1251; over-long texts stop at their box's limit.
    s = GprsSettings{QString(61, u'a'), QStringLiteral("Юзер"), QString(20, u'p'), QStringLiteral("10.0.0.1."),
                     QStringLiteral("65535")};
    QVERIFY(GprsRecord::buildGprsRecord(s, rec, err));
    const QByteArray o = rec.octets();
    QCOMPARE(o.mid(1, 64), QByteArray(60, 'a') + QByteArray(4, '\0'));
    QCOMPARE(o.mid(65, 16), QByteArray("\xDE\xE7\xE5\xF0") + QByteArray(12, '\0'));
    QCOMPARE(o.mid(81, 16), QByteArray(14, 'p') + QByteArray(2, '\0'));
    QCOMPARE(o.mid(97, 6), QByteArray("\x0A\x00\x00\x01\xFF\xFF", 6));

    QString d = QStringLiteral("+71234567890"), out;
    QCOMPARE(BuildSmsPdu(rec, PhoneToPdu(d), QString(), out), 154);
    builtPdus() << Expected{out, QStringLiteral("+71234567890"), QString(), false, rec.octets()};
}

void TestSmsPdu::gprsRefusals_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("error");
    const QString ip = QStringLiteral("Неверно задан IP адрес: нужны четыре числа 0..255 через точку, например 10.0.0.1");
    const QString name = QStringLiteral("Неверно задан IP адрес: терминал принимает только IP адрес (четыре числа "
                                        "0..255 через точку), не имя сервера");
    const QString port = QStringLiteral("Неверно задан порт");
    QTest::newRow("three parts") << "10.0.0" << "1000" << ip;
    QTest::newRow("256") << "10.0.0.256" << "1000" << ip;
    QTest::newRow("five parts") << "10.0.0.1.5" << "1000" << ip;
    QTest::newRow("empty part") << "10..0.1" << "1000" << ip;
    QTest::newRow("empty") << "" << "1000" << ip;
    QTest::newRow("letters") << "10.0.x.1" << "1000" << name;
    QTest::newRow("host name") << "gprs.example.ru" << "1000" << name;
    QTest::newRow("address first") << "10.0.0" << "x" << ip;
    QTest::newRow("port 70000") << "10.0.0.1" << "70000" << port;
    QTest::newRow("port 0") << "10.0.0.1" << "0" << port;
    QTest::newRow("port -1") << "10.0.0.1" << "-1" << port;
    QTest::newRow("port text") << "10.0.0.1" << "abc" << port;
}

void TestSmsPdu::gprsRefusals()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, error);
    TransferRecord rec;
    rec.RecordType = 0x11;
    QString err;
    QVERIFY(!GprsRecord::buildGprsRecord(GprsSettings{QStringLiteral("apn"), {}, {}, address, port}, rec, err));
    QCOMPARE(err, error);
    QCOMPARE(rec.RecordType, quint8(0x11)); // untouched
}

// Runs last: every PDU built above, read back by gammu.
void TestSmsPdu::gammuAgrees()
{
    SKIP_WITHOUT_GAMMU();
    const QList<Expected> &all = builtPdus();
    QVERIFY(all.size() > 50);
    QStringList pdus;
    for (const Expected &e : all)
        pdus << e.pdu;
    const QList<QJsonObject> decoded = GammuPdu::decode(pdus);
    QCOMPARE(decoded.size(), all.size());
    for (int i = 0; i < all.size(); ++i) {
        const QJsonObject &d = decoded[i];
        const Expected &e = all[i];
        QVERIFY2(d.value("ok").toBool(), qPrintable(e.pdu + QLatin1Char(' ') + d.value("error").toString()));
        QCOMPARE(d.value("type").toString(), QStringLiteral("Submit"));
        QCOMPARE(d.value("number").toString(), e.number);
        QCOMPARE(d.value("smsc").toString(), e.centre);
        QCOMPARE(d.value("coding").toString(), QStringLiteral("8bit"));
        QCOMPARE(d.value("class").toInt(), e.scenario ? -1 : 2);
        QCOMPARE(d.value("validity").toString(), e.scenario ? QStringLiteral("3D") : QStringLiteral("1440M"));
        QCOMPARE(d.value("mr").toInt(), 0);
        QCOMPARE(d.value("text").toString(), hex(e.userData));
    }
}

void TestSmsPdu::operatorsMessagesDecoded()
{
    // GSM 7-bit with escapes to the extension table, and a time stamp of the last century.
    DecodedPdu d = PduDecoder::decodePdu(QStringLiteral("00040B919761214365F700009921133295852108C10D2AB6496DCA"));
    QVERIFY(d.ok);
    QCOMPARE(PduDecoder::messageText(d), QStringLiteral("A{1}€"));
    QCOMPARE(PduDecoder::timeStampText(d.timeStamp), QStringLiteral("1999-12-31 23:59:58 +03:00"));

    // What the journal shows of an alphanumeric sender, a UCS-2 text and a delivery report,
    // checked against python3-gammu as well.
    struct Case
    {
        QString pdu;
        QString type;
        QString number;
        QString text;
        QString time;
    };
    const QList<Case> cases = {
        {QStringLiteral("000406D04DEA1400006221800100002102C834"), QStringLiteral("Deliver"), QStringLiteral("MTS"),
         QStringLiteral("Hi"), QStringLiteral("2026-12-08 10:00:00")},
        {QStringLiteral("00040B919761214365F70008622180010000210C041F04400438043204350442"), QStringLiteral("Deliver"),
         QStringLiteral("+79161234567"), QStringLiteral("Привет"), QStringLiteral("2026-12-08 10:00:00")},
        {QStringLiteral("00062A0B919761214365F7620121314151006201213141020000"), QStringLiteral("Status_Report"),
         QStringLiteral("+79161234567"), QString(), QStringLiteral("2026-10-12 13:14:15")},
    };
    for (const Case &c : cases) {
        d = PduDecoder::decodePdu(c.pdu);
        QVERIFY2(d.ok, qPrintable(d.error));
        QCOMPARE(d.address.number, c.number);
        QVERIFY(PduDecoder::timeStampText(d.timeStamp).startsWith(c.time));
        if (d.kind != PduKind::StatusReport)
            QCOMPARE(PduDecoder::messageText(d), c.text);
    }
    QCOMPARE(d.messageReference, 0x2A);
    QCOMPARE(PduDecoder::statusText(d.status), QStringLiteral("delivered"));
    QCOMPARE(PduDecoder::timeStampText(d.dischargeTime), QStringLiteral("2026-10-12 13:14:20 +00:00"));

    SKIP_WITHOUT_GAMMU();
    QStringList pdus;
    for (const Case &c : cases)
        pdus << c.pdu;
    const QList<QJsonObject> decoded = GammuPdu::decode(pdus);
    QCOMPARE(decoded.size(), cases.size());
    for (int i = 0; i < cases.size(); ++i) {
        QVERIFY2(decoded[i].value("ok").toBool(), qPrintable(decoded[i].value("error").toString()));
        QCOMPARE(decoded[i].value("type").toString(), cases[i].type);
        QCOMPARE(decoded[i].value("number").toString(), cases[i].number);
        QCOMPARE(decoded[i].value("datetime").toString(), cases[i].time);
        if (!cases[i].text.isEmpty())
            QCOMPARE(decoded[i].value("text").toString(), cases[i].text);
    }
}

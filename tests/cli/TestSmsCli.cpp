#include "TestSmsCli.h"

#include "SmsTestSupport.h"
#include "TestFiles.h"

#include "core/settings/TextFile.h"
#include "core/pdu/ScenarioPdu.h"
#include "core/pdu/mdlSMS.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kTable = QStringLiteral("1~5~10~gps~Поворот~~BYTE~~Угол~0~255~10~~град\r\n"
                                      "1~5~11~gps~Поворот~~BIT~1~Флаг\r\n"
                                      "0~5~12~gps~hidden~~WORD~~w~~~300\r\n"
                                      "1~6~~gsm~Звонок~~X\r\n");

ProgramRun decode(const QString &pdu)
{
    return runCli({QStringLiteral("decode-pdu"), pdu});
}

QByteArray zeros128()
{
    return QByteArray(128, '\0');
}

struct Files
{
    QTemporaryDir dir;
    QString table;
    QString a;
    QString b;
};

// A: all zero. B: event 5 journal flag, its Auto/GPRS output bit 5, Угол 30, Флаг set,
// the hidden WORD 300 and a byte no line describes (Block1[100]).
void makeFiles(Files &f, int formB = 260)
{
    f.table = f.dir.filePath(QStringLiteral("t.stp"));
    QVERIFY(writeBytes(f.table, TextFile::encode1251(kTable)));
    QByteArray b(formB, '\0');
    b[0] = char(0x20);        // Block1[1] bit 5: journal flag of event 5
    b[9] = char(30);          // Block1[10]
    b[10] = char(0x01);       // Block1[11] bit 0: Флаг
    b[11] = char(0x01);       // Block1[12..13] = 300
    b[12] = char(0x2C);
    b[99] = char(0x04);       // Block1[100]
    b[130 + 10] = char(0x20); // Block2[11]: Auto/GPRS output byte of event 5
    if (formB == 390)
        b[260 + 10] = char(0x81); // Block3[11]: Info output byte of event 5
    f.a = f.dir.filePath(QStringLiteral("a.bin"));
    f.b = f.dir.filePath(QStringLiteral("b.bin"));
    QVERIFY(writeBytes(f.a, QByteArray(260, '\0')));
    QVERIFY(writeBytes(f.b, b));
}
} // namespace

void TestSmsCli::decodeReceived()
{
    const QByteArray data = SmsTest::randomBytes(*QRandomGenerator::global(), 128);
    ProgramRun r = decode(SmsTest::deliverPdu(QStringLiteral("+71234567890"), SmsTest::answer(0x43, data)));
    QCOMPARE(r.code, 0);
    for (const char *line :
         {"centre: +79168999100 (type 91)\n", "first octet: 04 (SMS-DELIVER)\n", "sender: +71234567890 (type 91, 11 digits)\n",
          "coding: F6 (8-bit data, class 2)\n", "time stamp: 2024-05-06 07:08:09 +03:00\n", "user data: 140 octets\n",
          "packet: 0x43 (read request / answer, block 1)\n", "  header octets 1, 3, 4 = 05 00 01: yes\n",
          "  sender usable as file name: yes (BIN/1234567890.bin)\n",
          "result: kept as block 1 of the profile from +71234567890\n"})
        QVERIFY2(r.out.contains(QString::fromUtf8(line)), line);
    QVERIFY(r.out.contains(SmsTest::hex(data.left(27))));

    r = decode(SmsTest::deliverPdu(QStringLiteral("89161234567"), QByteArray(1, '\x57'), 0xF6, QString()));
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("centre: the modem's own (00)\n")));
    QVERIFY(r.out.contains(QStringLiteral("result: log line \"Параметры GPRS загружены в терминал: 89161234567\"\n")));

    // Decoded, but not a message the program takes.
    r = decode(SmsTest::deliverPdu(QStringLiteral("+71234567890"), SmsTest::answer(0x43, zeros128()), 0x04));
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("coding: 04 (8-bit data, no class)\n")));
    QVERIFY(r.out.endsWith(QStringLiteral("result: ignored, data coding scheme 04 is not F6\n")));
    r = decode(SmsTest::deliverPdu(QStringLiteral("+71234567890"), QByteArray("\x45\x05\x00\x01\x01", 5) + zeros128()));
    QVERIFY(r.out.endsWith(QStringLiteral("result: ignored, header octets 1, 3, 4 are 05 01 01, not 05 00 01\n")));
    r = decode(SmsTest::deliverPdu(QStringLiteral("+"), SmsTest::answer(0x45, zeros128())));
    QVERIFY(r.out.contains(QStringLiteral("  sender usable as file name: no\n")));
    QVERIFY(r.out.contains(QStringLiteral("result: log line \"Ответ терминала не принят")));
}

void TestSmsCli::decodeSent()
{
    QString da = QStringLiteral("+71234567890"), pdu;
    mdlSMS::BuildSmsPdu(TransferRecord::forPacket(PacketType::ReadBlock1), mdlSMS::PhoneToPdu(da), QString(), pdu);
    ProgramRun r = decode(pdu);
    QCOMPARE(r.code, 0);
    for (const char *line : {"first octet: 11 (SMS-SUBMIT)\n", "message reference: 00\n",
                             "destination: +71234567890 (type 91, 11 digits)\n", "validity: A7 (relative, 24 hours)\n",
                             "packet: 0x43 (read request / answer, block 1)\n", "record sum: 0043 (matches)\n"})
        QVERIFY2(r.out.contains(QString::fromUtf8(line)), line);
    QVERIFY(!r.out.contains(QStringLiteral("receive checks")));

    QByteArray arr(128, '\0');
    arr[0] = char(0x1A);
    ScenarioPdu::PduParts parts;
    QString err;
    pdu = ScenarioPdu::ConvertArr2PDU(arr, QStringLiteral("35"), QString(), QStringLiteral("81234567890"), parts, err);
    r = decode(pdu);
    QVERIFY(r.out.contains(QStringLiteral("validity: A9 (relative, 3 days)\n")));
    QVERIFY(r.out.contains(QStringLiteral("record sum: 004F (matches) [scenario layout, data low nibble first]\n")));
    pdu.replace(pdu.size() - 2, 2, QStringLiteral("50"));
    QVERIFY(decode(pdu).out.contains(QStringLiteral("record sum: 0050 (does not match, computed 004F)")));
}

void TestSmsCli::decodeFailures()
{
    ProgramRun r = decode(QStringLiteral("07919761"));
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("не PDU: text ends in the SMS centre")));
    QVERIFY(r.out.contains(QStringLiteral("result: ignored, the text ends before a field that is read")));
    const QString good = SmsTest::deliverPdu(QStringLiteral("+71234567890"), SmsTest::answer(0x43, zeros128()));
    r = decode(good.left(100) + QStringLiteral("ZZ") + good.mid(102));
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("not hex in the user data")));
    QCOMPARE(decode(QStringLiteral("0003")).code, 1); // a reserved message type
    QCOMPARE(runCli({QStringLiteral("decode-pdu")}).code, 2);
    QCOMPARE(runCli({QStringLiteral("decode-pdu"), good, good}).code, 2);
    QCOMPARE(runCli({QStringLiteral("decode-pdu"), QStringLiteral("--x")}).code, 2);
}

void TestSmsCli::decodeOperatorsMessages()
{
    ProgramRun r = decode(QStringLiteral("00062A0B919761214365F7620121314151006201213141020000"));
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("centre: the modem's own (00)\n"
                                   "first octet: 06 (SMS-STATUS-REPORT)\n"
                                   "message reference: 2A\n"
                                   "recipient: +79161234567 (type 91, 11 digits)\n"
                                   "time stamp: 2026-10-12 13:14:15 +00:00\n"
                                   "discharge time: 2026-10-12 13:14:20 +00:00\n"
                                   "status: 00 (delivered)\n"));
    QVERIFY(decode(QStringLiteral("000406D04DEA1400009921800100002102C834")).out.contains(QStringLiteral("text: Hi\n")));

    // A message's text cannot clear the screen or turn the line around.
    QByteArray ucs2;
    for (const QChar c : QStringLiteral("\x1B[2J\u202Eтекст\u2028"))
        ucs2.append(char(c.unicode() >> 8)).append(char(c.unicode() & 0xFF));
    r = decode(SmsTest::deliverPdu(QStringLiteral("+71234567890"), ucs2, 0x08));
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.contains(QStringLiteral("\ntext: \\x1B[2J\\u{202E}текст\\u{2028}\n")), qPrintable(r.out));
}

void TestSmsCli::diffLists_data()
{
    QTest::addColumn<bool>("service");
    QTest::addColumn<int>("formB");
    QTest::addColumn<QString>("expected");
    const QString head = QStringLiteral("№5 Поворот  [GPS]\n"
                                        "    Журнал: - -> ДА\n"
                                        "    Маска вывода Авто/GPRS: 00000000 -> 00100000\n");
    const QString params = QStringLiteral("    Угол = 0 град -> 30 град\n"
                                          "    Флаг = [ ] -> [x]\n");
    QTest::newRow("table lines") << false << 260
                                 << head + params +
                                        QStringLiteral("Block1[12]: 00 -> 01\nBlock1[13]: 00 -> 2C\nBlock1[100]: 00 -> 04\n"
                                                       "differences: 7\n");
    QTest::newRow("service lines") << true << 260
                                   << head + params +
                                          QStringLiteral("    w = 0 -> 300\nBlock1[100]: 00 -> 04\ndifferences: 6\n");
    QTest::newRow("three blocks") << true << 390
                                  << head + QStringLiteral("    Маска вывода Инфо: 00000000 -> 10000001\n") + params +
                                         QStringLiteral("    w = 0 -> 300\nBlock1[100]: 00 -> 04\ndifferences: 7\n");
}

void TestSmsCli::diffLists()
{
    QFETCH(bool, service);
    QFETCH(int, formB);
    QFETCH(QString, expected);
    Files f;
    makeFiles(f, formB);
    QStringList args{QStringLiteral("diff"), QStringLiteral("--table"), f.table, f.a, f.b};
    if (service)
        args.insert(1, QStringLiteral("--service"));
    const ProgramRun r = runCli(args);
    QCOMPARE(r.out, expected);
    QCOMPARE(r.code, 1);
    const ProgramRun same = runCli({QStringLiteral("diff"), QStringLiteral("--table"), f.table, f.b, f.b});
    QCOMPARE(same.out, QStringLiteral("differences: 0\n"));
    QCOMPARE(same.code, 0);
}

void TestSmsCli::diffFailures()
{
    Files f;
    makeFiles(f);
    const QString missing = f.dir.filePath(QStringLiteral("none.bin"));
    ProgramRun r = runCli({QStringLiteral("diff"), QStringLiteral("--table"), f.table, f.a, missing});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("нет файла данных: ") + missing));
    r = runCli({QStringLiteral("diff"), QStringLiteral("--table"), f.a, f.a, f.b}); // a data file is no table
    QCOMPARE(r.code, 1);
    QCOMPARE(runCli({QStringLiteral("diff"), QStringLiteral("--table"), f.table, f.a}).code, 2);
    QCOMPARE(runCli({QStringLiteral("diff"), f.a, f.b}).code, 2);
    QCOMPARE(runCli({QStringLiteral("diff"), f.a, f.b, QStringLiteral("--table")}).code, 2);
    QCOMPARE(runCli({QStringLiteral("diff"), QStringLiteral("--tabel"), f.table, f.a, f.b}).code, 2);
}

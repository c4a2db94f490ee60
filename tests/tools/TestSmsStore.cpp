#include "TestSmsStore.h"

#include "SimLink.h"
#include "TestFiles.h"
#include "core/sms/TransferRecord.h"
#include "core/sms/mdlSMS.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A read request 0x43 to phone, built by the program's module builder: the PDU and its length.
QString request(const QString &phone, int &length, quint16 sumDelta = 0)
{
    TransferRecord rec = TransferRecord::forPacket(PacketType::ReadBlock1);
    rec.RecordSumField = quint16(rec.RecordSumField + sumDelta);
    QString destination = phone;
    QString pdu;
    length = mdlSMS::BuildSmsPdu(rec, mdlSMS::PhoneToPdu(destination), QString(), pdu);
    return pdu;
}

// "AT+CMGS=n", the body after the prompt, and the modem's final answer.
bool submit(SimLink &rig, int length, const QString &pdu)
{
    rig.link.armSmsPrompt(pdu);
    const bool ok = rig.link.sendCommand(QStringLiteral("AT+CMGS=") + QString::number(length), QStringLiteral("OK"), 2000);
    rig.link.clearSmsPrompt();
    return ok;
}

} // namespace

void TestSmsStore::lengthMustBeTheTpdus()
{
    SimLink rig;
    QVERIFY(rig.start());
    int length = 0;
    const QString pdu = request(QStringLiteral("+71234567890"), length);
    QCOMPARE(length, 154);
    QVERIFY(!submit(rig, 153, pdu));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("+CMS ERROR: 304"));
    QVERIFY(rig.sim.events().contains(QStringLiteral("# sms send rejected: AT+CMGS=153 for a TPDU of 154 octets")));
    QVERIFY(submit(rig, 154, pdu));
    QVERIFY(rig.link.lastAnswer().remain.endsWith(QStringLiteral("+CMGS: 1")));
    QVERIFY(submit(rig, 154, pdu));
    QVERIFY(rig.link.lastAnswer().remain.endsWith(QStringLiteral("+CMGS: 2")));
    // The prompt is CR LF "> "; the body is echoed without its Ctrl-Z.
    QVERIFY(rig.sim.sent().contains("AT+CMGS=154\r\r\n> " + pdu.toLatin1() + "\r\n+CMGS: 2\r\n\r\nOK\r\n"));
}

void TestSmsStore::escapeCancelsQuietly()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--echo"), QStringLiteral("0")}));
    rig.link.SendStringCR(QStringLiteral("AT+CMGS=10"));
    QTRY_COMPARE(rig.sim.sent(), QByteArray("\r\n> "));
    rig.link.SendString(QStringLiteral("0011") + QChar(0x1B));
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# sms send cancelled")));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.sim.sent(), QByteArray("\r\n> \r\nOK\r\n"));
}

void TestSmsStore::listingMarksReadAndDeletes()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--foreign"), QStringLiteral("text"), QStringLiteral("--foreign"),
                       QStringLiteral("alpha")}));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    QStringList lines = rig.link.lastAnswer().remain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines.at(0), QStringLiteral("AT+CMGL=4"));
    QCOMPARE(lines.at(1), QStringLiteral("+CMGL: 1,0,,33"));
    // A text SMS: 7-bit coding, "Balance 100 rub" packed.
    QCOMPARE(lines.at(2), QStringLiteral("07919761989901F0040B919761214365F70000425060708090210FC2303BEC1E974131180C24AF8B01"));
    QCOMPARE(lines.at(3), QStringLiteral("+CMGL: 2,0,,160"));
    // Listed messages are read now: only stat 1 lists them.
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=0"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.link.lastAnswer().remain, QStringLiteral("AT+CMGL=0"));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=1"), QStringLiteral("OK"), 1000));
    QVERIFY(rig.link.lastAnswer().remain.contains(QStringLiteral("+CMGL: 2,1,,160")));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGD=1"), QStringLiteral("OK"), 1000));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGD=1"), QStringLiteral("OK"), 1000));
    QVERIFY(!rig.link.sendCommand(QStringLiteral("AT+CMGD=99"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("+CMS ERROR: 321"));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    lines = rig.link.lastAnswer().remain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(0, 2), (QStringList{QStringLiteral("AT+CMGL=4"), QStringLiteral("+CMGL: 2,1,,160")}));
    QCOMPARE(rig.sim.events().count(QStringLiteral("# sms deleted 1")), 1);
}

void TestSmsStore::terminalAnswersAfterDelay()
{
    SimLink rig;
    QTemporaryDir dir;
    QByteArray image(260, '\0');
    for (int i = 0; i < 128; ++i)
        image[i] = char(i);
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("t.bin")), image));
    QVERIFY(rig.start({QStringLiteral("--terminal"), QStringLiteral("+71234567890=") + dir.filePath(QStringLiteral("t.bin")),
                       QStringLiteral("--sms-delay"), QStringLiteral("300")}));
    int length = 0;
    const QString pdu = request(QStringLiteral("+71234567890"), length);
    QVERIFY(submit(rig, length, pdu));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.link.lastAnswer().remain, QStringLiteral("AT+CMGL=4"));
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# sms stored 1")));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    const QStringList lines = rig.link.lastAnswer().remain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    QCOMPARE(lines.at(1), QStringLiteral("+CMGL: 1,0,,159"));
    // SMS-DELIVER from the terminal, coding F6, answer 43 05 00 00 01 + its first 128 bytes + 7 zeros.
    const QByteArray ud = QByteArray::fromHex("4305000001") + image.left(128) + QByteArray(7, '\0');
    QCOMPARE(lines.at(2), QStringLiteral("07919761989901F0040B911732547698F000F642506070809021") + QStringLiteral("8C")
                              + QString::fromLatin1(ud.toHex().toUpper()));
}

void TestSmsStore::onlyListedNumbersAnswer()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--terminal"), QStringLiteral("+71234567890"), QStringLiteral("--sms-delay"),
                       QStringLiteral("0")}));
    int length = 0;
    // The same terminal written nationally is another number for the network.
    QVERIFY(submit(rig, 154, request(QStringLiteral("81234567890"), length)));
    QVERIFY(submit(rig, 154, request(QStringLiteral("+70000000000"), length)));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.link.lastAnswer().remain, QStringLiteral("AT+CMGL=4"));
    const QStringList events = rig.sim.events();
    QVERIFY(events.contains(QStringLiteral("# sms sent to 81234567890")));
    QVERIFY(!events.join(QLatin1Char('\n')).contains(QStringLiteral("# terminal")));
}

void TestSmsStore::badSumIsDropped()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--terminal"), QStringLiteral("+71234567890"), QStringLiteral("--sms-delay"),
                       QStringLiteral("0")}));
    int length = 0;
    QVERIFY(submit(rig, 154, request(QStringLiteral("+71234567890"), length, 1)));
    QVERIFY(rig.sim.events().contains(QStringLiteral("# terminal +71234567890 ignored: record 43 with a bad sum")));
    QVERIFY(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000));
    QCOMPARE(rig.link.lastAnswer().remain, QStringLiteral("AT+CMGL=4"));
}

void TestSmsStore::refusalsCountDown()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--sms-refuse"), QStringLiteral("2:+CMS ERROR: 331")}));
    int length = 0;
    const QString pdu = request(QStringLiteral("+71234567890"), length);
    QVERIFY(!submit(rig, length, pdu));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("+CMS ERROR: 331"));
    QVERIFY(!submit(rig, length, pdu));
    QVERIFY(submit(rig, length, pdu));
    QCOMPARE(rig.sim.events().count(QStringLiteral("# sms send refused")), 2);
}

void TestSmsStore::badOptions_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("foreign kind") << QStringList{QStringLiteral("--foreign"), QStringLiteral("spam")};
    QTest::newRow("image missing") << QStringList{QStringLiteral("--terminal"), QStringLiteral("+7123=/nonexistent/x.bin")};
    QTest::newRow("refusal count") << QStringList{QStringLiteral("--sms-refuse"), QStringLiteral("some")};
}

void TestSmsStore::badOptions()
{
    QFETCH(QStringList, args);
    const ProgramRun r = runProgram(SimModem::programPath(), args);
    QCOMPARE(r.code, 2);
    QVERIFY(r.err.startsWith(QStringLiteral("kvrsim: ")));
}

#include "TestSmsStore.h"

#include "RunTask.h"
#include "SimLink.h"
#include "TestFiles.h"
#include "core/pdu/TransferRecord.h"
#include "core/pdu/mdlSMS.h"

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
    rig.link.sms().armSmsPrompt(pdu);
    const bool ok = runTask(rig.link.sendCommand(QStringLiteral("AT+CMGS=") + QString::number(length), QStringLiteral("OK"), 2000));
    rig.link.sms().clearSmsPrompt();
    return ok;
}

} // namespace

void TestSmsStore::submitChecks()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--sms-refuse"), QStringLiteral("1:+CMS ERROR: 331")}));
    int length = 0;
    const QString pdu = request(QStringLiteral("+71234567890"), length);
    QCOMPARE(length, 154);
    QVERIFY(!submit(rig, length, pdu));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("+CMS ERROR: 331"));
    QVERIFY(!submit(rig, 153, pdu));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("+CMS ERROR: 304"));
    QVERIFY(rig.sim.events().contains(QStringLiteral("# sms send rejected: AT+CMGS=153 for a TPDU of 154 octets")));
    QVERIFY(submit(rig, 154, pdu));
    // The prompt is CR LF "> "; the body is echoed without its Ctrl-Z; references count up.
    QTRY_VERIFY(rig.sim.sent().endsWith("AT+CMGS=154\r\r\n> " + pdu.toLatin1() + "\r\n+CMGS: 1\r\n\r\nOK\r\n\r"));
    // Esc cancels quietly; the modem takes commands again.
    rig.link.port().SendStringCR(QStringLiteral("AT+CMGS=10"));
    QTRY_VERIFY(rig.sim.sent().endsWith("\r\n> "));
    rig.link.port().SendString(QStringLiteral("0011") + QChar(0x1B));
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# sms send cancelled")));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 1000)));
    QTRY_VERIFY(rig.sim.sent().endsWith("> 0011AT\r\r\nOK\r\n"));
}

void TestSmsStore::terminalAnswersIntoTheStore()
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
    // A record with a bad sum gets no answer; a good one is answered after the delay.
    QVERIFY(submit(rig, 154, request(QStringLiteral("+71234567890"), length, 1)));
    QVERIFY(rig.sim.events().contains(QStringLiteral("# terminal +71234567890 ignored: record 43 with a bad sum")));
    QVERIFY(submit(rig, 154, request(QStringLiteral("+71234567890"), length)));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000)));
    QCOMPARE(rig.link.lastAnswer().remain, QStringLiteral("AT+CMGL=4"));
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# sms stored 1")));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), 1000)));
    const QStringList lines =
        rig.link.lastAnswer().remain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.at(1), QStringLiteral("+CMGL: 1,0,,159"));
    // SMS-DELIVER from the terminal, coding F6, answer 43 05 00 00 01 + its first 128 bytes + 7 zeros.
    const QByteArray ud = QByteArray::fromHex("4305000001") + image.left(128) + QByteArray(7, '\0');
    QCOMPARE(lines.at(2), QStringLiteral("07919761989901F0040B911732547698F000F6425060708090218C")
                              + QString::fromLatin1(ud.toHex().toUpper()));
}

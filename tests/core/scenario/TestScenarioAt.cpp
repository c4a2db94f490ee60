#include "TestScenarioAt.h"

#include "FakeSerial.h"
#include "LinkTimerLog.h"
#include "SimLink.h"
#include "VirtualClock.h"
#include "core/link/LinkExchange.h"
#include "core/pdu/ScenarioPdu.h"
#include "core/scenario/clsScenarioAt.h"

#include <QSignalSpy>
#include <QTest>

using Status = clsScenarioAt::Status;

namespace {

// The engine on a fake port in the profile mode, its pauses on a virtual clock.
struct Rig
{
    VirtualClock clock;
    FakeSerial port;
    LinkExchange link;
    clsScenarioAt at{link};
    Rig()
    {
        link.port().setDevice(&port);
        link.setClock(&clock);
        link.port().setRoute(LinkExchange::Route::Scenario);
        QObject::connect(&link.port(), &LinkPort::scenarioByte, &at, &clsScenarioAt::ByteArrive);
    }
};

QString scenarioPdu(const QString &phone, int &length)
{
    QByteArray data(128, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = char(i * 3 + 1);
    ScenarioPdu::PduParts parts;
    QString error;
    const QString pdu = ScenarioPdu::ConvertArr2PDU(data, QStringLiteral("33"), QString(), phone, parts, error);
    length = ScenarioPdu::tpduOctets(parts);
    return pdu;
}

} // namespace

void TestScenarioAt::findAnswer_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("hit");
    QTest::newRow("framed") << "\r\nOK\r\n" << "OK" << 1;
    QTest::newRow("after echo") << "AT\r\nOK" << "OK" << 1;
    QTest::newRow("last line counts") << "OK\r\nRING" << "OK" << 0;
    QTest::newRow("lower case answer") << "\r\nok\r\n" << "OK" << 1;
    QTest::newRow("prompt byte") << "AT+CMGS=154\r\r\n>" << ">" << 1;
    QTest::newRow("prompt and space") << "\r\n> " << ">" << 0;
    QTest::newRow("numbered refusal") << "\r\n+CMS ERROR: 500\r\n" << "ERROR" << 1;
    QTest::newRow("equipment refusal") << "\r\n+CME ERROR: 10\r\n" << "ERROR" << 1;
}

void TestScenarioAt::findAnswer()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QFETCH(int, hit);
    QCOMPARE(clsScenarioAt::FindAnswer(text, expected), hit);
}

void TestScenarioAt::watchdogBreaksInThenGivesUp()
{
    Rig r;
    QSignalSpy breaks(&r.at, &clsScenarioAt::EventBreak4Phone);
    QSignalSpy gaveUp(&r.at, &clsScenarioAt::ErrorInSerialCommunicate);
    r.at.RaiseAtCommandTimeout(2);
    r.at.SMSSendSMGS(QStringLiteral("0011000B91"), QString(), 5);
    QCOMPARE(r.at.ScATStatus(), Status::SmsSend);
    QCOMPARE(r.at.smsStep(), clsScenarioAt::SmsStep::WaitPduMode);
    QCOMPARE(r.at.expected(), (QStringList{QStringLiteral("OK"), QStringLiteral("ERROR")}));
    r.at.Tick();
    QCOMPARE(breaks.count(), 0);
    // The modem never prompts: the watchdog runs out and the engine breaks in once.
    r.at.Tick();
    QCOMPARE(breaks.count(), 1);
    QCOMPARE(r.at.recoveryCount(), 1);
    // "+++" after the guard time, "AT" after another; the engine is busy all along.
    QVERIFY(r.at.busy());
    r.clock.advance(1599);
    QCOMPARE(r.port.writes, (QList<QByteArray>{"AT+CMGF=0\r"}));
    r.clock.advance(1);
    QCOMPARE(r.port.writes, (QList<QByteArray>{"AT+CMGF=0\r", "+++"}));
    QVERIFY(r.at.busy());
    r.clock.advance(1600);
    QCOMPARE(r.at.ScATStatus(), Status::BreakIn);
    QCOMPARE(r.port.writes, (QList<QByteArray>{"AT+CMGF=0\r", "+++", "AT\r"}));
    // Not re-armed: the next tick already gives up, and a halted engine ignores the modem.
    r.at.Tick();
    QCOMPARE(gaveUp.count(), 1);
    QCOMPARE(r.at.ScATStatus(), Status::Halted);
    QCOMPARE(r.at.recoveryCount(), 0);
    r.port.feed("\r\nOK\r\n");
    QTest::qWait(20);
    r.at.Tick();
    QCOMPARE(r.at.receiveBuffer(), QString());
    QCOMPARE(r.at.ScATStatus(), Status::Halted);
    QCOMPARE(r.port.writes.size(), 3);
}

void TestScenarioAt::breakInEndsOnItsOwnAnswer()
{
    Rig r;
    // An "OK" from before the break-in is in the buffer; only the answer to its "AT" counts.
    r.port.feed("\r\nOK\r\n");
    QTRY_COMPARE(r.at.receiveBuffer(), QStringLiteral("\r\nOK\r\n"));
    r.at.Break4Phone(QString());
    r.clock.advance(2 * clsScenarioAt::BreakPauseMs);
    QVERIFY(r.at.breakActive());
    r.port.feed("\r\n");
    QTest::qWait(20);
    QCOMPARE(r.at.ScATStatus(), Status::BreakIn);
    r.port.feed("OK\r\n");
    QTRY_COMPARE(r.at.ScATStatus(), Status::Idle);
    QVERIFY(!r.at.breakActive());
    r.at.Tick(); // idle: the watchdog does nothing
    QCOMPARE(r.port.writes, (QList<QByteArray>{"+++", "AT\r"}));
}

void TestScenarioAt::bufferOverflows()
{
    Rig r;
    QSignalSpy breaks(&r.at, &clsScenarioAt::EventBreak4Phone);
    r.port.feed(QByteArray(clsScenarioAt::BufferLimit, 'x'));
    QTRY_COMPARE(r.at.receiveBuffer().size(), clsScenarioAt::BufferLimit);
    QCOMPARE(breaks.count(), 0);
    // The 2001st character empties the buffer and starts a break-in.
    r.port.feed("x");
    QTRY_COMPARE(breaks.count(), 1);
    QCOMPARE(r.at.recoveryCount(), 1);
    QCOMPARE(r.at.receiveBuffer(), QString());
    r.clock.advance(2 * clsScenarioAt::BreakPauseMs);
    QCOMPARE(r.port.written(), QByteArray("+++AT\r"));
}

void TestScenarioAt::smsSend_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("announced");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<bool>("bodySent");
    QTest::newRow("sent") << QStringList{"--terminal", "+71234567890", "--sms-delay", "0"} << 154 << "" << true;
    QTest::newRow("ERROR for a prompt") << QStringList{"--sms-refuse", "all:ERROR"} << 154 << "CMGS" << false;
    QTest::newRow("+CMS ERROR for a prompt") << QStringList{"--sms-refuse", "all"} << 154 << "CMGS" << false;
    QTest::newRow("length not the TPDU's") << QStringList{} << 153 << "SMGS" << true;
}

void TestScenarioAt::smsSend()
{
    QFETCH(QStringList, options);
    QFETCH(int, announced);
    QFETCH(QString, failure);
    QFETCH(bool, bodySent);
    SimLink rig;
    QVERIFY(rig.start(options));
    rig.link.port().setRoute(LinkExchange::Route::Scenario);
    clsScenarioAt at(rig.link);
    QObject::connect(&rig.link.port(), &LinkPort::scenarioByte, &at, &clsScenarioAt::ByteArrive);
    int length = 0;
    const QString pdu = scenarioPdu(QStringLiteral("+71234567890"), length);
    QCOMPARE(length, 154);
    QSignalSpy sent(&at, &clsScenarioAt::DataSend);
    QSignalSpy failed(&at, &clsScenarioAt::ErrorInCommand);
    at.SMSSendSMGS(pdu, QString(), announced);
    QTRY_COMPARE(sent.count() + failed.count(), 1);
    QCOMPARE(failed.isEmpty() ? QString() : failed.at(0).at(0).toString(), failure);
    QCOMPARE(at.ScATStatus(), Status::Idle);
    const QByteArray command = "AT+CMGF=0\rAT+CMGS=" + QByteArray::number(announced) + '\r';
    QTRY_COMPARE(rig.sim.received(), bodySent ? command + pdu.toLatin1() + '\x1A' : command);
    // The terminal took the nibble-swapped data and the sum exactly as the scenario wrote them.
    QCOMPARE(rig.sim.events().contains(QStringLiteral("# terminal +71234567890 scenario packet 33")), failure.isEmpty());
}

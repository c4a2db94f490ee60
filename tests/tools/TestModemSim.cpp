#include "TestModemSim.h"

#include "RunTask.h"
#include "SimLink.h"

#include <QTest>
#include <QTimer>

void TestModemSim::setupCommandsAnswerOk()
{
    SimLink rig;
    QVERIFY(rig.start());
    const QStringList init = {QStringLiteral("ATS0=0"),    QStringLiteral("AT&D2"),    QStringLiteral("AT&C1"),
                              QStringLiteral("AT+CMEE=1"), QStringLiteral("AT+CNMI=2,1,0,0,0"),
                              QStringLiteral("ATE1V1Q0&K0S7=60"), QStringLiteral("AT+CMGF=0;+CSCS=\"GSM\"")};
    for (const QString &command : init)
        QVERIFY2(runTask(rig.link.sendCommand(command, QStringLiteral("OK"), 1000)), qPrintable(command));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT+CSCA?"), QStringLiteral("OK"), 1000)));
    QVERIFY(rig.link.lastAnswer().remain.contains(QStringLiteral("+CSCA: \"+")));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT+CPMS?"), QStringLiteral("OK"), 1000)));
    QVERIFY(rig.link.lastAnswer().remain.contains(QStringLiteral("+CPMS: \"SM\"")));
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("AT+NOSUCH"), QStringLiteral("OK"), 1000)));
}

void TestModemSim::textBeforeAtIsSkipped()
{
    SimLink rig;
    QVERIFY(rig.start());
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("+++AT"), QStringLiteral("OK"), 1000)));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("xyzATI"), QStringLiteral("OK"), 1000)));
    QVERIFY(rig.link.lastAnswer().remain.contains(QStringLiteral("KVRSIM")));
}

void TestModemSim::spacedPlusStaysData()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--guard"), QStringLiteral("100")}));
    QVERIFY(runTask(rig.dial()));
    // Three '+' further apart than the guard time are data: the far end echoes them.
    for (int i = 0; i < 3; ++i) {
        runTask(rig.link.Delay(250));
        rig.link.port().SendString(QStringLiteral("+"));
    }
    runTask(rig.link.Delay(300));
    QVERIFY(!rig.sim.events().contains(QStringLiteral("# escape")));
    QTRY_VERIFY(rig.sim.sent().endsWith("+++"));
    // The guarded escape, at a quarter of the link's pauses, works.
    rig.link.setTimeScale(0.25);
    runTask(rig.link.Send3Plus());
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# escape")));
}

void TestModemSim::keyAbortsDial()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--dial-delay"), QStringLiteral("3000")}));
    QTimer::singleShot(200, &rig.link, [&] { rig.link.port().SendString(QStringLiteral("x")); });
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("ATD5551234"), QStringLiteral("CONNEC"), 5000)));
    QCOMPARE(rig.info, QStringList{QStringLiteral("Ответ NO CARR не позволяет продолжение сценария\r\n")});
    QVERIFY(rig.sim.events().contains(QStringLiteral("# dial aborted")));
    QVERIFY(!rig.sim.events().contains(QStringLiteral("# call up")));
}

void TestModemSim::dialRefusedWithoutTone()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--dial"), QStringLiteral("nodialtone")}));
    QVERIFY(!runTask(rig.dial()));
    QCOMPARE(rig.info, QStringList{QStringLiteral("Ответ NO DIAL не позволяет продолжение сценария\r\n")});
}

void TestModemSim::numericResultCodes()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--echo"), QStringLiteral("0")}));
    // "0" CR is OK in numeric form: the link does not take it for an answer.
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("ATV0"), QStringLiteral("OK"), 100)));
    QTRY_COMPARE(rig.sim.sent(), QByteArray("0\r"));
    rig.link.port().SendStringCR(QStringLiteral("AT+BAD"));
    QTRY_COMPARE(rig.sim.sent(), QByteArray("0\r4\r"));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATV1"), QStringLiteral("OK"), 1000)));
}

void TestModemSim::unsolicitedLinesBetweenCommands()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--unsolicited"), QStringLiteral("40")}));
    // RING is a final word of its own: a command it lands on ends with it, as with a real modem.
    int passed = 0;
    for (int i = 0; i < 10; ++i) {
        if (runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 1000)))
            ++passed;
        else
            QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("RING"));
        runTask(rig.link.Delay(30));
    }
    QVERIFY(passed > 0);
    const QByteArray sent = rig.sim.sent();
    QVERIFY(sent.contains("+CMTI: \"SM\",1") || sent.contains("RING") || sent.contains("+CREG: 1"));
}

void TestModemSim::stateChangesTraced()
{
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--guard"), QStringLiteral("100")}));
    QVERIFY(runTask(rig.dial()));
    rig.link.setTimeScale(0.25);
    runTask(rig.link.Send3Plus());
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), 1000)));
    QTRY_COMPARE(rig.sim.events(), (QStringList{QStringLiteral("# dial"), QStringLiteral("# call up"),
                                                QStringLiteral("# data mode"), QStringLiteral("# escape"),
                                                QStringLiteral("# command mode"), QStringLiteral("# call down")}));
}

#include "TestExchangeSim.h"

#include "LinkTimerLog.h"
#include "RunTask.h"
#include "SimLink.h"
#include "core/common/CodePage.h"
#include "core/link/LinkExchange.h"
#include "core/link/LinkTune.h"

#include "core/link/SerialDevice.h"
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

using Rig = SimLink;

void TestExchangeSim::testCmdModeAnswers()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(runTask(rig.link.TestCmdMode()));
    QCOMPARE(rig.info, QStringList{QStringLiteral("Проверка отклика модема\r\n")});
    QTRY_COMPARE(rig.sim.received(), QByteArray("AT\r"));
    QCOMPARE(rig.link.port().receiver()->sAnswer(), QStringLiteral("OK"));
    QCOMPARE(rig.link.port().receiver()->sRemain(), QStringLiteral("AT"));
}

void TestExchangeSim::testCmdModeSilentTimesOut()
{
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--silent")}));
    LinkTimerLog timers(rig.link);
    QVERIFY(!runTask(rig.link.TestCmdMode()));
    QCOMPARE(timers.entries, QList{LinkTimerLog::reply(50)});
    QCOMPARE(rig.info,
             (QStringList{QStringLiteral("Проверка отклика модема\r\n"), QStringLiteral("Таймаут на ответ \r\n")}));
    QCOMPARE(rig.marks, QStringList{QStringLiteral("TIMEOUT")});
    QCOMPARE(rig.link.replyState(), LinkExchange::ReplyState::TimedOut);
    QTRY_COMPARE(rig.sim.received(), QByteArray("AT\r"));
}

void TestExchangeSim::errorAnswer()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("AT+NOSUCH"), QStringLiteral("OK"), 2000)));
    QCOMPARE(rig.info, QStringList{QStringLiteral("Ответ ERROR не позволяет продолжение сценария\r\n")});
    QCOMPARE(rig.link.port().receiver()->sRemain(), QStringLiteral("AT+NOSUCH"));
}

void TestExchangeSim::connectPassesConnec()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(runTask(rig.dial()));
    QCOMPARE(rig.link.port().receiver()->sAnswer(), QStringLiteral("CONNECT"));
    QVERIFY(rig.info.isEmpty());
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# data mode")));
}

void TestExchangeSim::dialRefusals_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("word");
    QTest::newRow("no carrier") << "nocarrier" << "NO CARR";
    QTest::newRow("busy") << "busy" << "BUSY";
    QTest::newRow("no answer") << "noanswer" << "NO ANSW";
}

void TestExchangeSim::dialRefusals()
{
    QFETCH(QString, outcome);
    QFETCH(QString, word);
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--dial"), outcome}));
    QVERIFY(!runTask(rig.dial()));
    QCOMPARE(rig.info,
             QStringList{QStringLiteral("Ответ ") + word + QStringLiteral(" не позволяет продолжение сценария\r\n")});
}

void TestExchangeSim::sendDataOverCall()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(runTask(rig.dial()));
    QString r1, r2, r3;

    r1 = QStringLiteral("[");
    QVERIFY(runTask(rig.link.sendData(CodePage::toAnsi(QStringLiteral("[")), QStringList{r1, r2, r3}, 1000, 1)));
    QCOMPARE(rig.link.port().receiver()->answerIndex(), 1);

    r1 = QStringLiteral("[");
    QVERIFY(!runTask(rig.link.sendData(CodePage::toAnsi(QStringLiteral("\\")), QStringList{r1, r2, r3}, 1000, 1)));
    QCOMPARE(rig.info.last(), QStringLiteral("Ответ 5C не ожидался в данный момент выполнение прервано\r\n"));

    r1 = QStringLiteral("[");
    r2 = QStringLiteral("z");
    QVERIFY(runTask(rig.link.sendData(CodePage::toAnsi(QStringLiteral("Z")), QStringList{r1, r2, r3}, 1000, 1)));
    QCOMPARE(rig.link.port().receiver()->answerIndex(), 2);

    r1.clear();
    r2.clear();
    QVERIFY(runTask(rig.link.sendData(CodePage::toAnsi(QString::fromLatin1("\x01\x02\x03\x04\x05")), QStringList{r1, r2, r3}, 1000, 5)));
    QCOMPARE(rig.link.port().receiver()->dataIn(), QString::fromLatin1("\x01\x02\x03\x04\x05"));

    // Nothing comes back from a silent line: three periods, then text mode again.
    r1 = QStringLiteral("OK");
    LinkTimerLog timers(rig.link);
    QVERIFY(!runTask(rig.link.sendData(CodePage::toAnsi(QString()), QStringList{r1, r2, r3}, 100, 0)));
    QCOMPARE(timers.entries, QList{LinkTimerLog::reply(100)});
    QCOMPARE(rig.info.last(), QStringLiteral("Таймаут на ответ \r\n"));
    QCOMPARE(rig.link.port().receiver()->mode(), clsReceive::Mode::Text);

    QTRY_COMPARE(rig.sim.received(), QByteArray("ATD5551234\r[\\Z\x01\x02\x03\x04\x05"));
}

void TestExchangeSim::send3PlusEscapes()
{
    Rig rig;
    // The link's 1.6 s pauses at a quarter, against a modem guard time of 100 ms.
    QVERIFY(rig.start({QStringLiteral("--guard"), QStringLiteral("100")}));
    QVERIFY(runTask(rig.dial()));
    rig.link.setTimeScale(0.25);
    LinkTimerLog timers(rig.link);
    runTask(rig.link.Send3Plus());
    QCOMPARE(timers.entries, (QList{LinkTimerLog::delay(1600), LinkTimerLog::delay(1600)}));
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# command mode")));
    QVERIFY(runTask(rig.link.TestCmdMode()));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), 2000)));
    QTRY_COMPARE(rig.sim.received(), QByteArray("ATD5551234\r+++AT\rAT\rATH\r"));
}

void TestExchangeSim::userBreakDuringWait()
{
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--silent")}));
    // The 196 s time-out runs at a hundredth: a break that is not honoured ends in a time-out instead.
    rig.link.setTimeScale(0.01);
    QTimer::singleShot(150, &rig.link, [&] { rig.link.requestBreak(); });
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 32700)));
    QCOMPARE(rig.info, QStringList{QStringLiteral("Прервано пользователем \r\n")});
    QCOMPARE(rig.link.replyState(), LinkExchange::ReplyState::Broken);
    QVERIFY(rig.link.port().receiver()->lineScanStopped());
    QVERIFY(!rig.link.replyTimerActive());
    // The break holds until its operation has ended; the next one starts clean.
    rig.link.endBreak();
    rig.sim.command("silent off");
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# silent off")));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 1000)));
}

void TestExchangeSim::slowModem()
{
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--delay"), QStringLiteral("500"), QStringLiteral("--echo"),
                       QStringLiteral("0")}));
    QVERIFY(!runTask(rig.link.TestCmdMode()));
    // The late OK of the probe arrives while nothing waits; a longer time-out then passes.
    QTest::qWait(400);
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 200)));
}

void TestExchangeSim::garbledAnswerTimesOut()
{
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--garble"), QStringLiteral("1"), QStringLiteral("--echo"),
                       QStringLiteral("0")}));
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 60)));
    QCOMPARE(rig.info.last(), QStringLiteral("Таймаут на ответ \r\n"));
    QTRY_VERIFY(!rig.sim.sent().isEmpty());
    QVERIFY(!rig.sim.sent().contains("OK"));
}

void TestExchangeSim::unsolicitedRing()
{
    Rig rig;
    QVERIFY(rig.start());
    bool rang = false;
    QObject::connect(rig.link.port().receiver(), &clsReceive::DataReady, &rig.link,
                     [&] { rang = rig.link.port().receiver()->sAnswer() == QLatin1String("RING"); });
    rig.sim.command("ring");
    QTRY_VERIFY(rig.sim.sent().contains("RING"));
    QTest::qWait(100);
    QVERIFY(!rang); // nobody waits for it: it answers nothing
    QVERIFY(runTask(rig.link.TestCmdMode()));
}

void TestExchangeSim::echoOff()
{
    Rig rig;
    QVERIFY(rig.start());
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATE0"), QStringLiteral("OK"), 1000)));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 1000)));
    // Without echo the information lines are all that precede the final word.
    QCOMPARE(rig.link.port().receiver()->sRemain(), QStringLiteral("KVRSIM GSM modem, revision 1.0"));
}

void TestExchangeSim::pacedAtBaudRate()
{
    // 1200 baud is 120 characters a second: the 100-character type line and its
    // framing take more than 0.8 s to arrive, so a 0.3 s time-out always runs out
    // first, and the whole answer still comes in for a later exchange.
    Rig rig;
    QVERIFY(rig.start({QStringLiteral("--baud"), QStringLiteral("1200"), QStringLiteral("--echo"),
                       QStringLiteral("0"), QStringLiteral("--product"), QString(100, QLatin1Char('P'))}));
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 50)));
    QCOMPARE(rig.info.last(), QStringLiteral("Таймаут на ответ \r\n"));
    QSignalSpy ready(rig.link.port().receiver(), &clsReceive::DataReady);
    QVERIFY(ready.wait(10000));
    QCOMPARE(rig.link.port().receiver()->sAnswer(), QStringLiteral("OK"));
    QCOMPARE(rig.link.port().receiver()->sRemain(), QString(100, QLatin1Char('P')));
}

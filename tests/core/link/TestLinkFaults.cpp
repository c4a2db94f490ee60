#include "TestLinkFaults.h"

#include "LinkTimerLog.h"
#include "RunTask.h"
#include "SimLink.h"
#include "core/link/mdlStrings.h"
#include "core/link/ModemCheck.h"

#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

qint64 cpuMicroseconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

// A pseudo-terminal of the test's own: the test holds the master and closes it to pull the plug.
struct OwnPty
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    OwnPty()
    {
        if (master >= 0 && (::grantpt(master) != 0 || ::unlockpt(master) != 0))
            close();
    }
    ~OwnPty() { close(); }
    QString slave() const { return master >= 0 ? QString::fromLocal8Bit(::ptsname(master)) : QString(); }
    void close()
    {
        if (master >= 0)
            ::close(master);
        master = -1;
    }
};

} // namespace

void TestLinkFaults::portLostDuringWait_data()
{
    QTest::addColumn<bool>("ownPty");
    QTest::newRow("modem unplugged") << false;
    QTest::newRow("far end of a pseudo-terminal closed") << true;
}

void TestLinkFaults::portLostDuringWait()
{
    QFETCH(bool, ownPty);
    SimLink rig;
    OwnPty pty;
    if (ownPty)
        QVERIFY(rig.open(pty.slave()));
    else
        QVERIFY(rig.start({QStringLiteral("--silent")}));
    QString lostReason;
    QObject::connect(&rig.link.port(), &LinkPort::portLost, [&](const QString &why) { lostReason = why; });
    QTimer::singleShot(100, &rig.link, [&] {
        if (ownPty)
            pty.close();
        else
            rig.sim.command("unplug");
    });
    // A dial's time-out: a port that is not noticed as gone would hold the wait for 196 s.
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("ATD5551234"), QStringLiteral("CONNEC"), 32700)));
    QCOMPARE(rig.link.replyState(), LinkExchange::ReplyState::PortLost);
    QVERIFY(rig.link.port().isPortLost());
    QVERIFY(!rig.port.isOpen());
    QVERIFY(!lostReason.isEmpty());
    QCOMPARE(rig.info, QStringList{QStringLiteral("Порт потерян: ") + lostReason + QStringLiteral("\r\n")});
    QVERIFY(rig.marks.isEmpty());

    // Nothing spins afterwards, and later exchanges fail without waiting or logging again.
    const qint64 before = cpuMicroseconds();
    QTest::qWait(1000);
    const qint64 spent = cpuMicroseconds() - before;
    QVERIFY2(spent < 200000, qPrintable(QStringLiteral("%1 us of CPU in 1 s").arg(spent)));
    LinkTimerLog timers(rig.link);
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 2000)));
    // Nor do the pauses of a load: nothing is left to wait for.
    runTask(rig.link.Delay(6000));
    QVERIFY(timers.entries.isEmpty());
    QCOMPARE(rig.info.size(), 1);
}

void TestLinkFaults::unsolicitedLinesAfterOk()
{
    // Every final answer is followed at once by an unsolicited line in the same burst.
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--trailer"), QStringLiteral("+CMTI: \"SM\",3")}));
    const ModemCheckResult check = runTask(runModemCheck(rig.link));
    QVERIFY(check.modemReady);
    QVERIFY(check.typeKnown);
    QVERIFY2(rig.info.contains(QStringLiteral("Модем KVRSIM GSM MODEM, REVISION 1.0\r\n")), qPrintable(rig.info.join(QLatin1Char('|'))));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("AT+CSQ"), QStringLiteral("OK"), 2000)));
    QCOMPARE(rig.link.lastAnswer().word, QStringLiteral("OK"));
    QVERIFY(runTask(rig.link.sendCommand(QStringLiteral("ATE0"), QStringLiteral("OK"), 2000)));
    QVERIFY(!rig.info.join(QString()).contains(QStringLiteral("не позволяет")));
}

void TestLinkFaults::unsolicitedLinesBeforeTheAnswer()
{
    // A call comes in during the modem check: RING and +CLIP among the ATI lines; the product
    // line that begins with "+" is the modem's type all the same.
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--product"), QStringLiteral("+CGMM: SIM900"), QStringLiteral("--product"),
                       QStringLiteral("RING"), QStringLiteral("--product"), QStringLiteral("+CLIP: \"+79161234567\",145")}));
    const ModemCheckResult check = runTask(runModemCheck(rig.link));
    QVERIFY(check.modemReady);
    QVERIFY(check.typeKnown);
    QVERIFY2(rig.info.contains(QStringLiteral("Модем +CGMM: SIM900\r\n")), qPrintable(rig.info.join(QLatin1Char('|'))));
    QVERIFY(!rig.info.join(QString()).contains(QStringLiteral("не позволяет")));
}

void TestLinkFaults::errorReportEndsWaitAtOnce_data()
{
    QTest::addColumn<QString>("refusal");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("report");
    QTest::newRow("+CMS ERROR") << "AT+CMGS=+CMS ERROR: 500" << "AT+CMGS=20" << "+CMS ERROR: 500";
    QTest::newRow("+CME ERROR") << "ATI=+CME ERROR: 10" << "ATI" << "+CME ERROR: 10";
}

void TestLinkFaults::errorReportEndsWaitAtOnce()
{
    QFETCH(QString, refusal);
    QFETCH(QString, command);
    QFETCH(QString, report);
    SimLink rig;
    QVERIFY(rig.start({QStringLiteral("--refuse"), refusal}));
    // At a hundredth of the time-out a report that is not final would still end in "TIMEOUT".
    rig.link.setTimeScale(0.01);
    QVERIFY(!runTask(rig.link.sendCommand(command, QStringLiteral("OK"), 20000)));
    QCOMPARE(rig.link.replyState(), LinkExchange::ReplyState::Answered);
    QVERIFY(rig.marks.isEmpty());
    QCOMPARE(rig.info,
             QStringList{QStringLiteral("Ответ ") + report + QStringLiteral(" не позволяет продолжение сценария\r\n")});
}

void TestLinkFaults::staleInputCleared()
{
    // An "OK" left in the port before it was opened must not answer the first command.
    SimLink rig;
    QVERIFY(rig.sim.start());
    rig.sim.command("say OK");
    QTRY_VERIFY(rig.sim.sent().contains("OK"));
    rig.sim.command("silent on");
    QTRY_VERIFY(rig.sim.events().contains(QStringLiteral("# silent on")));
    QVERIFY(rig.open(rig.sim.path()));
    QVERIFY(!runTask(rig.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 50)));
    QCOMPARE(rig.link.replyState(), LinkExchange::ReplyState::TimedOut);
}

void TestLinkFaults::endlessDataAnswerStaysBounded()
{
    clsReceive r;
    r.expectData({QStringLiteral(":BOOT")}, 0);
    for (int i = 0; i < 20 * clsReceive::DataInLimit; ++i)
        r.ByteArrive(quint8('A' + i % 26));
    QVERIFY(r.dataIn().size() <= 2 * clsReceive::DataInLimit);
    QVERIFY(r.dataIn().size() >= clsReceive::DataInLimit);
    // The tail is what arrived last.
    QCOMPARE(r.dataIn().back(), QChar(QLatin1Char('A' + (20 * clsReceive::DataInLimit - 1) % 26)));
}

#include "TestLinkExchange.h"

#include "LinkTimerLog.h"

#include "FakeSerial.h"
#include "RunTask.h"
#include "VirtualClock.h"
#include "core/link/LinkExchange.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

struct Logged
{
    QString text;
    LinkExchange::Traffic kind;
};

// Collects what the exchange layer writes to its logs.
struct Logs
{
    explicit Logs(LinkExchange &link)
    {
        QObject::connect(&link.display(), &LinkDisplay::traffic, [this](const QString &t, LinkExchange::Traffic k) {
            traffic.append({t, k});
        });
        QObject::connect(&link.display(), &LinkDisplay::infoLine, [this](const QString &t) { info.append(t); });
    }
    QString trafficOf(LinkExchange::Traffic kind) const
    {
        QString all;
        for (const Logged &l : traffic)
            if (l.kind == kind)
                all += l.text;
        return all;
    }
    QList<Logged> traffic;
    QStringList info;
};

// A port double whose answers come at once, and time that jumps to the next timer.
struct VirtualLink
{
    VirtualClock clock;
    FakeSerial port;
    LinkExchange link;
    VirtualLink()
    {
        link.setClock(&clock);
        link.port().setDevice(&port);
    }
    // The modem answers every write with these bytes.
    void answer(const QByteArray &bytes)
    {
        port.onWrite = [this, bytes](const QByteArray &) { port.feed(bytes); };
    }
    template<typename T>
    T run(Task<T> task)
    {
        return runTask(clock, std::move(task));
    }
};

} // namespace

void TestLinkExchange::sendStringCrEmpty()
{
    FakeSerial port;
    LinkExchange link;
    link.port().setDevice(&port);
    link.port().SendStringCR(QString());
    QCOMPARE(port.writes, QList<QByteArray>{QByteArray("\r")});
}

void TestLinkExchange::sendStringEmptySendsNothing()
{
    FakeSerial port;
    LinkExchange link;
    link.port().setDevice(&port);
    link.port().SendString(QString());
    QVERIFY(port.writes.isEmpty());
    link.port().SendString(QStringLiteral("+++"));
    QCOMPARE(port.writes, QList<QByteArray>{QByteArray("+++")});
}

void TestLinkExchange::echoTextMode()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.port().setDevice(&port);
    link.display().setEcho(true);
    link.port().SendStringCR(QStringLiteral("AT"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("AT\r"));
    QCOMPARE(port.written(), QByteArray("AT\r"));
}

void TestLinkExchange::echoDataModeHex()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.port().setDevice(&port);
    link.display().setEcho(true);
    link.port().receiver()->expectData({}, 0);
    link.port().SendString(QString::fromLatin1("\x5B\x41"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("5B 41 "));
    // SendStringCR echoes its carriage return as the character whatever the mode.
    link.port().SendStringCR(QStringLiteral("Z"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("5B 41 5A \r"));
    QCOMPARE(port.written(), QByteArray("\x5B\x41Z\r"));
}

void TestLinkExchange::noEchoWhenUnchecked()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.port().setDevice(&port);
    link.port().SendStringCR(QStringLiteral("ATI"));
    QVERIFY(logs.traffic.isEmpty());
    QCOMPARE(port.written(), QByteArray("ATI\r"));
}

void TestLinkExchange::receivedTextAndHex()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.port().setDevice(&port);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received), QStringLiteral("\r\nOK\r\n"));
    link.port().receiver()->expectData({}, 0);
    port.feed(QByteArray("\x5C\x05", 2));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received), QStringLiteral("\r\nOK\r\n5C05"));
}

void TestLinkExchange::lamps()
{
    FakeSerial port;
    LinkExchange link;
    link.port().setDevice(&port);
    QList<QPair<bool, bool>> seen;
    connect(&link.display(), &LinkDisplay::lampsChanged, this, [&](bool tx, bool rx) { seen.append({tx, rx}); });
    link.port().SendString(QStringLiteral("A"));
    QVERIFY(link.display().txLamp());
    QVERIFY(!link.display().rxLamp());
    port.feed(QByteArray("x"));
    QTRY_VERIFY(seen.size() >= 3);
    // Receiving: Tx white and Rx green while bytes come, then both white.
    QCOMPARE(seen.at(1), qMakePair(false, true));
    QCOMPARE(seen.last(), qMakePair(false, false));
}

void TestLinkExchange::routingByMode()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.port().setDevice(&port);
    QSignalSpy scenario(&link.port(), &LinkPort::scenarioByte);
    QSignalSpy ready(link.port().receiver(), &clsReceive::DataReady);

    link.port().setRoute(LinkExchange::Route::AddressBook);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received).size(), 6);
    QCOMPARE(link.port().receiver()->bufferedCount(), 0);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(scenario.count(), 0);

    link.port().setRoute(LinkExchange::Route::Scenario);
    port.feed(QByteArray("AB"));
    QTRY_COMPARE(scenario.count(), 2);
    QCOMPARE(scenario.at(0).at(0).value<quint8>(), quint8('A'));
    QCOMPARE(link.port().receiver()->bufferedCount(), 0);

    link.port().setRoute(LinkExchange::Route::Receiver);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(ready.count(), 1);
    QCOMPARE(scenario.count(), 2);
}

void TestLinkExchange::listingGoesToByteWhse()
{
    FakeSerial port;
    LinkExchange link;
    link.port().setDevice(&port);
    link.port().setRoute(LinkExchange::Route::AddressBook);
    link.sms().setSmsListing(true);
    port.feed(QByteArray("+CMGL: 3,1,,30\r\n0123456789ABCDEF0123456789\r\n\r\nOK\r\n"));
    QTRY_COMPARE(link.sms().smsList().size(), 2);
    QCOMPARE(link.sms().smsList()[0][0], QStringLiteral("+CMGL: 3,1,,30"));
    QCOMPARE(link.sms().smsList()[0][1], QStringLiteral("0123456789ABCDEF0123456789"));
    QCOMPARE(link.port().receiver()->sAnswer(), QStringLiteral("OK"));
}

void TestLinkExchange::smsPromptSendsBodyOnce()
{
    VirtualLink v;
    Logs logs(v.link);
    v.link.sms().armSmsPrompt(QStringLiteral("0011000B91"));
    // The modem: a prompt after the command, a second prompt later, OK after the body.
    v.port.onWrite = [&](const QByteArray &w) {
        if (w.startsWith("AT+CMGS="))
            v.port.feed(QByteArray("\r\n> "));
        else if (w.endsWith("\x1A\r"))
            v.port.feed(QByteArray("> \r\n+CMGS: 12\r\n\r\nOK\r\n"));
    };
    LinkTimerLog timers(v.link);
    const bool ok = v.run(v.link.sendCommand(QStringLiteral("AT+CMGS=22"), QStringLiteral("OK"), 2000));
    // The prompt only released the body: one exchange, which ended on the modem's "OK"
    // after "+CMGS: 12". The second prompt byte changes nothing, so no failure is logged.
    QCOMPARE(timers.entries, QList{LinkTimerLog::reply(2000)});
    QCOMPARE(v.link.replyState(), LinkExchange::ReplyState::Answered);
    QVERIFY(ok);
    QCOMPARE(v.link.lastAnswer().word, QStringLiteral("OK"));
    QVERIFY(logs.info.isEmpty());
    QVERIFY(!v.link.sms().smsPromptPending());
    QCOMPARE(v.port.writes.size(), 2);
    QCOMPARE(v.port.writes.at(0), QByteArray("AT+CMGS=22\r"));
    QCOMPARE(v.port.writes.at(1), QByteArray("0011000B91\x1A\r"));
    QVERIFY(!v.link.exchangeWaiting());
}

void TestLinkExchange::answerTestPrefix()
{
    VirtualLink v;
    Logs logs(v.link);
    v.answer(QByteArray("\r\nCONNECT 19200\r\n"));
    QVERIFY(v.run(v.link.sendCommand(QStringLiteral("ATD555"), QStringLiteral("CONNEC"), 1000)));
    QVERIFY(!v.run(v.link.sendCommand(QStringLiteral("ATD555"), QStringLiteral("CONNECT 9600"), 1000)));
    QCOMPARE(logs.info, QStringList{QStringLiteral("Ответ CONNECT не позволяет продолжение сценария\r\n")});
}

void TestLinkExchange::expectedTextsUpperCased()
{
    VirtualLink v;
    v.answer(QByteArray("\r\nOK\r\n"));
    QVERIFY(v.run(v.link.sendCommand(QStringLiteral("AT"), QStringList{QStringLiteral("error"), QStringLiteral("ok")}, 500)));
    QCOMPARE(v.link.replyState(), LinkExchange::ReplyState::Answered);
}

void TestLinkExchange::sendDataLogsHexWithoutLeadingZero()
{
    VirtualLink v;
    Logs logs(v.link);
    v.answer(QByteArray("\x05\x5C", 2));
    QVERIFY(!v.run(v.link.sendData(QByteArray("H"), QStringList{QStringLiteral("[")}, 500, 2)));
    QCOMPARE(logs.info,
             QStringList{QStringLiteral("Ответ 55C не ожидался в данный момент выполнение прервано\r\n")});
    // The receiver stays in data mode after an answered exchange.
    QCOMPARE(v.link.port().receiver()->mode(), clsReceive::Mode::Data);
    QCOMPARE(v.port.written(), QByteArray("H"));
}

void TestLinkExchange::unsolicitedAnswerIsHarmless()
{
    VirtualLink v;
    v.answer(QByteArray("\r\nRING\r\n+CLIP: \"+79161234567\",145\r\n\r\nOK\r\n"));
    // A call comes in while the command waits: its lines are logged, the command gets its OK.
    QVERIFY(v.run(v.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 500)));
    QCOMPARE(v.link.lastAnswer().word, QStringLiteral("OK"));
    // A command that waits for RING (answering a call) still takes it.
    v.answer(QByteArray("\r\nRING\r\n"));
    QVERIFY(v.run(v.link.sendCommand(QStringLiteral("AT+X"), QStringLiteral("RING"), 500)));
}

void TestLinkExchange::shutdownEndsWaitAndRefusesNewExchanges()
{
    VirtualLink v;
    Logs logs(v.link);
    Task<bool> waiting = v.link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 2000);
    v.clock.advance(50);
    v.link.shutdown();
    QVERIFY(!v.run(std::move(waiting)));
    QCOMPARE(v.link.replyState(), LinkExchange::ReplyState::Broken);
    QVERIFY(!v.link.exchangeWaiting());
    const int writes = v.port.writes.size();
    QVERIFY(!v.run(v.link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 2000)));
    QCOMPARE(v.port.writes.size(), writes);
}

void TestLinkExchange::rxLampLitForAMoment()
{
    FakeSerial port;
    LinkExchange link;
    link.port().setDevice(&port);
    QList<bool> rx;
    connect(&link.display(), &LinkDisplay::lampsChanged, this, [&](bool, bool on) { rx.append(on); });
    port.feed(QByteArray("\r\nOK\r\n"));
    // Lit once the bytes are handled, and still lit when the event loop gets to paint it.
    QTRY_COMPARE(rx, QList<bool>{true});
    QVERIFY(link.display().rxLamp());
    QTRY_COMPARE(rx, (QList<bool>{true, false}));
}

void TestLinkExchange::delayReturnsAtOnceAndEndsOnItsTimer()
{
    VirtualLink v;
    LinkTimerLog timers(v.link);
    // The pause returns to the caller at once; the conversation goes on when its timer fires.
    Task<void> pause = v.link.Delay(200);
    QVERIFY(!pause.isDone());
    v.clock.advance(199);
    QCoreApplication::sendPostedEvents();
    QVERIFY(!pause.isDone());
    v.run(std::move(pause));
    QCOMPARE(v.clock.elapsed(), 200);
    QCOMPARE(timers.entries, QList{LinkTimerLog::delay(200)});
}

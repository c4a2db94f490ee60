#include "TestLinkExchange.h"

#include "LinkTimerLog.h"

#include "FakeSerial.h"
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
        QObject::connect(&link, &LinkExchange::traffic, [this](const QString &t, LinkExchange::Traffic k) {
            traffic.append({t, k});
        });
        QObject::connect(&link, &LinkExchange::infoLine, [this](const QString &t) { info.append(t); });
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

} // namespace

void TestLinkExchange::sendStringCrEmpty()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    link.SendStringCR(QString());
    QCOMPARE(port.writes, QList<QByteArray>{QByteArray("\r")});
}

void TestLinkExchange::sendStringEmptySendsNothing()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    link.SendString(QString());
    QVERIFY(port.writes.isEmpty());
    link.SendString(QStringLiteral("+++"));
    QCOMPARE(port.writes, QList<QByteArray>{QByteArray("+++")});
}

void TestLinkExchange::echoTextMode()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    link.setEcho(true);
    link.SendStringCR(QStringLiteral("AT"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("AT\r"));
    QCOMPARE(port.written(), QByteArray("AT\r"));
}

void TestLinkExchange::echoDataModeHex()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    link.setEcho(true);
    link.receiver()->expectData({}, 0);
    link.SendString(QString::fromLatin1("\x5B\x41"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("5B 41 "));
    // SendStringCR echoes its carriage return as the character whatever the mode.
    link.SendStringCR(QStringLiteral("Z"));
    QCOMPARE(logs.trafficOf(LinkExchange::Traffic::Sent), QStringLiteral("5B 41 5A \r"));
    QCOMPARE(port.written(), QByteArray("\x5B\x41Z\r"));
}

void TestLinkExchange::noEchoWhenUnchecked()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    link.SendStringCR(QStringLiteral("ATI"));
    QVERIFY(logs.traffic.isEmpty());
    QCOMPARE(port.written(), QByteArray("ATI\r"));
}

void TestLinkExchange::receivedTextAndHex()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received), QStringLiteral("\r\nOK\r\n"));
    link.receiver()->expectData({}, 0);
    port.feed(QByteArray("\x5C\x05", 2));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received), QStringLiteral("\r\nOK\r\n5C05"));
}

void TestLinkExchange::lamps()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    QList<QPair<bool, bool>> seen;
    connect(&link, &LinkExchange::lampsChanged, this, [&](bool tx, bool rx) { seen.append({tx, rx}); });
    link.SendString(QStringLiteral("A"));
    QVERIFY(link.txLamp());
    QVERIFY(!link.rxLamp());
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
    link.setDevice(&port);
    QSignalSpy scenario(&link, &LinkExchange::scenarioByte);
    QSignalSpy ready(link.receiver(), &clsReceive::DataReady);

    link.setRoute(LinkExchange::Route::AddressBook);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(logs.trafficOf(LinkExchange::Traffic::Received).size(), 6);
    QCOMPARE(link.receiver()->bufferedCount(), 0);
    QCOMPARE(ready.count(), 0);
    QCOMPARE(scenario.count(), 0);

    link.setRoute(LinkExchange::Route::Scenario);
    port.feed(QByteArray("AB"));
    QTRY_COMPARE(scenario.count(), 2);
    QCOMPARE(scenario.at(0).at(0).value<quint8>(), quint8('A'));
    QCOMPARE(link.receiver()->bufferedCount(), 0);

    link.setRoute(LinkExchange::Route::Receiver);
    port.feed(QByteArray("\r\nOK\r\n"));
    QTRY_COMPARE(ready.count(), 1);
    QCOMPARE(scenario.count(), 2);
}

void TestLinkExchange::listingGoesToByteWhse()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    link.setRoute(LinkExchange::Route::AddressBook);
    link.setSmsListing(true);
    port.feed(QByteArray("+CMGL: 3,1,,30\r\n0123456789ABCDEF0123456789\r\n\r\nOK\r\n"));
    QTRY_COMPARE(link.smsList().size(), 2);
    QCOMPARE(link.smsList()[0][0], QStringLiteral("+CMGL: 3,1,,30"));
    QCOMPARE(link.smsList()[0][1], QStringLiteral("0123456789ABCDEF0123456789"));
    QCOMPARE(link.receiver()->sAnswer(), QStringLiteral("OK"));
}

void TestLinkExchange::smsPromptSendsBodyOnce()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    link.armSmsPrompt(QStringLiteral("0011000B91"));
    // The modem: a prompt after the command, a second prompt later, OK after the body.
    port.onWrite = [&](const QByteArray &w) {
        if (w.startsWith("AT+CMGS="))
            QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\n> ")); });
        else if (w.endsWith("\x1A\r"))
            QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("> \r\n+CMGS: 12\r\n\r\nOK\r\n")); });
    };
    LinkTimerLog timers(link);
    const bool ok = link.sendCommand(QStringLiteral("AT+CMGS=22"), QStringLiteral("OK"), 2000);
    // The prompt only released the body: one exchange, which ended on the modem's "OK"
    // after "+CMGS: 12". The second prompt byte changes nothing, so no failure is logged.
    QCOMPARE(timers.entries, QList{LinkTimerLog::reply(2000)});
    QCOMPARE(link.replyState(), LinkExchange::ReplyState::Answered);
    QVERIFY(ok);
    QCOMPARE(link.lastAnswer().word, QStringLiteral("OK"));
    QVERIFY(logs.info.isEmpty());
    QVERIFY(!link.smsPromptPending());
    QCOMPARE(port.writes.size(), 2);
    QCOMPARE(port.writes.at(0), QByteArray("AT+CMGS=22\r"));
    QCOMPARE(port.writes.at(1), QByteArray("0011000B91\x1A\r"));
    QCOMPARE(link.waitDepth(), 0);
}

void TestLinkExchange::exchangeStartedDuringWait()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    // Only the second command is answered.
    port.onWrite = [&](const QByteArray &w) {
        if (w == "AT+B\r")
            QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\nOK\r\n")); });
    };
    bool inner = false;
    int depthInside = 0;
    QTimer::singleShot(50, &link, [&] {
        depthInside = link.waitDepth();
        inner = link.sendCommand(QStringLiteral("AT+B"), QStringLiteral("OK"), 2000);
    });
    // The outer wait takes the state the inner exchange left and ends with it,
    // not with its own time-out.
    QVERIFY(link.sendCommand(QStringLiteral("AT+A"), QStringLiteral("OK"), 2000));
    QVERIFY(inner);
    QCOMPARE(depthInside, 1);
    QCOMPARE(link.waitDepth(), 0);
    QVERIFY(!link.replyTimerActive());
    QCOMPARE(port.written(), QByteArray("AT+A\rAT+B\r"));
}

void TestLinkExchange::answerTestPrefix()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    port.onWrite = [&](const QByteArray &) {
        QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\nCONNECT 19200\r\n")); });
    };
    QVERIFY(link.sendCommand(QStringLiteral("ATD555"), QStringLiteral("CONNEC"), 1000));
    QVERIFY(!link.sendCommand(QStringLiteral("ATD555"), QStringLiteral("CONNECT 9600"), 1000));
    QCOMPARE(logs.info, QStringList{QStringLiteral("Ответ CONNECT не позволяет продолжение сценария\r\n")});
}

void TestLinkExchange::expectedTextsUpperCased()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    port.onWrite = [&](const QByteArray &) {
        QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\nOK\r\n")); });
    };
    QString r1 = QStringLiteral("ok");
    QString r2 = QStringLiteral("error");
    QString r3;
    QVERIFY(link.sendCommand(QStringLiteral("AT"), r1, r2, r3, 500));
    QCOMPARE(r1, QStringLiteral("OK"));
    QCOMPARE(r2, QStringLiteral("ERROR"));
    QCOMPARE(link.replyState(), LinkExchange::ReplyState::Answered);
}

void TestLinkExchange::sendDataLogsHexWithoutLeadingZero()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    port.onWrite = [&](const QByteArray &) {
        QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\x05\x5C", 2)); });
    };
    QString r1 = QStringLiteral("[");
    QString r2;
    QString r3;
    QVERIFY(!link.sendData(QStringLiteral("H"), r1, r2, r3, 500, 2));
    QCOMPARE(logs.info,
             QStringList{QStringLiteral("Ответ 55C не ожидался в данный момент выполнение прервано\r\n")});
    // The receiver stays in data mode after an answered exchange.
    QCOMPARE(link.receiver()->mode(), clsReceive::Mode::Data);
    QCOMPARE(port.written(), QByteArray("H"));
}

void TestLinkExchange::unsolicitedAnswerIsHarmless()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    port.onWrite = [&](const QByteArray &) {
        QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\nRING\r\n+CLIP: \"+79161234567\",145\r\n\r\nOK\r\n")); });
    };
    // A call comes in while the command waits: its lines are logged, the command gets its OK.
    QVERIFY(link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 500));
    QCOMPARE(link.lastAnswer().word, QStringLiteral("OK"));
    // A command that waits for RING (answering a call) still takes it.
    port.onWrite = [&](const QByteArray &) {
        QTimer::singleShot(5, &port, [&] { port.feed(QByteArray("\r\nRING\r\n")); });
    };
    QVERIFY(link.sendCommand(QStringLiteral("AT+X"), QStringLiteral("RING"), 500));
}

void TestLinkExchange::shutdownEndsWaitAndRefusesNewExchanges()
{
    FakeSerial port;
    LinkExchange link;
    Logs logs(link);
    link.setDevice(&port);
    QTimer::singleShot(50, &link, [&] { link.shutdown(); });
    QVERIFY(!link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 2000));
    QCOMPARE(link.replyState(), LinkExchange::ReplyState::Broken);
    QCOMPARE(link.waitDepth(), 0);
    const int writes = port.writes.size();
    QVERIFY(!link.sendCommand(QStringLiteral("ATI"), QStringLiteral("OK"), 2000));
    QCOMPARE(port.writes.size(), writes);
}

void TestLinkExchange::rxLampLitForAMoment()
{
    FakeSerial port;
    LinkExchange link;
    link.setDevice(&port);
    QList<bool> rx;
    connect(&link, &LinkExchange::lampsChanged, this, [&](bool, bool on) { rx.append(on); });
    port.feed(QByteArray("\r\nOK\r\n"));
    // Lit once the bytes are handled, and still lit when the event loop gets to paint it.
    QTRY_COMPARE(rx, QList<bool>{true});
    QVERIFY(link.rxLamp());
    QTRY_COMPARE(rx, (QList<bool>{true, false}));
}

void TestLinkExchange::delayKeepsEventsRunning()
{
    LinkExchange link;
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(10);
    LinkTimerLog timers(link);
    link.Delay(200);
    QCOMPARE(timers.entries, QList{LinkTimerLog::delay(200)});
    QVERIFY(ticks >= 1);
    QVERIFY(!link.delayRunning());
}

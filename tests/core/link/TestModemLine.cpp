#include "TestModemLine.h"

#include "FakeSerial.h"
#include "RunTask.h"
#include "VirtualClock.h"
#include "core/link/ModemLine.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// A line on a port double that answers every command with "OK" at once.
struct Line
{
    VirtualClock clock;
    FakeSerial port;
    ModemLine line;
    LinkExchange &link = line.link();
    QStringList info;
    QStringList events;

    Line()
    {
        link.setClock(&clock);
        link.port().setDevice(&port);
        port.onWrite = [this](const QByteArray &) { port.feed("\r\nOK\r\n"); };
        QObject::connect(&link.display(), &LinkDisplay::infoLine, [this](const QString &t) { info << t; });
        QObject::connect(&line, &ModemLine::started, [this](quint64 t, ModemLine::Operation) {
            events << QStringLiteral("start %1").arg(t);
        });
        QObject::connect(&line, &ModemLine::finished, [this](quint64 t, ModemLine::Operation) {
            events << QStringLiteral("end %1").arg(t);
        });
    }
    ~Line() { line.shutdown(); }
    bool runAll() { return clock.runUntil([this] { return line.isIdle(); }); }
};

Task<void> command(LinkExchange &link, QString text)
{
    const bool ok = co_await link.sendCommand(text, QStringLiteral("OK"), 1000);
    Q_UNUSED(ok)
}

// A pause, then a command: the two kinds of wait an operation has.
Task<void> pauseThenCommand(LinkExchange &link, int ms, QString text)
{
    co_await link.Delay(ms);
    const bool ok = co_await link.sendCommand(text, QStringLiteral("OK"), 1000);
    Q_UNUSED(ok)
}

} // namespace

void TestModemLine::operationsRunOneAtATimeInOrder()
{
    Line l;
    // The first operation submits another while it runs: it queues behind the ones already there.
    l.line.submit(ModemLine::Operation::Command, [&l]() -> Task<void> {
        l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+D")); });
        return pauseThenCommand(l.link, 500, QStringLiteral("AT+A"));
    });
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+B")); });
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+C")); });
    // Nothing runs inside the submitting call.
    QVERIFY(l.port.writes.isEmpty());
    QVERIFY(l.runAll());
    QCOMPARE(l.port.written(), QByteArray("AT+A\rAT+B\rAT+C\rAT+D\r"));
    QCOMPARE(l.events, (QStringList{QStringLiteral("start 1"), QStringLiteral("end 1"), QStringLiteral("start 2"),
                                    QStringLiteral("end 2"), QStringLiteral("start 3"), QStringLiteral("end 3"),
                                    QStringLiteral("start 4"), QStringLiteral("end 4")}));
    QCOMPARE(l.clock.elapsed(), 500);
}

void TestModemLine::pollTickDroppedWhileOneWaits()
{
    Line l;
    int polls = 0;
    const auto poll = [&l, &polls]() -> Task<void> {
        ++polls;
        return command(l.link, QStringLiteral("AT+CMGL=4"));
    };
    l.line.submit(ModemLine::Operation::FirmwareLoad, [&l] { return pauseThenCommand(l.link, 60000, QStringLiteral("AT")); });
    QVERIFY(l.line.submitPoll(poll));
    // The next ticks fall while that poll still waits behind the load: dropped.
    QVERIFY(!l.line.submitPoll(poll));
    QVERIFY(!l.line.submitPoll(poll));
    QVERIFY(l.runAll());
    QCOMPARE(polls, 1);
    QCOMPARE(l.port.written(), QByteArray("AT\rAT+CMGL=4\r"));
    // Once it has run, the next tick queues again.
    QVERIFY(l.line.submitPoll(poll));
    QVERIFY(l.runAll());
    QCOMPARE(polls, 2);
}

void TestModemLine::breakHoldsForTheRunningOperationOnly()
{
    Line l;
    l.line.submit(ModemLine::Operation::FirmwareLoad, [&l]() -> Task<void> {
        return pauseThenCommand(l.link, 60000, QStringLiteral("ATD5551234"));
    });
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("ATI")); });
    QVERIFY(l.clock.runUntil([&l] { return l.line.isRunning(ModemLine::Operation::FirmwareLoad); }));
    l.clock.advance(1000);
    l.line.requestBreak();
    QVERIFY(l.runAll());
    // The pause ended at once, the dial after it neither went out nor waited; the next
    // operation started clean.
    QCOMPARE(l.clock.elapsed(), 1000);
    QCOMPARE(l.port.written(), QByteArray("ATI\r"));
    QCOMPARE(l.info, QStringList{QStringLiteral("Прервано пользователем \r\n")});
    QVERIFY(!l.link.breakRequested());
    // A break with nothing running changes nothing.
    l.line.requestBreak();
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT")); });
    QVERIFY(l.runAll());
    QCOMPARE(l.port.written(), QByteArray("ATI\rAT\r"));
}

void TestModemLine::lostPortEndsTheOperationAtOnce()
{
    Line l;
    l.port.onWrite = nullptr; // a modem that never answers
    l.line.submit(ModemLine::Operation::FirmwareLoad, [&l]() -> Task<void> {
        return [](LinkExchange &link) -> Task<void> {
            // The escape and pauses that end a load: with the port gone none of them waits.
            const bool dialled = co_await link.sendCommand(QStringLiteral("ATD5551234"), QStringLiteral("CONNEC"), 32700);
            Q_UNUSED(dialled)
            co_await link.Send3Plus();
            co_await link.Delay(6000);
            const bool hungUp = co_await link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), 10000);
            Q_UNUSED(hungUp)
        }(l.link);
    });
    QVERIFY(l.clock.runUntil([&l] { return l.link.exchangeWaiting(); }));
    l.clock.advance(100);
    emit l.port.readChannelFinished();
    QVERIFY(l.runAll());
    QCOMPARE(l.clock.elapsed(), 100);
    QVERIFY(l.link.port().isPortLost());
    QCOMPARE(l.port.written(), QByteArray("ATD5551234\r"));
}

void TestModemLine::abandonedOperationLeavesTheLineUsable()
{
    Line l;
    l.port.onWrite = nullptr;
    QSignalSpy finished(&l.line, &ModemLine::finished);
    l.line.submit(ModemLine::Operation::ModemCheck, [&l] { return command(l.link, QStringLiteral("AT")); });
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("ATI")); });
    QVERIFY(l.clock.runUntil([&l] { return l.link.exchangeWaiting(); }));
    // A window closes: what runs is dropped where it waits, and those waiting for it hear so.
    l.line.abandonAll();
    QCOMPARE(finished.size(), 1);
    QVERIFY(l.line.isIdle());
    QVERIFY(!l.link.exchangeWaiting());
    QVERIFY(!l.clock.hasTimers());
    l.port.onWrite = [&l](const QByteArray &) { l.port.feed("\r\nOK\r\n"); };
    l.line.submit(ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+X")); });
    QVERIFY(l.runAll());
    QCOMPARE(l.port.written(), QByteArray("AT\rAT+X\r"));
    QCOMPARE(l.link.replyState(), LinkExchange::ReplyState::Answered);
}

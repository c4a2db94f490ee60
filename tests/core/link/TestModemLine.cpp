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
    QStringList info;
    QStringList events;
    ModemLine line;
    LinkExchange &link = line.link();

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

// An operation whose guard, like a history row, must run however the frame ends.
Task<void> guardedWaits(LinkExchange &link, QStringList *trail, QString name)
{
    struct Guard
    {
        QStringList *trail;
        QString name;
        ~Guard() { trail->append(name + QStringLiteral(" unwound")); }
    } const guard{trail, name};
    const bool first = co_await link.sendCommand(QStringLiteral("AT"), QStringLiteral("OK"), 30000);
    trail->append(name + (first ? QStringLiteral(" answered") : QStringLiteral(" not answered")));
    co_await link.Delay(60000);
    trail->append(name + QStringLiteral(" after the pause"));
}

// Every ticket's end, by ticket: how it ended, and how many times.
struct Endings
{
    QHash<quint64, QList<ModemLine::Outcome>> of;
    explicit Endings(ModemLine &line)
    {
        QObject::connect(&line, &ModemLine::finished, [this](quint64 t, ModemLine::Operation, ModemLine::Outcome o) {
            of[t].append(o);
        });
    }
};

} // namespace

void TestModemLine::everyTicketEndsOnceWhenItsOwnerGoes()
{
    Line l;
    l.port.onWrite = nullptr; // a modem that never answers
    Endings endings(l.line);
    QStringList trail;
    auto owner = std::make_unique<QObject>();
    QObject other;
    const quint64 running = l.line.submit(owner.get(), ModemLine::Operation::SmsSend, [&l, &trail] {
        return guardedWaits(l.link, &trail, QStringLiteral("send"));
    });
    const quint64 queued = l.line.submit(owner.get(), ModemLine::Operation::Poll, [&l, &trail] {
        return guardedWaits(l.link, &trail, QStringLiteral("poll"));
    });
    const quint64 othersOwn = l.line.submit(&other, ModemLine::Operation::Command,
                                            [&l] { return command(l.link, QStringLiteral("ATI")); });
    QVERIFY(l.clock.runUntil([&l] { return l.link.exchangeWaiting(); }));
    // The owner goes: its running operation is run to its end at once (not destroyed mid-way:
    // its guard runs after its last steps), its queued one is dropped, the other owner's stays.
    owner.reset();
    QCOMPARE(trail, (QStringList{QStringLiteral("send not answered"), QStringLiteral("send after the pause"),
                                 QStringLiteral("send unwound")}));
    QCOMPARE(endings.of.value(running), QList<ModemLine::Outcome>{ModemLine::Outcome::Abandoned});
    QCOMPARE(endings.of.value(queued), QList<ModemLine::Outcome>{ModemLine::Outcome::Dropped});
    QVERIFY(!endings.of.contains(othersOwn));
    // No break line: nobody pressed anything. Nothing of it waits any more.
    QVERIFY(l.info.isEmpty());
    QVERIFY(!l.clock.hasTimers());
    l.port.onWrite = [&l](const QByteArray &) { l.port.feed("\r\nOK\r\n"); };
    QVERIFY(l.runAll());
    QCOMPARE(endings.of.value(othersOwn), QList<ModemLine::Outcome>{ModemLine::Outcome::Done});
    QCOMPARE(l.port.written(), QByteArray("AT\rATI\r"));
}

void TestModemLine::everyTicketEndsOnceWhenTheLineGoes()
{
    VirtualClock clock;
    FakeSerial port;
    QStringList trail;
    QHash<quint64, QList<ModemLine::Outcome>> endings;
    QList<quint64> tickets;
    {
        ModemLine line;
        line.link().setClock(&clock);
        line.link().port().setDevice(&port);
        QObject::connect(&line, &ModemLine::finished, [&endings](quint64 t, ModemLine::Operation, ModemLine::Outcome o) {
            endings[t].append(o);
        });
        LinkExchange &link = line.link();
        for (const QString &name : {QStringLiteral("load"), QStringLiteral("poll")})
            tickets << line.submit(nullptr, ModemLine::Operation::Command,
                                   [&link, &trail, name] { return guardedWaits(link, &trail, name); });
        QVERIFY(clock.runUntil([&link] { return link.exchangeWaiting(); }));
    }
    QCOMPARE(trail, (QStringList{QStringLiteral("load not answered"), QStringLiteral("load after the pause"),
                                 QStringLiteral("load unwound")}));
    QCOMPARE(endings.value(tickets[0]), QList<ModemLine::Outcome>{ModemLine::Outcome::Abandoned});
    QCOMPARE(endings.value(tickets[1]), QList<ModemLine::Outcome>{ModemLine::Outcome::Dropped});
}

void TestModemLine::submitAfterShutdownIsDropped()
{
    Line l;
    Endings endings(l.line);
    l.line.shutdown();
    bool ran = false;
    const quint64 ticket = l.line.submit(nullptr, ModemLine::Operation::Command, [&l, &ran] {
        ran = true;
        return command(l.link, QStringLiteral("AT"));
    });
    // Told from the event loop, after the caller has its ticket.
    QVERIFY(!endings.of.contains(ticket));
    QTRY_COMPARE(endings.of.value(ticket), QList<ModemLine::Outcome>{ModemLine::Outcome::Dropped});
    QVERIFY(!ran);
    QVERIFY(l.port.writes.isEmpty());
}

void TestModemLine::outcomesTellHowEachEnded()
{
    Line l;
    Endings endings(l.line);
    const quint64 done = l.line.submit(nullptr, ModemLine::Operation::Command,
                                       [&l] { return command(l.link, QStringLiteral("AT")); });
    const quint64 failed = l.line.submit(nullptr, ModemLine::Operation::Command, [&l] {
        l.line.reportFailure();
        return command(l.link, QStringLiteral("AT+F"));
    });
    const quint64 broken = l.line.submit(nullptr, ModemLine::Operation::Command,
                                         [&l] { return pauseThenCommand(l.link, 5000, QStringLiteral("AT+B")); });
    const quint64 dropped = l.line.submit(nullptr, ModemLine::Operation::Poll,
                                          [&l] { return command(l.link, QStringLiteral("AT+CMGL=4")); });
    QVERIFY(l.clock.runUntil([&l, broken] { return l.line.runningTicket() == broken; }));
    l.line.dropQueued(ModemLine::Operation::Poll);
    l.line.requestBreak();
    QVERIFY(l.runAll());
    QCOMPARE(endings.of.value(done), QList<ModemLine::Outcome>{ModemLine::Outcome::Done});
    QCOMPARE(endings.of.value(failed), QList<ModemLine::Outcome>{ModemLine::Outcome::Failed});
    QCOMPARE(endings.of.value(broken), QList<ModemLine::Outcome>{ModemLine::Outcome::BrokenOff});
    QCOMPARE(endings.of.value(dropped), QList<ModemLine::Outcome>{ModemLine::Outcome::Dropped});
    QCOMPARE(l.port.written(), QByteArray("AT\rAT+F\r"));
}

void TestModemLine::operationsRunOneAtATimeInOrder()
{
    Line l;
    // The first operation submits another while it runs: it queues behind the ones already there.
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l]() -> Task<void> {
        l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+D")); });
        return pauseThenCommand(l.link, 500, QStringLiteral("AT+A"));
    });
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+B")); });
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+C")); });
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
    l.line.submit(nullptr, ModemLine::Operation::FirmwareLoad, [&l] { return pauseThenCommand(l.link, 60000, QStringLiteral("AT")); });
    QVERIFY(l.line.submitPoll(nullptr, poll));
    // The next ticks fall while that poll still waits behind the load: dropped.
    QVERIFY(!l.line.submitPoll(nullptr, poll));
    QVERIFY(!l.line.submitPoll(nullptr, poll));
    QVERIFY(l.runAll());
    QCOMPARE(polls, 1);
    QCOMPARE(l.port.written(), QByteArray("AT\rAT+CMGL=4\r"));
    // Once it has run, the next tick queues again.
    QVERIFY(l.line.submitPoll(nullptr, poll));
    QVERIFY(l.runAll());
    QCOMPARE(polls, 2);
}

void TestModemLine::breakHoldsForTheRunningOperationOnly()
{
    Line l;
    l.line.submit(nullptr, ModemLine::Operation::FirmwareLoad, [&l]() -> Task<void> {
        return pauseThenCommand(l.link, 60000, QStringLiteral("ATD5551234"));
    });
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("ATI")); });
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
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT")); });
    QVERIFY(l.runAll());
    QCOMPARE(l.port.written(), QByteArray("ATI\rAT\r"));
}

void TestModemLine::lostPortEndsTheOperationAtOnce()
{
    Line l;
    l.port.onWrite = nullptr; // a modem that never answers
    l.line.submit(nullptr, ModemLine::Operation::FirmwareLoad, [&l]() -> Task<void> {
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
    l.line.submit(nullptr, ModemLine::Operation::ModemCheck, [&l] { return command(l.link, QStringLiteral("AT")); });
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("ATI")); });
    QVERIFY(l.clock.runUntil([&l] { return l.link.exchangeWaiting(); }));
    // A window closes: what runs is run to its end at once, what waits is dropped; each ticket
    // ends once and says how.
    l.line.abandonAll();
    QCOMPARE(finished.size(), 2);
    QCOMPARE(finished.at(0).at(0).toULongLong(), 2u);
    QCOMPARE(finished.at(0).at(2).value<ModemLine::Outcome>(), ModemLine::Outcome::Dropped);
    QCOMPARE(finished.at(1).at(0).toULongLong(), 1u);
    QCOMPARE(finished.at(1).at(2).value<ModemLine::Outcome>(), ModemLine::Outcome::Abandoned);
    QVERIFY(l.line.isIdle());
    QVERIFY(!l.link.exchangeWaiting());
    QVERIFY(!l.clock.hasTimers());
    l.port.onWrite = [&l](const QByteArray &) { l.port.feed("\r\nOK\r\n"); };
    l.line.submit(nullptr, ModemLine::Operation::Command, [&l] { return command(l.link, QStringLiteral("AT+X")); });
    QVERIFY(l.runAll());
    QCOMPARE(l.port.written(), QByteArray("AT\rAT+X\r"));
    QCOMPARE(l.link.replyState(), LinkExchange::ReplyState::Answered);
}

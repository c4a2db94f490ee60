#include "TestFleetRunOrder.h"

#include "FakeSmsRoute.h"
#include "core/app/AddressBook.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"
#include "core/fleet/FleetRun.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

using Script = FakeSmsRoute::Script;
using Outcome = FleetRun::Outcome;

QString phone(int i)
{
    return QStringLiteral("+7901000000") + QString::number(i);
}

QList<FleetRun::Target> targets(int n)
{
    QList<FleetRun::Target> list;
    for (int i = 0; i < n; ++i)
        list.append({QStringLiteral("t") + QString::number(i), phone(i)});
    return list;
}

Script takes(int ms, const QString &failure = QString(), int beginMs = 0)
{
    return {beginMs, ms, {QString(), failure.isEmpty(), failure}};
}

FleetRun::Request request(FleetRun::Job job, int waitSeconds = 120)
{
    FleetRun::Request r;
    r.job = job;
    r.waitSeconds = waitSeconds;
    return r;
}

// What the run told, and when on the virtual clock.
struct Watch
{
    QList<int> order;
    QList<qint64> at;
    int finished = 0;
    bool allDone = false;
    qint64 finishedAt = -1;
    int toldBeforeFinished = -1;

    Watch(FleetRun &run, const VirtualClock &clock)
    {
        QObject::connect(&run, &FleetRun::terminalFinished, &run, [this, &clock](int i) {
            order << i;
            at << clock.elapsed();
        });
        QObject::connect(&run, &FleetRun::finished, &run, [this, &clock](bool all) {
            ++finished;
            allDone = all;
            finishedAt = clock.elapsed();
            toldBeforeFinished = int(order.size());
        });
    }
    // Runs until nothing is due any more, so that a second finished would show.
    void runOut(VirtualClock &clock) { clock.runUntil([] { return false; }); }
};

const QString kNotSent = QStringLiteral("прервано: не отправлено");

} // namespace

void TestFleetRunOrder::outcomesAtOnceComeInTerminalOrder()
{
    // A gateway ends refused and failed sends inside submitSend: told from inside the send, the
    // next would start within the first, and the outcomes would come 2, 1, 0 inside start().
    VirtualClock clock;
    AppState state;
    FakeSmsRoute gateway(clock, state, false, QStringLiteral("gw"));
    gateway.script(phone(0), {0, 0, {QStringLiteral("Неверный номер телефона"), false, QString()}});
    gateway.script(phone(1), takes(0, QStringLiteral("ERROR")));
    gateway.script(phone(2), {0, 0, {QStringLiteral("Неверный номер SMS центра"), false, QString()}});
    FleetRun run({{&gateway, QStringLiteral("gw")}}, request(FleetRun::Job::SendProfile));
    Watch w(run, clock);
    run.start(targets(3));
    QVERIFY(w.order.isEmpty());
    QCOMPARE(w.finished, 0);
    w.runOut(clock);
    QCOMPARE(w.order, (QList<int>{0, 1, 2}));
    QCOMPARE(w.at, (QList<qint64>{0, 0, 0}));
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.toldBeforeFinished, 3);
    QCOMPARE(run.results().at(0).outcome, Outcome::Refused);
    QCOMPARE(run.results().at(1).outcome, Outcome::SendFailed);
    QCOMPARE(run.results().at(1).detail, QStringLiteral("ERROR"));
    QCOMPARE(run.results().at(2).detail, QStringLiteral("Неверный номер SMS центра"));
}

void TestFleetRunOrder::emptyRunFinishesFromTheEventLoop()
{
    VirtualClock clock;
    AppState state;
    FakeSmsRoute gateway(clock, state, false, QStringLiteral("gw"));
    FleetRun run({{&gateway, QStringLiteral("gw")}}, FleetRun::Request());
    Watch w(run, clock);
    run.start({});
    QCOMPARE(w.finished, 0);
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.allDone, true);
}

void TestFleetRunOrder::poolSendsOneAtATimeAndLooksOnceMore()
{
    VirtualClock clock;
    AppState state;
    FakeSmsRoute a(clock, state, true, QStringLiteral("A"));
    FakeSmsRoute b(clock, state, true, QStringLiteral("B"));
    for (int i = 0; i < 3; ++i) {
        a.script(phone(i), takes(12000));
        b.script(phone(i), takes(12000));
    }
    // Any line's answer counts; the third terminal confirms only the first half of its profile.
    SmsRoute::PollResult onA;
    onA.confirmations = {{phone(1), PacketType::ProfileBlock1}, {phone(1), PacketType::ProfileBlock2},
                         {phone(2), PacketType::ProfileBlock1}};
    SmsRoute::PollResult onB;
    onB.confirmations = {{phone(0), PacketType::ProfileBlock2}, {phone(0), PacketType::ProfileBlock1}};
    a.setPollResult(onA);
    b.setPollResult(onB, 2000);
    FleetRun run({{&a, QStringLiteral("A")}, {&b, QStringLiteral("B")}}, request(FleetRun::Job::SendProfile, 3));
    Watch w(run, clock);
    run.start(targets(3));
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.allDone, false);
    QCOMPARE(run.results().at(1).port, QStringLiteral("B"));
    QCOMPARE(a.begun(), (QStringList{phone(0), phone(2)}));
    QCOMPARE(b.begun(), QStringList{phone(1)});
    // One request at a time per line: the poll the timer asked for during the first send (at
    // 10 s) ran before the second went.
    QCOMPARE(a.maxOutstanding(), 1);
    QCOMPARE(a.log().mid(0, 3),
             (QStringList{QStringLiteral("send ") + phone(0), QStringLiteral("poll"), QStringLiteral("send ") + phone(2)}));
    QCOMPARE(run.results().at(0).outcome, Outcome::Done);
    QCOMPARE(run.results().at(0).detail, QStringLiteral("подтверждено терминалом"));
    QCOMPARE(run.results().at(1).outcome, Outcome::Done);
    QCOMPARE(run.results().at(2).outcome, Outcome::NoAnswer);
    QCOMPARE(run.results().at(2).detail, QStringLiteral("нет ответа за 3 с"));
    // The last request went at 24 s and the wait ended at 27 s; the silent one is told once a
    // poll begun then has reported on every line: B's takes two seconds.
    QCOMPARE(w.order.last(), 2);
    for (const FakeSmsRoute *route : {&a, &b}) {
        bool looked = false;
        for (const FakeSmsRoute::Poll &poll : route->polls())
            looked = looked || (poll.started >= 27000 && poll.reported <= w.at.last());
        QVERIFY2(looked, qPrintable(route->routeName()));
    }
    QCOMPARE(w.at.last(), qint64(29000));
}

void TestFleetRunOrder::pollUnderWayAtTheDeadlineIsNotTheLastLook()
{
    // The request goes at 1 s and the wait ends at 3 s, while the poll that listed the store at
    // 1 s is still deleting (until 4 s). The answer came at 2.5 s: only the next poll (listing at
    // 4 s) can see it, and the terminal must not be told silent before that one has reported.
    VirtualClock clock;
    AppState state;
    FakeSmsRoute line(clock, state, true, QStringLiteral("A"));
    line.script(phone(0), takes(1000));
    line.setPollResult(SmsRoute::PollResult(), 3000);
    SmsRoute::PollResult answer;
    answer.confirmations = {{phone(0), PacketType::GprsSettings}};
    clock.startTimer(2500, &line, [&line, answer] { line.setPollResult(answer, 3000); });
    FleetRun run({{&line, QStringLiteral("A")}}, request(FleetRun::Job::SendGprs, 2));
    Watch w(run, clock);
    run.start(targets(1));
    w.runOut(clock);
    QCOMPARE(run.results().at(0).outcome, Outcome::Done);
    QCOMPARE(w.finishedAt, qint64(7000));
}

void TestFleetRunOrder::interruptOnALineCompletesTheSendUnderWay()
{
    QTemporaryDir dir;
    Database db;
    QString error;
    QVERIFY2(db.open(dir.filePath(QStringLiteral("Data.db")), error), qPrintable(error));
    VirtualClock clock;
    AppState state;
    FakeSmsRoute line(clock, state, true, QStringLiteral("A"));
    for (int i = 0; i < 3; ++i)
        line.script(phone(i), takes(5000));
    FleetRun::Request r = request(FleetRun::Job::SendProfile);
    r.history = &db;
    FleetRun run({{&line, QStringLiteral("A")}}, r);
    Watch w(run, clock);
    run.start(targets(3));
    QVERIFY(clock.runUntil([&line] { return !line.begun().isEmpty(); }));
    run.interrupt();
    QCOMPARE(line.breaks(), 1);
    w.runOut(clock);
    // The pair under way went whole; nothing else was sent, and all is told once it has ended.
    QCOMPARE(line.submitted(), 1);
    QCOMPARE(line.packets().size(), 2);
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.finishedAt, qint64(5000));
    QCOMPARE(w.order, (QList<int>{0, 1, 2}));
    const QStringList details{QStringLiteral("прервано: отправлено, подтверждение не дождались"), kNotSent, kNotSent};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(run.results().at(i).outcome, Outcome::Interrupted);
        QCOMPARE(run.results().at(i).detail, details.at(i));
    }
    const QList<OperationHistory::Entry> rows = OperationHistory(db).entries();
    QCOMPARE(rows.size(), 3);
    for (const OperationHistory::Entry &row : rows) {
        const int i = row.number.right(1).toInt();
        QCOMPARE(row.number, phone(i));
        QCOMPARE(row.terminal, QStringLiteral("t") + QString::number(i));
        QCOMPARE(row.operation, OperationHistory::Operation::SendProfile);
        QCOMPARE(row.result, OperationHistory::Result::Failed);
        QCOMPARE(row.detail, details.at(i));
    }
}

void TestFleetRunOrder::interruptOnAGatewayWaitsForEverySend()
{
    VirtualClock clock;
    AppState state;
    FakeSmsRoute gateway(clock, state, false, QStringLiteral("gw"));
    gateway.script(phone(0), takes(3000));
    gateway.script(phone(1), takes(1000, QStringLiteral("ERROR")));
    gateway.script(phone(2), takes(2000));
    gateway.script(phone(3), takes(1000, QString(), 4000)); // its first packet has not gone yet
    FleetRun run({{&gateway, QStringLiteral("gw")}}, request(FleetRun::Job::ReadProfile));
    Watch w(run, clock);
    run.start(targets(4));
    QCOMPARE(gateway.submitted(), 4);
    run.interrupt();
    QCOMPARE(gateway.breaks(), 1);
    w.runOut(clock);
    // The break ends the one that had not begun at once; every other send ends in its own time
    // and is not sent again; the ones that went are told when the last has ended.
    QCOMPARE(gateway.begun(), (QStringList{phone(0), phone(1), phone(2)}));
    QCOMPARE(gateway.submitted(), 4);
    QVERIFY(gateway.sendsIdle());
    QCOMPARE(w.order, (QList<int>{3, 1, 0, 2}));
    QCOMPARE(w.at, (QList<qint64>{0, 1000, 3000, 3000}));
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.finishedAt, qint64(3000));
    QCOMPARE(w.toldBeforeFinished, 4);
    const QString awaited = QStringLiteral("прервано: запрос отправлен, профиль не дождались");
    const QStringList details{awaited, kNotSent + QStringLiteral(" (ERROR)"), awaited, kNotSent + QStringLiteral(" (прервано)")};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(run.results().at(i).outcome, Outcome::Interrupted);
        QCOMPARE(run.results().at(i).detail, details.at(i));
    }
}

namespace {

// A send whose modem never answered: nothing went, and the line is of no more use.
Script deadLine(SmsRoute::LineFault fault = SmsRoute::LineFault::NoAnswer)
{
    Script s = takes(3000, QStringLiteral("модем не принял: нет ответа"));
    s.result.nothingSent = true;
    s.result.lineFault = fault;
    return s;
}

} // namespace

void TestFleetRunOrder::deadLineHandsItsTerminalsToTheOther()
{
    VirtualClock clock;
    AppState state;
    FakeSmsRoute a(clock, state, true, QStringLiteral("A"));
    FakeSmsRoute b(clock, state, true, QStringLiteral("B"));
    SmsRoute::PollResult answers;
    for (int i = 0; i < 4; ++i) {
        a.script(phone(i), takes(1000));
        b.script(phone(i), deadLine());
        answers.confirmations << ListingSweep::Outcome::Confirmation{phone(i), PacketType::GprsSettings};
    }
    a.setPollResult(answers);
    FleetRun run({{&a, QStringLiteral("A")}, {&b, QStringLiteral("B")}}, request(FleetRun::Job::SendGprs, 5));
    QList<std::pair<int, SmsRoute::LineFault>> dropped;
    QObject::connect(&run, &FleetRun::lineDropped, &run,
                     [&dropped](int line, SmsRoute::LineFault fault) { dropped.append({line, fault}); });
    Watch w(run, clock);
    run.start(targets(4));
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    QVERIFY(w.allDone);
    // B tried once; its terminal and the one still waiting for it went through A.
    QCOMPARE(b.submitted(), 1);
    QCOMPARE(dropped, (QList<std::pair<int, SmsRoute::LineFault>>{{1, SmsRoute::LineFault::NoAnswer}}));
    QCOMPARE(a.begun().size(), 4);
    QCOMPARE(a.maxOutstanding(), 1);
    for (int i = 0; i < 4; ++i)
        QCOMPARE(run.results().at(i).port, QStringLiteral("A"));
    // The dead line is no more polled.
    QVERIFY(b.polls().size() <= 1);
}

void TestFleetRunOrder::lastLineOutEndsWhatWasNotSent()
{
    VirtualClock clock;
    AppState state;
    QTemporaryDir dir;
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    FakeSmsRoute a(clock, state, true, QStringLiteral("A"));
    for (int i = 0; i < 3; ++i)
        a.script(phone(i), deadLine(SmsRoute::LineFault::PortLost));
    FleetRun::Request r = request(FleetRun::Job::ReadProfile, 5);
    r.history = &db;
    FleetRun run({{&a, QStringLiteral("A")}}, r);
    Watch w(run, clock);
    run.start(targets(3));
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    // Not one send per terminal on a port that is gone: the first tells, the rest end at once.
    QCOMPARE(a.submitted(), 1);
    QCOMPARE(w.at, (QList<qint64>{3000, 3000, 3000}));
    QCOMPARE(run.results().at(0).outcome, Outcome::SendFailed);
    QCOMPARE(run.results().at(0).detail, QStringLiteral("модем не принял: нет ответа"));
    for (int i = 1; i < 3; ++i) {
        QCOMPARE(run.results().at(i).outcome, Outcome::SendFailed);
        QCOMPARE(run.results().at(i).detail, QStringLiteral("не отправлено: в пуле не осталось модемов"));
    }
    // Every terminal has its row.
    QCOMPARE(OperationHistory(db).lastFailed(OperationHistory::Operation::ReadProfile).size(), 3);
}

void TestFleetRunOrder::unknownSendIsNotSentAgain()
{
    VirtualClock clock;
    AppState state;
    FakeSmsRoute a(clock, state, true, QStringLiteral("A"));
    FakeSmsRoute b(clock, state, true, QStringLiteral("B"));
    Script unknown = takes(20000, SmsRoute::unknownText());
    unknown.result.unknown = true;
    a.script(phone(0), unknown);
    b.script(phone(1), unknown);
    // The second terminal's settings did reach it: its confirmation settles it.
    SmsRoute::PollResult answers;
    answers.confirmations = {{phone(1), PacketType::GprsSettings}};
    b.setPollResult(answers);
    FleetRun run({{&a, QStringLiteral("A")}, {&b, QStringLiteral("B")}}, request(FleetRun::Job::SendGprs, 5));
    Watch w(run, clock);
    run.start(targets(2));
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    QCOMPARE(a.submitted(), 1);
    QCOMPARE(b.submitted(), 1);
    QCOMPARE(run.results().at(0).outcome, Outcome::Unknown);
    QCOMPARE(run.results().at(0).detail, QStringLiteral("не известно, принято ли"));
    QCOMPARE(run.results().at(1).outcome, Outcome::Done);
}

void TestFleetRunOrder::sendNotAwaitedIsDoneOnceGone()
{
    // One terminal's send as the window makes it: done when it has gone, nothing polled, and its
    // row names the terminal as the book does when it was given by its number.
    VirtualClock clock;
    QTemporaryDir dir;
    AppState state(dir.path());
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    AddressBook book(db);
    QCOMPARE(book.add(QStringLiteral("Грузовик"), phone(0), error), AddressBook::Result::Done);
    FakeSmsRoute a(clock, state, true, QStringLiteral("A"));
    a.script(phone(0), takes(15000));
    Script unknown = takes(1000, SmsRoute::unknownText());
    unknown.result.unknown = true;
    a.script(phone(1), unknown);
    FleetRun::Request r = request(FleetRun::Job::SendProfile, 5);
    r.awaitAnswers = false;
    r.history = &db;
    FleetRun run({{&a, QStringLiteral("A")}}, r);
    Watch w(run, clock);
    run.start({{phone(0), phone(0)}, {QStringLiteral("t1"), phone(1)}});
    w.runOut(clock);
    QCOMPARE(w.finished, 1);
    QCOMPARE(w.at, (QList<qint64>{15000, 16000}));
    QVERIFY(a.polls().isEmpty());
    QCOMPARE(run.results().at(0).outcome, Outcome::Done);
    QCOMPARE(run.results().at(0).detail, QStringLiteral("отправлено"));
    QCOMPARE(run.results().at(1).outcome, Outcome::Unknown);
    const QList<OperationHistory::Entry> rows = OperationHistory(db).entries();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(1).terminal, QStringLiteral("Грузовик"));
    QCOMPARE(rows.at(0).terminal, QStringLiteral("t1"));
}

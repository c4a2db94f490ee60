#include "TestFleetRun.h"

#include "RunTask.h"
#include "SimLink.h"
#include "SmsTestSupport.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"
#include "core/fleet/FleetRun.h"
#include "core/route/ProfileTransfer.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFirst = QStringLiteral("+71234567890");
const QString kSecond = QStringLiteral("89169876543");
const QString kSilent = QStringLiteral("+70000000000");

// Two modems, each with its own terminals, and the profile transfer on each.
struct Pool
{
    QTemporaryDir dir;
    SimLink a;
    SimLink b;
    AppState state{dir.path()};
    std::unique_ptr<ProfileTransfer> ta;
    std::unique_ptr<ProfileTransfer> tb;
    QStringList order; // terminals in the order their outcome was told

    bool start(const QStringList &extra = {})
    {
        const QString image = dir.filePath(QStringLiteral("t.bin"));
        if (!writeBytes(image, SmsTest::profileFile(3) + QByteArray(130, '\x7F')))
            return false;
        const QStringList common = QStringList{QStringLiteral("--sms-delay"), QStringLiteral("200")} + extra;
        if (!a.start(QStringList{QStringLiteral("--terminal"), kFirst + QLatin1Char('=') + image} + common)
            || !b.start(QStringList{QStringLiteral("--terminal"), kSecond + QLatin1Char('=') + image} + common))
            return false;
        // The poll every 0.5 s; the wait below is in real seconds.
        a.link.setTimeScale(0.05);
        b.link.setTimeScale(0.05);
        ta = std::make_unique<ProfileTransfer>(a.line, state);
        tb = std::make_unique<ProfileTransfer>(b.line, state);
        return true;
    }
    QList<FleetRun::Line> lines()
    {
        return {{ta.get(), QStringLiteral("A")}, {tb.get(), QStringLiteral("B")}};
    }
};

QList<FleetRun::Target> targets()
{
    return {{QStringLiteral("first"), kFirst}, {QStringLiteral("second"), kSecond}, {QStringLiteral("silent"), kSilent}};
}

} // namespace

void TestFleetRun::readOverTwoLinesWithASilentTerminal()
{
    Pool p;
    QVERIFY(p.start());
    Database db;
    QString error;
    QVERIFY(db.open(p.dir.filePath(QStringLiteral("Data.db")), error));
    p.state.database = &db;
    FleetRun::Request request;
    request.job = FleetRun::Job::ReadProfile;
    request.waitSeconds = 3;
    request.history = &db;
    FleetRun run(p.lines(), request);
    QObject::connect(&run, &FleetRun::terminalFinished, [&](int i) { p.order << run.targets().at(i).name; });
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start(targets());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toBool(), false);
    // Spread over the pool: first and silent on A, second on B; every request went out first.
    QCOMPARE(run.results().at(0).port, QStringLiteral("A"));
    QCOMPARE(run.results().at(1).port, QStringLiteral("B"));
    QCOMPARE(run.results().at(2).port, QStringLiteral("A"));
    // The modem is asked to announce what it stores before the first request, and does.
    QVERIFY(p.a.sim.received().startsWith("AT+CNMI=2,1,0,0,0\rAT+CMGF=0\r"));
    QVERIFY(p.a.sim.sent().contains("\r\n+CMTI: \"SM\",1\r\n"));
    QCOMPARE(run.results().at(0).outcome, FleetRun::Outcome::Done);
    QCOMPARE(run.results().at(0).detail, p.dir.filePath(QStringLiteral("BIN/1234567890.bin")));
    QCOMPARE(readBytes(run.results().at(0).detail), SmsTest::profileFile(3));
    QCOMPARE(run.results().at(1).outcome, FleetRun::Outcome::Done);
    QCOMPARE(run.results().at(2).outcome, FleetRun::Outcome::NoAnswer);
    // The silent one is told last, when the wait is over; the others as soon as they answered.
    QCOMPARE(p.order.last(), QStringLiteral("silent"));
    QCOMPARE(p.order.size(), 3);
    // Each terminal's outcome and each profile the polls received are in the history; a retry
    // would ask only the silent one again.
    OperationHistory history(db);
    OperationHistory::Filter reads;
    reads.number = kSilent;
    QCOMPARE(history.entries(reads).size(), 1);
    QCOMPARE(history.entries(reads).at(0).terminal, QStringLiteral("silent"));
    QCOMPARE(history.entries(reads).at(0).port, QStringLiteral("A"));
    QCOMPARE(history.lastFailed(OperationHistory::Operation::ReadProfile), QStringList{kSilent});
    int received = 0;
    for (const OperationHistory::Entry &e : history.entries())
        received += e.operation == OperationHistory::Operation::ProfileReceived ? 1 : 0;
    QCOMPARE(received, 2);
    p.state.database = nullptr;
}

void TestFleetRun::sendProfileWaitsForBothConfirmations()
{
    Pool p;
    QVERIFY(p.start());
    FleetRun::Request request;
    request.job = FleetRun::Job::SendProfile;
    request.profile = SmsTest::profileFile(8);
    request.waitSeconds = 3;
    FleetRun run(p.lines(), request);
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start({{QStringLiteral("first"), kFirst}, {QStringLiteral("second"), kSecond}});
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QVERIFY(run.allDone());
    QCOMPARE(run.results().at(0).detail, QStringLiteral("подтверждено терминалом"));
    // A refused number is told at once and never waited for.
    FleetRun refused(p.lines(), request);
    QSignalSpy refusedEnd(&refused, &FleetRun::finished);
    refused.start({{QStringLiteral("bad"), QStringLiteral("+")}});
    QVERIFY(refusedEnd.wait(5000));
    QCOMPARE(refused.results().at(0).outcome, FleetRun::Outcome::Refused);
}

void TestFleetRun::answerInTheStoreAtTheDeadlineCounts()
{
    // A confirmation already waits in the modem's store, and the run may not wait at all: the
    // last look at the store when the wait is over still finds it.
    Pool p;
    QVERIFY(p.start({QStringLiteral("--sms-delay"), QStringLiteral("0")}));
    const GprsSettings gprs{QStringLiteral("internet"), QString(), QString(), QStringLiteral("10.0.0.1"),
                            QStringLiteral("1000")};
    QVERIFY(runTask(p.ta->sendGprs(kFirst, QString(), gprs)).passed);
    QTRY_VERIFY(p.a.sim.events().contains(QStringLiteral("# sms stored 1")));
    FleetRun::Request request;
    request.job = FleetRun::Job::SendGprs;
    request.gprs = gprs;
    request.waitSeconds = 0;
    FleetRun run(p.lines(), request);
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start({{QStringLiteral("first"), kFirst}});
    QVERIFY(finished.wait(20000));
    QCOMPARE(run.results().at(0).outcome, FleetRun::Outcome::Done);
    QCOMPARE(run.results().at(0).detail, QStringLiteral("подтверждено терминалом"));
}

void TestFleetRun::silentModemLeavesThePool()
{
    // Both modems reach every terminal; the second never answers anything.
    QTemporaryDir dir;
    SimLink a;
    SimLink b;
    const QString third = QStringLiteral("+79161112233");
    QVERIFY(a.start({QStringLiteral("--terminal"), kFirst, QStringLiteral("--terminal"), kSecond, QStringLiteral("--terminal"),
                     third, QStringLiteral("--sms-delay"), QStringLiteral("200")}));
    QVERIFY(b.start({QStringLiteral("--silent")}));
    a.link.setTimeScale(0.05);
    b.link.setTimeScale(0.05);
    AppState state{dir.path()};
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    state.database = &db;
    ProfileTransfer ta(a.line, state);
    ProfileTransfer tb(b.line, state);
    FleetRun::Request request;
    request.job = FleetRun::Job::ReadProfile;
    request.waitSeconds = 3;
    request.history = &db;
    FleetRun run({{&ta, QStringLiteral("A")}, {&tb, QStringLiteral("B")}}, request);
    QSignalSpy dropped(&run, &FleetRun::lineDropped);
    QSignalSpy finished(&run, &FleetRun::finished);
    run.start({{QStringLiteral("first"), kFirst}, {QStringLiteral("second"), kSecond}, {QStringLiteral("third"), third}});
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.at(0).at(0).toBool(), true);
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped.at(0).at(0).toInt(), 1);
    QCOMPARE(dropped.at(0).at(1).value<SmsRoute::LineFault>(), SmsRoute::LineFault::NoAnswer);
    // Every terminal was served by the live modem, and its row names it.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(run.results().at(i).outcome, FleetRun::Outcome::Done);
        QCOMPARE(run.results().at(i).port, QStringLiteral("A"));
    }
    QCOMPARE(a.sim.received().count("AT+CMGS="), 6);
    QVERIFY(!b.sim.received().contains("AT+CMGS="));
    OperationHistory::Filter second;
    second.number = kSecond;
    bool rowOnA = false;
    for (const OperationHistory::Entry &e : OperationHistory(db).entries(second))
        rowOnA = rowOnA || (e.operation == OperationHistory::Operation::ReadProfile && e.port == QStringLiteral("A")
                            && e.result == OperationHistory::Result::Ok);
    QVERIFY(rowOnA);
    state.database = nullptr;
}

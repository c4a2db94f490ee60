#include "TestUploadRollOut.h"

#include "FirmwareFixture.h"
#include "ScriptedPrompts.h"
#include "SimLink.h"
#include "TestFiles.h"
#include "core/app/Database.h"
#include "core/app/ResumePoints.h"
#include "core/fleet/UploadRollOut.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace FirmwareFixture;

namespace {

using Outcome = UploadRollOut::Outcome;

// Boot-loader terminals behind two modems, the book, and one image of three blocks.
struct Pool
{
    QTemporaryDir dir;
    Database db;
    ScriptedPrompts prompts;
    SimLink a;
    SimLink b;
    FirmwareDataCall::Request request;
    QList<int> told; // terminalFinished, in order

    bool start(const QStringList &aOptions = {})
    {
        QString error;
        request.files[0] = dir.filePath(QStringLiteral("1.BIN"));
        request.start = {false, QStringLiteral("0"), QStringLiteral("0")};
        request.database = &db;
        if (!db.open(dir.filePath(QStringLiteral("Data.db")), error) || !writeBytes(request.files[0], pattern(3000, 3)))
            return false;
        const auto boot = [this](const char *name) {
            return QStringList{QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"),
                               QStringLiteral("50"), QStringLiteral("--dump"), dir.filePath(QLatin1String(name))};
        };
        if (!a.start(boot("a.img") + aOptions) || !b.start(boot("b.img")))
            return false;
        a.link.setTimeScale(0.1);
        b.link.setTimeScale(0.1);
        return true;
    }
    QList<UploadRollOut::Line> lines() { return {{&a.line, QStringLiteral("A")}, {&b.line, QStringLiteral("B")}}; }
    void watch(UploadRollOut &run)
    {
        QObject::connect(&run, &UploadRollOut::terminalFinished, [this](int index) { told << index; });
    }
};

QList<UploadRollOut::Target> targets(int count)
{
    QList<UploadRollOut::Target> list;
    for (int i = 1; i <= count; ++i)
        list.append({QStringLiteral("t%1").arg(i), QStringLiteral("555000%1").arg(i)});
    return list;
}

QList<Outcome> outcomes(const UploadRollOut &run)
{
    QList<Outcome> list;
    for (const UploadRollOut::Result &r : run.results())
        list << r.outcome;
    return list;
}

} // namespace

void TestUploadRollOut::twoLinesShareThreeTerminals()
{
    Pool p;
    QVERIFY(p.start());
    UploadRollOut run(p.request, targets(3), p.prompts);
    p.watch(run);
    QHash<int, QStringList> progress;
    QObject::connect(&run, &UploadRollOut::progress, [&](int terminal, const QString &text) { progress[terminal] << text; });
    QSignalSpy finished(&run, &UploadRollOut::finished);
    run.start(p.lines());
    QVERIFY(finished.wait(60000));
    QCOMPARE(outcomes(run), (QList<Outcome>{Outcome::Ok, Outcome::Ok, Outcome::Ok}));
    QVERIFY(run.allDone());
    // One line each at first; the third goes to whichever came free first.
    QCOMPARE(run.results()[0].port, QStringLiteral("A"));
    QCOMPARE(run.results()[1].port, QStringLiteral("B"));
    SimLink &third = run.results()[2].port == QStringLiteral("A") ? p.a : p.b;
    QVERIFY(third.sim.received().contains("ATD5550003\r"));
    QCOMPARE(p.told.size(), 3);
    QCOMPARE(p.told.last(), 2);
    QCOMPARE(finished.size(), 1);
    // Each terminal's own log: nothing of another load is told as its.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(progress[i].count(QStringLiteral(" Передача завершена успешно. Спасибо! ")), 1);
        QCOMPARE(progress[i].last(), QStringLiteral("Труба положена"));
    }
    const Transfer whole = banked(pattern(3000, 3), {}, {}, 0, 0, false, false);
    QCOMPARE(readBytes(p.dir.filePath(QStringLiteral("b.img"))), whole.image);
}

void TestUploadRollOut::settledTerminalsTakeNoLine()
{
    Pool p;
    QVERIFY(p.start());
    p.request.start.continueFromLast = true;
    const ResumePoints::Point done{QStringLiteral("5550001"), ResumePoints::Mode::Banked,
                                   ResumePoints::fingerprint({p.request.files[0], QString(), QString()}), 0, 0};
    QString error;
    QVERIFY(ResumePoints(p.db).finish(done, error));
    UploadRollOut run(p.request, targets(2), p.prompts);
    p.watch(run);
    // Told before settle() returns, so the caller can say it before any port is opened.
    QVERIFY(!run.settle());
    QCOMPARE(p.told, (QList<int>{0, 1}));
    QCOMPARE(outcomes(run), (QList<Outcome>{Outcome::AlreadyLoaded, Outcome::Failed}));
    QVERIFY2(run.results()[1].detail.contains(QStringLiteral("нет сохраненной точки продолжения")),
             qPrintable(run.results()[1].detail));
    QSignalSpy finished(&run, &UploadRollOut::finished);
    run.start(p.lines());
    QCOMPARE(finished.size(), 0);
    QVERIFY(finished.wait(5000));
    QCOMPARE(p.told.size(), 2);
    QTest::qWait(100);
    QCOMPARE(p.a.sim.received() + p.b.sim.received(), QByteArray());
}

void TestUploadRollOut::interruptFailsTheRestOnce()
{
    Pool p;
    QVERIFY(p.start({QStringLiteral("--no-ack-at"), QStringLiteral("2")}));
    UploadRollOut run(p.request, targets(3), p.prompts);
    p.watch(run);
    QObject::connect(&p.a.sim, &SimModem::eventArrived, &run, [&run](const QString &line) {
        if (line.contains(QLatin1String("no acknowledgement")))
            QTimer::singleShot(0, &run, [&run] { run.interrupt(); });
    });
    QSignalSpy finished(&run, &UploadRollOut::finished);
    run.start({{&p.a.line, QStringLiteral("A")}});
    QVERIFY(finished.wait(60000));
    QCOMPARE(outcomes(run), (QList<Outcome>{Outcome::Failed, Outcome::Failed, Outcome::Failed}));
    QCOMPARE(run.results()[2].detail, QStringLiteral("прервано: загрузка не начата"));
    QVERIFY(!run.allDone());
    QCOMPARE(p.told, (QList<int>{0, 1, 2}));
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
    QVERIFY(!p.a.sim.received().contains("ATD5550002"));
    // The break hung up the first call.
    QVERIFY(p.a.sim.received().endsWith("ATH\r"));
}

void TestUploadRollOut::closedPortEndsItsTerminalOnly()
{
    Pool p;
    QVERIFY(p.start({QStringLiteral("--no-ack-at"), QStringLiteral("2")}));
    UploadRollOut run(p.request, targets(3), p.prompts);
    p.watch(run);
    // Line A goes away in the middle of its load, as a second Ctrl-C takes it.
    QObject::connect(&p.a.sim, &SimModem::eventArrived, &run, [&p](const QString &line) {
        if (line.contains(QLatin1String("no acknowledgement")))
            QTimer::singleShot(0, &p.a.port, [&p] {
                p.a.port.close();
                p.a.line.shutdown();
            });
    });
    QSignalSpy finished(&run, &UploadRollOut::finished);
    run.start(p.lines());
    QVERIFY(finished.wait(60000));
    QCOMPARE(outcomes(run), (QList<Outcome>{Outcome::Failed, Outcome::Ok, Outcome::Ok}));
    QCOMPARE(run.results()[2].port, QStringLiteral("B"));
    QCOMPARE(p.told.size(), 3);
    QCOMPARE(finished.size(), 1);
}

#include "TestTasksCli.h"

#include "SmsdGateway.h"
#include "TestFiles.h"
#include "VirtualClock.h"

#include "core/app/Database.h"
#include "core/gateway/SmsdConfig.h"
#include "core/gateway/SmsdStore.h"
#include "core/tasks/TaskBook.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Change = TaskBook::Change;

qint64 profileTask(TaskBook &book)
{
    TaskBook::NewTask t;
    t.terminal = QStringLiteral("Грузовик 1");
    t.number = QStringLiteral("+79001112233");
    t.fileName = QStringLiteral("profile.bin");
    t.payload = QByteArray(256, '\x21');
    t.packets = {0x33, 0x35};
    QString error;
    return book.create(t, error).value_or(0);
}

} // namespace

void TestTasksCli::listCancelAndGet()
{
    QTemporaryDir home;
    Database db;
    QString error;
    QVERIFY(db.open(QDir(home.path()).filePath(QStringLiteral("Data.db")), error));
    VirtualClock clock;
    TaskBook book(db.connectionName(), clock);
    QVERIFY(book.ensureSchema(error));
    QCOMPARE(profileTask(book), 1);
    TaskBook::NewTask gprs;
    gprs.operation = OperationHistory::Operation::SendGprs;
    gprs.terminal = QStringLiteral("Bus");
    gprs.number = QStringLiteral("89004445566");
    gprs.packets = {0x57};
    QCOMPARE(book.create(gprs, error), std::optional<qint64>(2));
    QCOMPARE(book.packetSending(2, 0x57, error), Change::Done);
    QCOMPARE(book.packetEnded(2, 0x57, TaskBook::PacketState::Sent, {}, error), Change::Done);
    QCOMPARE(book.markSent(2, error), Change::Done);

    ProgramRun r = runCli({QStringLiteral("tasks")}, home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("id | created | operation | terminal | number | status | packets | detail\n"
                                   "2 | 2026-01-15T12:00:00Z | send-gprs | Bus | 89004445566 | sent | 0x57:sent | \n"
                                   "1 | 2026-01-15T12:00:00Z | send-profile | Грузовик 1 | +79001112233 | queued | "
                                   "0x33:pending 0x35:pending | \n"));
    const QJsonArray all = tasksJson(home.path());
    QCOMPARE(all.size(), 2);
    QCOMPARE(all[0][QStringLiteral("sent")].toString(), QStringLiteral("2026-01-15T12:00:00Z"));
    QVERIFY(all[0][QStringLiteral("confirmed")].isNull());
    QCOMPARE(all[1][QStringLiteral("packets")][1][QStringLiteral("packet")].toInt(), 0x35);
    QCOMPARE(all[1][QStringLiteral("sha256")].toString().size(), 64);

    // The sent task stays; the other is cancelled all the same.
    r = runCli({QStringLiteral("tasks"), QStringLiteral("cancel"), QStringLiteral("1"), QStringLiteral("2")}, home.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("kvrsetup-cli: задание 2 не отменено: задание 2 уже sent\n"));
    const QJsonArray open = tasksJson(home.path(), {QStringLiteral("--open")});
    QCOMPARE(open.size(), 1);
    QCOMPARE(open[0][QStringLiteral("id")].toInt(), 2);
    QCOMPARE(tasksJson(home.path())[1][QStringLiteral("status")].toString(), QStringLiteral("cancelled"));

    const QString out = QDir(home.path()).filePath(QStringLiteral("again.bin"));
    QCOMPARE(runCli({QStringLiteral("tasks"), QStringLiteral("get"), QStringLiteral("1"), QStringLiteral("--out"), out},
                    home.path()).code,
             0);
    QCOMPARE(readBytes(out), QByteArray(256, '\x21'));
    r = runCli({QStringLiteral("tasks"), QStringLiteral("get"), QStringLiteral("2"), QStringLiteral("--out"), out}, home.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("kvrsetup-cli: у задания 2 нет файла\n"));
}

void TestTasksCli::cancelTakesBackFromTheGateway()
{
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Sqlite, why))
        QSKIP(qPrintable(why));
    SmsdGateway gw;
    QVERIFY2(gw.prepare(why), qPrintable(why));
    const std::optional<SmsdConfig> config = SmsdConfig::read(gw.configPath(), why);
    QVERIFY2(config, qPrintable(why));
    SmsdStore store;
    QVERIFY2(store.open(*config, why), qPrintable(why));
    VirtualClock clock;
    TaskBook book(store.connectionName(), clock);
    QVERIFY2(book.ensureSchema(why), qPrintable(why));
    const qint64 id = profileTask(book);
    QCOMPARE(book.packetSending(id, 0x33, why), Change::Done);
    const qint64 outboxId = store.queue(QStringLiteral("+79001112233"), QByteArray(140, '\x33'), why);
    QVERIFY2(outboxId > 0, qPrintable(why));
    QCOMPARE(book.packetEnded(id, 0x33, TaskBook::PacketState::Sent, {QString::number(outboxId)}, why), Change::Done);
    store.close();

    QTemporaryDir home;
    const QStringList smsd{QStringLiteral("--smsd"), gw.configPath()};
    QCOMPARE(tasksJson(home.path(), smsd).size(), 1);
    const ProgramRun r = runCli(QStringList{QStringLiteral("tasks"), QStringLiteral("cancel"), QString::number(id)} + smsd,
                                home.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM outbox")), QStringList{QStringLiteral("0")});
    QCOMPARE(tasksJson(home.path(), smsd)[0][QStringLiteral("status")].toString(), QStringLiteral("cancelled"));
    // Data.db has tasks of its own.
    QCOMPARE(tasksJson(home.path()).size(), 0);
}

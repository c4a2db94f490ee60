#include "TestTaskBook.h"

#include "FakeSmsRoute.h"
#include "SmsdGateway.h"
#include "VirtualClock.h"

#include "core/app/AppState.h"
#include "core/gateway/SmsdConfig.h"
#include "core/gateway/SmsdStore.h"
#include "core/tasks/TaskBook.h"

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Op = OperationHistory::Operation;
using Change = TaskBook::Change;
using State = TaskBook::PacketState;

const QString kNumber = QStringLiteral("+79161234567");

// A database file of the test's own, one connection per workstation.
struct Rig
{
    QTemporaryDir dir;
    VirtualClock clock;
    QStringList connections;

    ~Rig()
    {
        for (const QString &c : std::as_const(connections))
            QSqlDatabase::removeDatabase(c);
    }
    TaskBook book(const QString &options = QString())
    {
        const QString name = QStringLiteral("tasks-%1").arg(connections.size());
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(dir.filePath(QStringLiteral("Data.db")));
        db.setConnectOptions(options.isEmpty() ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000") : options);
        db.open();
        connections << name;
        return TaskBook(name, clock);
    }
};

TaskBook::NewTask profileTask(const QString &number = kNumber, const QString &workstation = QString())
{
    TaskBook::NewTask t;
    t.operation = Op::SendProfile;
    t.terminal = QStringLiteral("Грузовик 12");
    t.number = number;
    t.fileName = QStringLiteral("profile.bin");
    t.payload = QByteArray(256, '\x5a');
    t.packets = {0x33, 0x35};
    t.workstation = workstation;
    return t;
}

qint64 created(TaskBook &book, const TaskBook::NewTask &task)
{
    QString error;
    const std::optional<qint64> id = book.create(task, error);
    if (!id)
        qWarning("%s", qPrintable(error));
    return id.value_or(0);
}

// Both packets through the gateway (outbox rows 17 and 18), then the task sent.
bool sendBoth(TaskBook &book, qint64 id)
{
    QString error;
    return book.packetSending(id, 0x33, error) == Change::Done
           && book.packetEnded(id, 0x33, State::Sent, {QStringLiteral("17")}, error) == Change::Done
           && book.packetSending(id, 0x35, error) == Change::Done
           && book.packetEnded(id, 0x35, State::Sent, {QStringLiteral("18")}, error) == Change::Done
           && book.markSent(id, error) == Change::Done;
}

} // namespace

void TestTaskBook::taskLifeAndLateConfirmation()
{
    Rig rig;
    TaskBook book = rig.book();
    QString error;
    QVERIFY2(book.ensureSchema(error), qPrintable(error));
    const qint64 id = created(book, profileTask());
    QVERIFY(id > 0);
    rig.clock.advance(1500);
    QVERIFY(sendBoth(book, id));
    rig.clock.advance(60000);
    QCOMPARE(book.markConfirmed(id, QStringLiteral("Пакет 0x35h"), error), Change::Done);

    const std::optional<TaskBook::Entry> e = book.get(id, error);
    QVERIFY2(e, qPrintable(error));
    QCOMPARE(e->operationWord, QStringLiteral("send-profile"));
    QCOMPARE(e->status, TaskBook::Status::Confirmed);
    QCOMPARE(e->payload, QByteArray(256, '\x5a'));
    QCOMPARE(e->fileSha256, QString::fromLatin1(QCryptographicHash::hash(e->payload, QCryptographicHash::Sha256).toHex()));
    QVERIFY(e->workstation.startsWith(QStringLiteral("kvrsetup@")));
    QCOMPARE(e->created, rig.clock.now().addMSecs(-61500));
    QCOMPARE(e->sent, rig.clock.now().addMSecs(-60000));
    QCOMPARE(e->confirmed, rig.clock.now());
    QCOMPARE(e->packets.size(), 2);
    QCOMPARE(e->packets.at(1).packet, 0x35);
    QCOMPARE(e->packets.at(1).state, State::Sent);
    QCOMPARE(e->packets.at(1).gatewayIds, QStringList{QStringLiteral("18")});
    QSqlQuery raw(QStringLiteral("SELECT created, status FROM kvr_tasks"), QSqlDatabase::database(rig.connections[0]));
    QVERIFY(raw.next());
    QCOMPARE(raw.value(0).toString(), QStringLiteral("2026-01-15T12:00:00.000Z"));
    QCOMPARE(raw.value(1).toString(), QStringLiteral("confirmed"));

    // A confirmation after the task was given up wins; a cancelled task is never confirmed.
    const qint64 late = created(book, profileTask());
    QVERIFY(sendBoth(book, late));
    QCOMPARE(book.markFailed(late, QStringLiteral("нет ответа"), error), Change::Done);
    QCOMPARE(book.markConfirmed(late, QStringLiteral("Пакет 0x35h"), error), Change::Done);
    QCOMPARE(book.markFailed(late, QString(), error), Change::Refused);
    const qint64 cancelled = created(book, profileTask());
    QVERIFY(book.cancel(cancelled, error));
    QCOMPARE(book.markConfirmed(cancelled, QString(), error), Change::Refused);
    QCOMPARE(error, QStringLiteral("задание %1 уже cancelled").arg(cancelled));
    QCOMPARE(book.markConfirmed(999, QString(), error), Change::Refused);
    QCOMPARE(error, QStringLiteral("нет задания 999"));
}

void TestTaskBook::cancelOnlyWhileNothingWent()
{
    Rig rig;
    TaskBook book = rig.book();
    QString error;
    QVERIFY(book.ensureSchema(error));
    // Through a modem: a packet handed on has gone.
    const qint64 modem = created(book, profileTask());
    QCOMPARE(book.packetSending(modem, 0x33, error), Change::Done);
    QVERIFY(!book.cancel(modem, error));
    QCOMPARE(error, QStringLiteral("задание %1: пакет 0x33h уже sending").arg(modem));
    QCOMPARE(book.packetEnded(modem, 0x33, State::Sent, {}, error), Change::Done);
    QVERIFY(!book.cancel(modem, error));
    // Still in the gateway's outbox: taken back.
    const qint64 held = created(book, profileTask());
    QCOMPARE(book.packetSending(held, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(held, 0x33, State::Sent, {QStringLiteral("41")}, error), Change::Done);
    QCOMPARE(book.cancel(held, error), std::optional<QStringList>(QStringList{QStringLiteral("41")}));
    // A cancelled task sends nothing more.
    QCOMPARE(book.packetSending(held, 0x35, error), Change::Refused);
    const qint64 untouched = created(book, profileTask());
    QCOMPARE(book.cancel(untouched, error), std::optional<QStringList>(QStringList()));
    QVERIFY(!book.cancel(untouched, error));
}

void TestTaskBook::halfSentProfileIsFound()
{
    Rig rig;
    TaskBook book = rig.book();
    QString error;
    QVERIFY(book.ensureSchema(error));
    const QString here = QStringLiteral("kvrsetup@here");
    const qint64 half = created(book, profileTask(kNumber, here));
    QCOMPARE(book.packetSending(half, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(half, 0x33, State::Sent, {}, error), Change::Done);
    // Concluded as failed by its process: the operator's to retry, not completed by a start.
    const qint64 concluded = created(book, profileTask(kNumber, here));
    QCOMPARE(book.packetSending(concluded, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(concluded, 0x33, State::Sent, {}, error), Change::Done);
    QCOMPARE(book.markFailed(concluded, QStringLiteral("второй пакет не отправлен"), error), Change::Done);
    // Left sending when the program stopped: whether it went is not known.
    const qint64 broken = created(book, profileTask(QStringLiteral("89005550000"), here));
    QCOMPARE(book.packetSending(broken, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(broken, 0x33, State::Sent, {}, error), Change::Done);
    QCOMPARE(book.packetSending(broken, 0x35, error), Change::Done);
    // Whole, never started, or another workstation's: nothing to complete here.
    QVERIFY(sendBoth(book, created(book, profileTask(kNumber, here))));
    created(book, profileTask(kNumber, here));
    const qint64 other = created(book, profileTask(kNumber, QStringLiteral("kvrsetup@there")));
    QCOMPARE(book.packetSending(other, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(other, 0x33, State::Sent, {}, error), Change::Done);

    const std::optional<QList<TaskBook::HalfSent>> found = book.halfSent(here, error);
    QVERIFY2(found, qPrintable(error));
    QCOMPARE(found->size(), 2);
    QCOMPARE(found->at(0).id, broken);
    QVERIFY(found->at(0).packets.isEmpty());
    QCOMPARE(found->at(0).uncertain, QList<int>{0x35});
    QCOMPARE(found->at(1).id, half);
    QCOMPARE(found->at(1).number, kNumber);
    QCOMPARE(found->at(1).payload, QByteArray(256, '\x5a'));
    QCOMPARE(found->at(1).packets, QList<int>{0x35});
    // Completed later: sent after all.
    QCOMPARE(book.markSent(half, error), Change::Done);
}

void TestTaskBook::halfSentProfileIsCompletedOnce()
{
    // Asked twice before the first completion has gone (the window checks its modem again): the
    // missing packet still goes once, and the task is sent.
    Rig rig;
    TaskBook book = rig.book();
    QString error;
    QVERIFY(book.ensureSchema(error));
    AppState state(rig.dir.path());
    FakeSmsRoute route(rig.clock, state, true, QStringLiteral("modem"));
    route.script(kNumber, {0, 500, {QString(), true, QString()}});
    route.setTaskBook(&book);
    const qint64 id = created(book, profileTask(kNumber, route.workstation()));
    QCOMPARE(book.packetSending(id, 0x33, error), Change::Done);
    QCOMPARE(book.packetEnded(id, 0x33, State::Sent, {}, error), Change::Done);
    route.completeHalfSent();
    route.completeHalfSent();
    QVERIFY(rig.clock.runUntil([&route] { return route.sendsIdle(); }, 5000));
    route.completeHalfSent();
    rig.clock.runUntil([] { return false; }, 1000);
    QCOMPARE(route.packets(), (QList<QPair<QString, PacketType>>{{kNumber, PacketType::ProfileBlock2}}));
    const std::optional<TaskBook::Entry> task = book.get(id, error);
    QVERIFY(task);
    QCOMPARE(task->status, TaskBook::Status::Sent);
}

void TestTaskBook::secondClaimerLoses()
{
    Rig rig;
    TaskBook first = rig.book();
    TaskBook second = rig.book();
    QString error;
    QVERIFY(first.ensureSchema(error));
    const qint64 id = created(first, profileTask());
    QVERIFY(sendBoth(first, id));
    QCOMPARE(first.markExpired(id, QStringLiteral("нет ответа"), error), Change::Done);
    QCOMPARE(second.markExpired(id, QStringLiteral("нет ответа"), error), Change::Refused);
    QCOMPARE(error, QStringLiteral("задание %1 уже expired").arg(id));
    // One workstation cancels, the other was about to send: it must not.
    const qint64 queued = created(second, profileTask());
    QVERIFY(first.cancel(queued, error));
    QCOMPARE(second.packetSending(queued, 0x33, error), Change::Refused);
    QVERIFY(!second.cancel(queued, error));
    // Only one of two polls takes a kept half.
    QVERIFY(first.putHalf(QStringLiteral("89161234567"), 0x43, QByteArray(128, '\1'), 7, error));
    QVERIFY(second.takeMatchingHalf(kNumber, 0x45, error));
    QVERIFY(!first.takeMatchingHalf(kNumber, 0x45, error));
    QVERIFY(error.isEmpty());
}

void TestTaskBook::retryableSkipsConfirmedSince()
{
    Rig rig;
    TaskBook book = rig.book();
    QString error;
    QVERIFY(book.ensureSchema(error));
    // The first try is sent, the retry fails, then the first try's answer comes.
    const qint64 firstTry = created(book, profileTask(QStringLiteral("89001112233")));
    QVERIFY(sendBoth(book, firstTry));
    rig.clock.advance(1000);
    QCOMPARE(book.markFailed(created(book, profileTask(QStringLiteral("+79001112233"))), QString(), error), Change::Done);
    rig.clock.advance(1000);
    QCOMPARE(book.markFailed(created(book, profileTask(QStringLiteral("555"))), QString(), error), Change::Done);
    QCOMPARE(book.markExpired(created(book, profileTask(QStringLiteral("777"))), QString(), error), Change::Done);
    // A read that failed is not a send to retry.
    TaskBook::NewTask read = profileTask(QStringLiteral("888"));
    read.operation = Op::ReadProfile;
    QCOMPARE(book.markFailed(created(book, read), QString(), error), Change::Done);
    QCOMPARE(book.retryable(Op::SendProfile, error),
             std::optional<QStringList>({QStringLiteral("777"), QStringLiteral("555"), QStringLiteral("+79001112233")}));
    rig.clock.advance(1000);
    QCOMPARE(book.markConfirmed(firstTry, QString(), error), Change::Done);
    QCOMPARE(book.retryable(Op::SendProfile, error),
             std::optional<QStringList>({QStringLiteral("777"), QStringLiteral("555")}));
    // The open task of a subscriber, in any form of the number.
    const std::optional<TaskBook::Entry> open = book.openTaskFor(QStringLiteral("8 900 111-22-33"), Op::SendProfile, error);
    QVERIFY(open);
    QCOMPARE(open->number, QStringLiteral("+79001112233"));
    QVERIFY(!book.openTaskFor(QStringLiteral("999"), Op::SendProfile, error) && error.isEmpty());
}

void TestTaskBook::schemaAndHalves()
{
    Rig rig;
    {
        // An existing database that may only be read: the error names the file that creates the tables.
        TaskBook writer = rig.book();
        QVERIFY(QSqlQuery(QSqlDatabase::database(rig.connections[0])).exec(QStringLiteral("CREATE TABLE objects (Id INTEGER)")));
    }
    TaskBook readOnly = rig.book(QStringLiteral("QSQLITE_OPEN_READONLY"));
    readOnly.setSchemaFolder(QStringLiteral("/usr/share/kvrsetup/sql"));
    QString error;
    QVERIFY(!readOnly.ensureSchema(error));
    QVERIFY2(error.startsWith(QStringLiteral("в базе нет таблиц заданий, и создать их не удалось (")), qPrintable(error));
    QVERIFY2(error.endsWith(QStringLiteral("); их создает SQL из файла /usr/share/kvrsetup/sql/tasks-sqlite.sql")),
             qPrintable(error));
    QVERIFY(!readOnly.list({}, error));
    QVERIFY(!error.isEmpty());

    TaskBook book = rig.book();
    QVERIFY(book.ensureSchema(error));
    QVERIFY(book.ensureSchema(error));
    QVERIFY(readOnly.list({}, error)); // the tables now exist
    QVERIFY(book.putHalf(kNumber, 0x45, QByteArray(128, '\2'), 11, error));
    QVERIFY(book.putHalf(QStringLiteral("555"), 0x45, QByteArray(128, '\3'), 12, error));
    QVERIFY(!book.takeMatchingHalf(kNumber, 0x45, error)); // the same half, not its partner
    const std::optional<TaskBook::Half> half = book.takeMatchingHalf(QStringLiteral("89161234567"), 0x43, error);
    QVERIFY(half);
    QCOMPARE(half->data, QByteArray(128, '\2'));
    QCOMPARE(half->inboxId, 11);
    QCOMPARE(half->packet, 0x45);
    QVERIFY(book.removeHalves(QStringLiteral("555"), error));
    QVERIFY(!book.takeMatchingHalf(QStringLiteral("555"), 0x43, error));
}

void TestTaskBook::postgres()
{
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Postgres, why))
        QSKIP(qPrintable(why));
    SmsdGateway gw(SmsdGateway::Store::Postgres);
    QVERIFY2(gw.prepare(why), qPrintable(why));
    const std::optional<SmsdConfig> config = SmsdConfig::read(gw.configPath(), why);
    QVERIFY2(config, qPrintable(why));
    SmsdStore store;
    QVERIFY2(store.open(*config, why), qPrintable(why));
    VirtualClock clock;
    TaskBook book(store.connectionName(), clock);
    QCOMPARE(book.dialect(), TaskBook::Dialect::Postgres);
    QVERIFY2(book.ensureSchema(why), qPrintable(why));
    const qint64 id = created(book, profileTask());
    QVERIFY(id > 0);
    QVERIFY(sendBoth(book, id));
    QVERIFY(!book.cancel(id, why));
    QCOMPARE(book.markConfirmed(id, QStringLiteral("Пакет 0x35h"), why), Change::Done);
    const std::optional<TaskBook::Entry> e = book.get(id, why);
    QVERIFY2(e, qPrintable(why));
    QCOMPARE(e->status, TaskBook::Status::Confirmed);
    QCOMPARE(e->payload, QByteArray(256, '\x5a'));
    QCOMPARE(e->packets.at(0).gatewayIds, QStringList{QStringLiteral("17")});
    QVERIFY(book.putHalf(kNumber, 0x43, QByteArray(128, '\0'), 3, why));
    const std::optional<TaskBook::Half> half = book.takeMatchingHalf(kNumber, 0x45, why);
    QVERIFY2(half, qPrintable(why));
    QCOMPARE(half->data, QByteArray(128, '\0'));
}

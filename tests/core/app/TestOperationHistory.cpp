#include "TestOperationHistory.h"

#include "core/app/Database.h"
#include "core/app/OperationHistory.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Op = OperationHistory::Operation;
using Result = OperationHistory::Result;

OperationHistory::Entry entry(const QString &when, Op op, const QString &name, const QString &number, Result result,
                              const QString &detail = QString())
{
    return {QDateTime::fromString(when, Qt::ISODate), op, name, number, QStringLiteral("/dev/ttyUSB0"), result, detail};
}

} // namespace

void TestOperationHistory::recordsAndFilters()
{
    QTemporaryDir dir;
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    OperationHistory history(db);
    // Recorded out of order, from clocks in two time zones.
    QVERIFY(history.record(entry(QStringLiteral("2026-12-02T10:00:00Z"), Op::ReadProfile, QStringLiteral("Грузовик 12"),
                                 QStringLiteral("+79161234567"), Result::Ok, QStringLiteral("BIN/9161234567.bin")),
                           error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T09:00:00Z"), Op::Upload, QStringLiteral("Автобус 7"),
                                 QStringLiteral("89037654321"), Result::Failed, QStringLiteral("NO CARRIER")),
                           error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-03T01:30:00+03:00"), Op::Confirmation, QString(),
                                 QStringLiteral("89161234567"), Result::Ok, QStringLiteral("Пакет 0x33h")),
                           error));

    const QList<OperationHistory::Entry> all = history.entries();
    QCOMPARE(all.size(), 3);
    // Newest first, in UTC: 01:30 at +03:00 is 22:30 the day before.
    QCOMPARE(all.at(0).operation, Op::Confirmation);
    QCOMPARE(all.at(0).time, QDateTime(QDate(2026, 12, 2), QTime(22, 30), Qt::UTC));
    QCOMPARE(all.at(1).terminal, QStringLiteral("Грузовик 12"));
    QCOMPARE(all.at(1).detail, QStringLiteral("BIN/9161234567.bin"));
    QCOMPARE(all.at(2).result, Result::Failed);
    QCOMPARE(all.at(2).port, QStringLiteral("/dev/ttyUSB0"));

    // The number matches in any of its forms; the name exactly.
    OperationHistory::Filter byNumber;
    byNumber.number = QStringLiteral("9161234567");
    QCOMPARE(history.entries(byNumber).size(), 2);
    OperationHistory::Filter byName;
    byName.terminal = QStringLiteral("Автобус 7");
    QCOMPARE(history.entries(byName).size(), 1);
    OperationHistory::Filter since;
    since.since = QDate(2026, 12, 2);
    QCOMPARE(history.entries(since).size(), 2);
    OperationHistory::Filter failed;
    failed.failedOnly = true;
    QCOMPARE(history.entries(failed).size(), 1);
    QCOMPARE(history.entries(failed).at(0).detail, QStringLiteral("NO CARRIER"));

    // Kept across openings.
    db.close();
    QVERIFY(!history.record(entry(QStringLiteral("2026-12-04T00:00:00Z"), Op::SendGprs, QString(), QStringLiteral("1"),
                                  Result::Ok),
                            error));
    QVERIFY(!error.isEmpty());
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    QCOMPARE(history.entries().size(), 3);
}

void TestOperationHistory::lastFailedPerSubscriber()
{
    QTemporaryDir dir;
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    OperationHistory history(db);
    const QString a = QStringLiteral("+79161234567");
    const QString b = QStringLiteral("+79037654321");
    const QString c = QStringLiteral("+79050000000");
    // a failed, then succeeded (written the other way); b succeeded, then failed; c only read.
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T10:00:00Z"), Op::ReadProfile, {}, a, Result::Failed), error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T11:00:00Z"), Op::ReadProfile, {}, QStringLiteral("89161234567"),
                                 Result::Ok),
                           error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T10:00:00Z"), Op::ReadProfile, {}, b, Result::Ok), error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T12:00:00Z"), Op::ReadProfile, {}, b, Result::Failed), error));
    QVERIFY(history.record(entry(QStringLiteral("2026-12-01T12:00:00Z"), Op::SendProfile, {}, c, Result::Failed), error));
    QCOMPARE(history.lastFailed(Op::ReadProfile), QStringList{b});
    QCOMPARE(history.lastFailed(Op::SendProfile), QStringList{c});
    QVERIFY(history.lastFailed(Op::Upload).isEmpty());
}

void TestOperationHistory::unknownWordsAndUnreadableTables()
{
    QTemporaryDir dir;
    Database db;
    QString error;
    QVERIFY(db.open(dir.filePath(QStringLiteral("Data.db")), error));
    QSqlQuery q(QSqlDatabase::database(db.connectionName()));
    // A word a newer version wrote: neither an upload nor a failed upload to retry.
    QVERIFY(q.exec(QStringLiteral("INSERT INTO history (Time, Operation, Terminal, Number, Port, Result, Detail) "
                                  "VALUES ('2026-12-01T10:00:00.000Z', 'erase-flash', '', '+79001', '', 'failed', ''), "
                                  "('2026-12-01T11:00:00.000Z', '', '', '+79002', '', 'ok', '')")));
    OperationHistory history(db);
    QString unreadable;
    const QList<OperationHistory::Entry> all = history.entries(OperationHistory::Filter(), &unreadable);
    QVERIFY(unreadable.isEmpty());
    QCOMPARE(all.size(), 2);
    QCOMPARE(all.at(1).operation, Op::Unknown);
    QCOMPARE(OperationHistory::shownOperation(all.at(1)), QStringLiteral("erase-flash"));
    QCOMPARE(OperationHistory::shownOperation(all.at(0)), QStringLiteral("?"));
    QCOMPARE(history.lastFailed(Op::Upload), QStringList());
    // A table that cannot be read is said so, not taken for an empty one.
    QVERIFY(q.exec(QStringLiteral("DROP TABLE history")));
    QVERIFY(q.exec(QStringLiteral("CREATE TABLE history (Id INTEGER PRIMARY KEY)")));
    QVERIFY(history.entries(OperationHistory::Filter(), &unreadable).isEmpty());
    QVERIFY2(unreadable.contains(QStringLiteral("Time")), qPrintable(unreadable));
    // Nor is it "nothing to retry".
    QStringList failed{QStringLiteral("stale")};
    QVERIFY(!history.lastFailed(Op::Upload, failed, error));
    QVERIFY(failed.isEmpty());
    QVERIFY2(error.contains(QStringLiteral("Time")), qPrintable(error));
}

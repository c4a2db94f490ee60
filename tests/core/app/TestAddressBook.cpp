#include "TestAddressBook.h"

#include "SmallDisk.h"
#include "core/app/AddressBook.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Book
{
    QTemporaryDir dir;
    Database db;
    AddressBook book{db};
    QString error;

    Book()
    {
        QString e;
        if (!db.open(path(), e))
            qWarning("%s", qPrintable(e));
    }
    QString path() const { return dir.filePath(QStringLiteral("Data.db")); }
    QList<qint64> ids() const
    {
        QList<qint64> out;
        for (const Database::Record &r : book.records())
            out << r.Id;
        return out;
    }
    qint64 add(const QString &name)
    {
        qint64 id = 0;
        return book.add(name, QStringLiteral("+7900") + name, error, &id) == AddressBook::Result::Done ? id : -1;
    }
};

} // namespace

void TestAddressBook::idRule()
{
    Book b;
    QCOMPARE(b.add(QStringLiteral("a")), 1);
    QCOMPARE(b.add(QStringLiteral("b")), 2);
    QCOMPARE(b.add(QStringLiteral("c")), 3);
    QCOMPARE(b.add(QStringLiteral("d")), 4);
    QCOMPARE(b.book.remove(3, b.error), AddressBook::Result::Done);
    // Ids 1, 2 and 4: the gap is filled first, then the end.
    QCOMPARE(b.add(QStringLiteral("e")), 3);
    QCOMPARE(b.add(QStringLiteral("f")), 5);
    QCOMPARE(b.book.remove(2, b.error), AddressBook::Result::Done);
    QCOMPARE(b.add(QStringLiteral("g")), 2);
    QCOMPARE(b.ids(), (QList<qint64>{1, 2, 3, 4, 5}));
    QCOMPARE(b.book.records().at(1).Name, QStringLiteral("g"));
}

void TestAddressBook::fullBookRefusesAndKeepsAll()
{
    Book b;
    {
        QSqlDatabase db = QSqlDatabase::database(b.db.connectionName());
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("INSERT INTO objects (Id, Name, PhoneNumber) VALUES (?, 'x', '1')"));
        for (int id = 1; id <= AddressBook::MaxId; ++id) {
            q.addBindValue(id);
            QVERIFY(q.exec());
        }
        db.commit();
    }
    QCOMPARE(b.book.add(QStringLiteral("one more"), QStringLiteral("2"), b.error), AddressBook::Result::Full);
    QCOMPARE(b.book.records().size(), AddressBook::MaxId);
    QCOMPARE(b.book.remove(5000, b.error), AddressBook::Result::Done);
    QCOMPARE(b.add(QStringLiteral("back")), 5000);
}

void TestAddressBook::editByPositionDeleteById()
{
    Book b;
    for (const char *n : {"a", "b", "c"})
        b.add(QLatin1String(n));
    QCOMPARE(b.book.remove(1, b.error), AddressBook::Result::Done);
    // Row 1 is now the record with Id 2.
    QCOMPARE(b.book.editAt(1, QStringLiteral("B"), QStringLiteral("222"), b.error), AddressBook::Result::Done);
    const QList<Database::Record> r = b.book.records();
    QCOMPARE(r.size(), 2);
    QCOMPARE(r[0].Id, 2);
    QCOMPARE(r[0].Name, QStringLiteral("B"));
    QCOMPARE(r[0].PhoneNumber, QStringLiteral("222"));
    QCOMPARE(b.book.editAt(3, QStringLiteral("x"), QStringLiteral("x"), b.error), AddressBook::Result::NotFound);
    QCOMPARE(b.book.remove(42, b.error), AddressBook::Result::NotFound);
    QCOMPARE(b.book.findByName(QStringLiteral("c")).Id, 3);
    QCOMPARE(b.book.findByName(QStringLiteral("nobody")).Id, 0);
}

void TestAddressBook::readOnlyBookFromBeforeOpens()
{
    SmallDisk disk(512);
    if (!disk.mounted())
        QSKIP("mounting a small disk needs root");
    const QString path = disk.filePath(QStringLiteral("Data.db"));
    {
        // A book of an earlier version: the address table only.
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("CREATE TABLE objects (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, "
                                      "PhoneNumber TEXT)")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO objects (Name, PhoneNumber) VALUES ('Грузовик', '+79001')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
    if (!disk.makeReadOnly())
        QSKIP("this machine does not let the small disk be remounted read-only");
    Database book;
    QString error;
    QVERIFY2(book.open(path, error), qPrintable(error));
    QVERIFY(book.isReadOnly());
    QCOMPARE(book.records().size(), 1);
    QCOMPARE(book.records().at(0).Name, QStringLiteral("Грузовик"));
    // What would be kept is refused, not pretended, and said once for a run of rows.
    QStringList told;
    book.setWriteFailureHandler([&told](const QString &why) { told << why; });
    for (int i = 0; i < 2; ++i)
        QVERIFY(!OperationHistory(book).recordNow(OperationHistory::Operation::Upload, QStringLiteral("+79001"),
                                                  QStringLiteral("/dev/ttyS0"), OperationHistory::Result::Ok, QString()));
    QCOMPARE(told.size(), 1);
    QVERIFY(!told.at(0).isEmpty());
}

void TestAddressBook::lockedDatabaseLosesNothing()
{
    // The program waits 10 s for a locked book; the lock here is never let go.
    Database::setBusyTimeoutMs(1000);
    Book b;
    b.add(QStringLiteral("a"));
    b.add(QStringLiteral("b"));
    // Another program holds the file locked for writing.
    {
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("locker"));
        other.setDatabaseName(b.path());
        QVERIFY(other.open());
        QSqlQuery lock(other);
        QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        for (AddressBook::Result r : {b.book.add(QStringLiteral("c"), QStringLiteral("3"), b.error),
                                      b.book.editAt(1, QStringLiteral("A"), QStringLiteral("1"), b.error),
                                      b.book.remove(2, b.error)}) {
            QCOMPARE(r, AddressBook::Result::Failed);
            QVERIFY2(b.error.contains(QStringLiteral("locked")), qPrintable(b.error));
        }
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("locker"));
    const QList<Database::Record> r = b.book.records();
    QCOMPARE(r.size(), 2);
    QCOMPARE(r[0].Name, QStringLiteral("a"));
    QCOMPARE(r[1].Name, QStringLiteral("b"));
    // And the book works again once the lock is gone.
    QCOMPARE(b.add(QStringLiteral("c")), 3);
}

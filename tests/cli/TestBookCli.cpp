#include "TestBookCli.h"

#include "TestFiles.h"

#include "core/common/PhoneNumber.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

ProgramRun book(const QStringList &args)
{
    return runCli(QStringList{QStringLiteral("book")} + args);
}

} // namespace

void TestBookCli::addListEditDelete()
{
    QTemporaryDir home;
    qputenv("KVRSETUP_HOME", home.path().toLocal8Bit());
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("Грузовик 1"), QStringLiteral("+79001112233")}).out,
             QStringLiteral("1\n"));
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("Bus"), QStringLiteral("89004445566")}).out,
             QStringLiteral("2\n"));
    QCOMPARE(book({QStringLiteral("delete"), QStringLiteral("1")}).code, 0);
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("Van"), QStringLiteral("555")}).out, QStringLiteral("1\n"));
    QCOMPARE(book({QStringLiteral("edit"), QStringLiteral("2"), QStringLiteral("Bus 2"), QStringLiteral("777")}).code, 0);
    const ProgramRun list = book({QStringLiteral("list")});
    QCOMPARE(list.code, 0);
    QCOMPARE(list.out, QStringLiteral("1\tVan\t555\n2\tBus 2\t777\n"));
    qunsetenv("KVRSETUP_HOME");
}

void TestBookCli::concurrentAddsAllLand()
{
    QTemporaryDir home;
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("list")}, home.path()).code, 0); // the book exists
    // Two programs adding at once: each add picks the smallest free Id, so they race for the same one.
    const QString script = QStringLiteral("failed=0; for i in $(seq 40); do \"$0\" book add \"$1$i\" 10$i >/dev/null || failed=1; "
                                          "done; exit $failed");
    QList<QProcess *> writers;
    for (const QString &prefix : {QStringLiteral("a"), QStringLiteral("b")}) {
        auto *p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KVRSETUP_HOME"), home.path());
        p->setProcessEnvironment(env);
        p->start(QStringLiteral("sh"), {QStringLiteral("-c"), script, QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"), prefix});
        writers << p;
    }
    for (QProcess *p : writers) {
        QVERIFY(p->waitForFinished(120000));
        QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        delete p;
    }
    const ProgramRun list = runCli({QStringLiteral("book"), QStringLiteral("list")}, home.path());
    QCOMPARE(list.out.count(QLatin1Char('\n')), 80);
    QVERIFY(list.out.startsWith(QStringLiteral("1\t")) && list.out.contains(QStringLiteral("\n80\t")));
}

void TestBookCli::refusals()
{
    QTemporaryDir home;
    qputenv("KVRSETUP_HOME", home.path().toLocal8Bit());
    const ProgramRun missing = book({QStringLiteral("delete"), QStringLiteral("9")});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QStringLiteral("kvrsetup-cli: нет записи с Id 9\n"));
    QCOMPARE(book({QStringLiteral("edit"), QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")}).code, 2);
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("only name")}).code, 2);
    QCOMPARE(book({}).code, 2);
    // Names and numbers the book must not keep.
    const ProgramRun badNumber = book({QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("12a")});
    QCOMPARE(badNumber.code, 1);
    QCOMPARE(badNumber.err, QStringLiteral("kvrsetup-cli: Неверный номер телефона: ") + PhoneNumber::expected()
                                + QStringLiteral("\n"));
    // A number fit for no network (21 digits) is refused too.
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("123456789012345678901")}).code, 1);
    QCOMPARE(book({QStringLiteral("list")}).out, QString());
    // A tab or line break in a name does not split the listing's line; a number as people write it
    // is kept plain.
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("a\tb\nc"), QStringLiteral("8 (916) 123-45-67")}).code, 0);
    QCOMPARE(book({QStringLiteral("list")}).out, QStringLiteral("1\ta\\x09b\\x0Ac\t89161234567\n"));
    // A Data.db that is not a database: the driver's text, nothing written.
    QFile junk(home.filePath(QStringLiteral("Data.db")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    const ProgramRun bad = book({QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("100")});
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.startsWith(QStringLiteral("Ошибка открытия базы ")), qPrintable(bad.err));
    QCOMPARE(QFileInfo(home.filePath(QStringLiteral("Data.db"))).size(), 4096);
    qunsetenv("KVRSETUP_HOME");
}

void TestBookCli::historyUnknownAndUnreadable()
{
    QTemporaryDir home;
    QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("list")}, home.path()).code, 0); // makes Data.db
    const QString connection = QStringLiteral("history-check");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(QDir(home.path()).filePath(QStringLiteral("Data.db")));
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral(
            "INSERT INTO history (Time, Operation, Terminal, Number, Port, Result, Detail) "
            "VALUES ('2026-12-01T10:00:00.000Z', 'erase-flash', 'T', '+79001', '/dev/ttyUSB0', 'ok', '')")));
    }
    // The stored word, not another operation's.
    ProgramRun r = runCli({QStringLiteral("history")}, home.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("time | operation | terminal | number | port | result | detail\n"
                                   "2026-12-01T10:00:00Z | erase-flash | T | +79001 | /dev/ttyUSB0 | ok | \n"));
    // A history that cannot be read is an error, not an empty list.
    {
        QSqlDatabase db = QSqlDatabase::database(connection);
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE history")));
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE history (Id INTEGER PRIMARY KEY)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    for (const QStringList &args : {QStringList{QStringLiteral("history")}, QStringList{QStringLiteral("history"), QStringLiteral("--json")}}) {
        r = runCli(args, home.path());
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(QStringLiteral("история операций не читается: ")), qPrintable(r.err));
    }
}

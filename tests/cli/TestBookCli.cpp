#include "TestBookCli.h"

#include "TestFiles.h"

#include <QFile>
#include <QFileInfo>
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

void TestBookCli::refusals()
{
    QTemporaryDir home;
    qputenv("KVRSETUP_HOME", home.path().toLocal8Bit());
    const ProgramRun missing = book({QStringLiteral("delete"), QStringLiteral("9")});
    QCOMPARE(missing.code, 1);
    QCOMPARE(missing.err, QStringLiteral("kvrsetup-cli: no record with Id 9\n"));
    QCOMPARE(book({QStringLiteral("edit"), QStringLiteral("x"), QStringLiteral("a"), QStringLiteral("b")}).code, 2);
    QCOMPARE(book({QStringLiteral("add"), QStringLiteral("only name")}).code, 2);
    QCOMPARE(book({}).code, 2);
    // A Data.db that is not a database: the driver's text, nothing written.
    QFile junk(home.filePath(QStringLiteral("Data.db")));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    const ProgramRun bad = book({QStringLiteral("add"), QStringLiteral("a"), QStringLiteral("1")});
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.startsWith(QStringLiteral("Ошибка открытия базы ")), qPrintable(bad.err));
    QCOMPARE(QFileInfo(home.filePath(QStringLiteral("Data.db"))).size(), 4096);
    qunsetenv("KVRSETUP_HOME");
}

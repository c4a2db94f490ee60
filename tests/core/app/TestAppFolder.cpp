#include "TestAppFolder.h"

#include "TestFiles.h"

#include "core/app/AppFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

// <root>/usr/bin (the executable's folder) and <root>/usr/share/kvrsetup with two shipped files.
struct Installed
{
    QTemporaryDir root;
    QString bin = root.filePath(QStringLiteral("usr/bin"));
    QString shipped = root.filePath(QStringLiteral("usr/share/kvrsetup"));
    QString user = root.filePath(QStringLiteral("home/.local/share/kvrsetup"));

    Installed()
    {
        QDir(root.path()).mkpath(QStringLiteral("usr/bin"));
        QDir(root.path()).mkpath(QStringLiteral("usr/share/kvrsetup"));
        writeBytes(shipped + QStringLiteral("/Data.ini"), "table\r\n");
        writeBytes(shipped + QStringLiteral("/Const.ini"), "Data.ini\r\n");
    }
    AppFolder folder() const { return AppFolder(QString(), bin, user); }
};

} // namespace

void TestAppFolder::folderChoice()
{
    // KVRSETUP_HOME first, then a program folder of its own (Data.ini, writable), then the user's.
    QTemporaryDir program;
    writeBytes(program.filePath(QStringLiteral("Data.ini")), "t");
    const QString user = QStringLiteral("/home/u/.local/share/kvrsetup");
    const AppFolder home(QStringLiteral("/srv/kvr"), program.path(), user);
    QCOMPARE(home.kind(), AppFolder::Kind::Home);
    QCOMPARE(home.path(), QStringLiteral("/srv/kvr"));
    const AppFolder own(QString(), program.path(), user);
    QCOMPARE(own.kind(), AppFolder::Kind::ProgramFolder);
    QCOMPARE(own.path(), program.path());
    // /usr/bin holds no Data.ini, whether it can be written or not (root can).
    const Installed installed;
    QCOMPARE(installed.folder().kind(), AppFolder::Kind::UserData);
    QCOMPARE(installed.folder().path(), installed.user);
    QCOMPARE(AppFolder(QString(), QStringLiteral("/opt/x/usr/bin"), QStringLiteral("/u")).shippedFolder(),
             QStringLiteral("/opt/x/usr/share/kvrsetup"));
}

void TestAppFolder::unwritableProgramFolderGoesToUserData()
{
    if (::geteuid() == 0)
        QSKIP("root writes into any folder; the case needs an ordinary user");
    QTemporaryDir program;
    writeBytes(program.filePath(QStringLiteral("Data.ini")), "t");
    QVERIFY(QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::ExeOwner));
    const AppFolder f(QString(), program.path(), QStringLiteral("/home/u/.local/share/kvrsetup"));
    QFile::setPermissions(program.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(f.kind(), AppFolder::Kind::UserData);
}

void TestAppFolder::firstStartSeedsUserData()
{
    const Installed installed;
    QString why;
    QVERIFY2(installed.folder().prepare(why), qPrintable(why));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Data.ini")), QByteArray("table\r\n"));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Const.ini")), QByteArray("Data.ini\r\n"));
    // Copies of read-only system files are the user's to change.
    QVERIFY(QFileInfo(installed.user + QStringLiteral("/Data.ini")).permissions() & QFile::WriteOwner);
    QCOMPARE(QDir(installed.user).entryList(QDir::Files).size(), 2);
}

void TestAppFolder::userFilesAreNeverReplaced()
{
    const Installed installed;
    QVERIFY(QDir().mkpath(installed.user));
    writeBytes(installed.user + QStringLiteral("/Data.ini"), "mine\r\n");
    QString why;
    QVERIFY2(installed.folder().prepare(why), qPrintable(why));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Data.ini")), QByteArray("mine\r\n"));
    // The missing one comes back, and a second start changes nothing.
    QVERIFY(QFile::remove(installed.user + QStringLiteral("/Const.ini")));
    QVERIFY2(installed.folder().prepare(why), qPrintable(why));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Const.ini")), QByteArray("Data.ini\r\n"));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Data.ini")), QByteArray("mine\r\n"));
    // The help pages are the program's: a copy from an earlier version follows the installed one.
    const QString help = installed.user + QStringLiteral("/help.html");
    writeBytes(help, "<p>old</p>");
    writeBytes(installed.shipped + QStringLiteral("/help.html"), "<p>new</p>");
    QVERIFY2(installed.folder().prepare(why), qPrintable(why));
    QCOMPARE(readBytes(help), QByteArray("<p>new</p>"));
    QCOMPARE(readBytes(installed.user + QStringLiteral("/Data.ini")), QByteArray("mine\r\n"));
}

void TestAppFolder::otherKindsAreLeftAlone()
{
    QTemporaryDir root;
    const QString home = root.filePath(QStringLiteral("not-yet"));
    QString why;
    QVERIFY(AppFolder(home, root.path(), root.filePath(QStringLiteral("user"))).prepare(why));
    QVERIFY(!QFileInfo::exists(home));
    QVERIFY(!QFileInfo::exists(root.filePath(QStringLiteral("user"))));
}

void TestAppFolder::failuresAreSaid()
{
    // A user folder that cannot be made: a file stands in its way.
    Installed blocked;
    writeBytes(blocked.root.filePath(QStringLiteral("home")), "a file");
    QString why;
    QVERIFY(!blocked.folder().prepare(why));
    QVERIFY2(why.contains(blocked.user), qPrintable(why));

    // Nothing shipped to copy from.
    Installed empty;
    QVERIFY(QDir(empty.shipped).removeRecursively());
    why.clear();
    QVERIFY(!empty.folder().prepare(why));
    QVERIFY2(why.contains(empty.shipped), qPrintable(why));

    // No data location at all (no HOME).
    why.clear();
    QVERIFY(!AppFolder(QString(), empty.bin, QString()).prepare(why));
    QVERIFY(!why.isEmpty());
}

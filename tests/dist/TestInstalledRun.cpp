#include "TestInstalledRun.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <grp.h>
#include <unistd.h>

namespace {

const QStringList shippedNames{QStringLiteral("Const.ini"), QStringLiteral("Data.ini"), QStringLiteral("Rep03-1.xsl"),
                               QStringLiteral("about.html"), QStringLiteral("help.html")};

// The environment of a user's session: a home of their own, no KVRSETUP_HOME.
QProcessEnvironment session(const QString &home, const QString &dataHome = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("KVRSETUP_HOME"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.insert(QStringLiteral("HOME"), home);
    if (!dataHome.isEmpty())
        env.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    return env;
}

ProgramRun run(const QString &program, const QStringList &args, const QProcessEnvironment &env)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    ProgramRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// An ordinary user: nobody, with dialout as a group; empty when this process cannot switch to them.
QStringList asOrdinaryUser(QString &why)
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    const group *dialout = ::getgrnam("dialout");
    if (::geteuid() != 0 || setpriv.isEmpty() || !dialout) {
        why = QStringLiteral("needs root, setpriv and a dialout group to run as an ordinary user of that group");
        return {};
    }
    return {setpriv, QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
            QStringLiteral("--groups=%1").arg(dialout->gr_gid)};
}

// A home folder that belongs to nobody.
bool giveToNobody(const QString &path)
{
    return ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0;
}

} // namespace

void TestInstalledRun::initTestCase()
{
    const QString failure = m_tree.install();
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
}

void TestInstalledRun::versionNamesTheUserFolder()
{
    QTemporaryDir home;
    const QString cli = m_tree.path(QStringLiteral("bin/kvrsetup-cli"));
    const ProgramRun r = run(cli, {QStringLiteral("--version")}, session(home.path()));
    QCOMPARE(r.code, 0);
    // The choice among the folders is the core's (tst_appfolder); here, that the tool says it.
    QCOMPARE(r.out, QStringLiteral("kvrsetup-cli " KVR_PROJECT_VERSION "\n") + home.path()
                        + QStringLiteral("/.local/share/kvrsetup\n"));
}

void TestInstalledRun::filesGoToTheUserFolder()
{
    QTemporaryDir home;
    const QString cli = m_tree.path(QStringLiteral("bin/kvrsetup-cli"));
    const QProcessEnvironment env = session(home.path(), home.filePath(QStringLiteral("data")));
    const QDir folder(home.filePath(QStringLiteral("data/kvrsetup")));
    ProgramRun r = run(cli, {QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Van"), QStringLiteral("555")}, env);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.err, QString());
    QVERIFY(folder.exists(QStringLiteral("Data.db")));
    for (const QString &name : shippedNames)
        QVERIFY2(folder.exists(name), qPrintable(name));
    // The seeded table is the one the tool reads.
    r = run(cli, {QStringLiteral("check-table"), folder.filePath(QStringLiteral("Data.ini"))}, env);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(run(cli, {QStringLiteral("book"), QStringLiteral("list")}, env).out, QStringLiteral("1\tVan\t555\n"));

    // Nothing beside the executable, nothing more in the installed tree.
    QCOMPARE(QDir(m_tree.path(QStringLiteral("bin"))).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 3);
    QCOMPARE(QDir(m_tree.path(QStringLiteral("share/kvrsetup"))).entryList(QDir::Files, QDir::Name), shippedNames);
}

void TestInstalledRun::userFolderFailureIsSaid()
{
    QTemporaryDir home;
    // A file where the data folder should be.
    QVERIFY(writeBytes(home.filePath(QStringLiteral("data")), "in the way"));
    const ProgramRun r = run(m_tree.path(QStringLiteral("bin/kvrsetup-cli")), {QStringLiteral("book"), QStringLiteral("list")},
                             session(home.path(), home.filePath(QStringLiteral("data"))));
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("kvrsetup-cli: папка файлов программы: не удалось создать папку ")
                              + home.filePath(QStringLiteral("data/kvrsetup"))),
             qPrintable(r.err));
}

void TestInstalledRun::ordinaryUserTalksToAModem()
{
    QString why;
    const QStringList asUser = asOrdinaryUser(why);
    if (asUser.isEmpty())
        QSKIP(qPrintable(why));
    QTemporaryDir home;
    QVERIFY(giveToNobody(home.path()));
    const QProcessEnvironment env = session(home.path());

    // The simulator run by the user: its pseudo-terminal is the user's, like a dialout port.
    QProcess sim;
    sim.setProcessEnvironment(env);
    sim.start(asUser.first(), asUser.mid(1) + QStringList{m_tree.path(QStringLiteral("bin/kvrsim"))});
    const auto stop = qScopeGuard([&sim] {
        sim.kill();
        sim.waitForFinished(3000);
    });
    QVERIFY(sim.waitForStarted(5000));
    // The first line names the device.
    for (int i = 0; i < 50 && !sim.canReadLine(); ++i)
        sim.waitForReadyRead(100);
    QVERIFY(sim.canReadLine());
    const QString device = QFileInfo(QString::fromLocal8Bit(sim.readLine()).trimmed()).canonicalFilePath();
    QCOMPARE(QFileInfo(device).ownerId(), 65534u);

    const ProgramRun r = run(asUser.first(),
                             asUser.mid(1) + QStringList{m_tree.path(QStringLiteral("bin/kvrsetup-cli")),
                                                         QStringLiteral("modem-info"), QStringLiteral("--port"), device},
                             env);
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("KVRSIM GSM MODEM, REVISION 1.0\n"));
    // The user's folder was made for them, and the port's lock file is gone with the run.
    const QFileInfo folder(home.filePath(QStringLiteral(".local/share/kvrsetup")));
    QVERIFY(folder.isDir());
    QCOMPARE(folder.ownerId(), 65534u);
    QVERIFY(QFileInfo::exists(folder.filePath() + QStringLiteral("/Data.ini")));
    // A killed root run's lock may stand (the user cannot remove it, and it is ignored); the user's own is gone.
    const QString lockName = QStringLiteral("LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &lockFolder : {QStringLiteral("/var/lock/"), QStringLiteral("/run/lock/")}) {
        const QFileInfo lock(lockFolder + lockName);
        QVERIFY2(!lock.exists() || lock.ownerId() != 65534u, qPrintable(lock.filePath()));
    }
}

void TestInstalledRun::ordinaryUserStartsTheWindow()
{
    // Root starts it as nobody of dialout; anyone else as themselves.
    QString why;
    QStringList asUser = asOrdinaryUser(why);
    asUser << m_tree.path(QStringLiteral("bin/kvrsetup"));
    QTemporaryDir home;
    if (::geteuid() == 0)
        QVERIFY(giveToNobody(home.path()));
    QProcessEnvironment env = session(home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess window;
    window.setProcessEnvironment(env);
    window.start(asUser.first(), asUser.mid(1));
    const auto stop = qScopeGuard([&window] {
        window.kill();
        window.waitForFinished(3000);
    });
    QVERIFY(window.waitForStarted(5000));
    // Started in full: the book is open in the user's folder and the program waits on its window.
    const QString book = home.filePath(QStringLiteral(".local/share/kvrsetup/Data.db"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(book), 15000);
    QTest::qWait(500);
    QCOMPARE(window.state(), QProcess::Running);
    QVERIFY(QFileInfo::exists(home.filePath(QStringLiteral(".local/share/kvrsetup/Const.ini"))));
}

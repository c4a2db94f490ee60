#include "TestLinkTune.h"

#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "core/link/LinkTune.h"

#include "core/link/SerialDevice.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

void TestLinkTune::settingsString()
{
    SerialSettings s;
    QCOMPARE(LinkTuning::settingsString(s), QStringLiteral("9600,n,8,1"));
    s.baudRate = 19200;
    s.parity = QLatin1Char('e');
    s.dataBits = 7;
    s.stopBits = 2;
    QCOMPARE(LinkTuning::settingsString(s), QStringLiteral("19200,e,7,2"));
}

void TestLinkTune::infoText_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("text");
    QTest::newRow("number") << "3" << "COM3,19200,e,7,2";
    QTest::newRow("first") << "1" << "COM1,19200,e,7,2";
    QTest::newRow("path") << "/dev/ttyUSB0" << "/dev/ttyUSB0,19200,e,7,2";
}

void TestLinkTune::infoText()
{
    QFETCH(QString, port);
    QFETCH(QString, text);
    SerialSettings s;
    s.port = port;
    s.baudRate = 19200;
    s.parity = QLatin1Char('e');
    s.dataBits = 7;
    s.stopBits = 2;
    QCOMPARE(LinkTuning::infoText(s), text);
}

void TestLinkTune::deviceNames()
{
#ifdef Q_OS_WIN
    QCOMPARE(LinkTuning::deviceName(QStringLiteral("1")), QStringLiteral("COM1"));
#else
    QCOMPARE(LinkTuning::deviceName(QStringLiteral("1")), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(LinkTuning::deviceName(QStringLiteral("40")), QStringLiteral("/dev/ttyS39"));
#endif
    QCOMPARE(LinkTuning::deviceName(QStringLiteral("/dev/pts/7")), QStringLiteral("/dev/pts/7"));
}

void TestLinkTune::opensPseudoTerminal()
{
    SimModem sim;
    QVERIFY(sim.start());
    SerialSettings s;
    s.port = sim.path();
    ScriptedPrompts prompts;
    SerialDevice port;
    QString info;
    // A pseudo-terminal refuses RTS and DTR; that is no reason to refuse the port.
    QVERIFY(LinkTune(port, s, &prompts, &info));
    QVERIFY(port.isOpen());
    QVERIFY(prompts.shown.isEmpty());
    QCOMPARE(info, sim.path() + QStringLiteral(",9600,n,8,1"));
    QCOMPARE(port.baudRate(), 9600);
}

void TestLinkTune::linkAndTargetShareOneLock()
{
    SimModem sim;
    QVERIFY(sim.start());
    QTemporaryDir dir;
    const QString modem = dir.filePath(QStringLiteral("modem"));
    QVERIFY(QFile::link(sim.path(), modem));
    SerialSettings byLink;
    byLink.port = modem;
    SerialDevice first;
    QVERIFY(LinkTune(first, byLink, nullptr));
    SerialSettings byTarget;
    byTarget.port = sim.path();
    SerialDevice second;
    QString why;
    QVERIFY(!LinkTune(second, byTarget, nullptr, nullptr, &why));
    QVERIFY2(why.startsWith(sim.path() + QStringLiteral(": ")), qPrintable(why));
}

// The pid of a process that has finished.
static qint64 goneProcess()
{
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
    shell.waitForFinished();
    return shell.readAllStandardOutput().trimmed().toLongLong();
}

void TestLinkTune::lockFileTakenOverAndReleased()
{
    SimModem sim;
    QVERIFY(sim.start());
    QTemporaryDir locks;
    const auto restore = qScopeGuard([folders = SerialDevice::lockFolders()] { SerialDevice::setLockFolders(folders); });
    SerialDevice::setLockFolders({locks.path()});
    const QString device = QFileInfo(sim.path()).canonicalFilePath();
    QFile lock(locks.filePath(QStringLiteral("LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_'))));

    // Left by a run that was killed: taken over, ours while the port is open, gone at close.
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(goneProcess()) + "\nkvrsetup-cli\nhost\n");
    lock.close();
    SerialSettings s;
    s.port = sim.path();
    SerialDevice port;
    QString why;
    QVERIFY2(LinkTune(port, s, nullptr, nullptr, &why), qPrintable(why));
    QVERIFY(lock.open(QIODevice::ReadOnly));
    QCOMPARE(lock.readLine().trimmed().toLongLong(), QCoreApplication::applicationPid());
    lock.close();
    port.close();
    QVERIFY(!lock.exists());

    // Held by a live process (this test's parent shell stands in for another program): refused,
    // and the holder's file stays.
    QVERIFY(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(qint64(::getppid())) + "\n");
    lock.close();
    QVERIFY(!LinkTune(port, s, nullptr, nullptr, &why));
    QVERIFY2(why.startsWith(sim.path() + QStringLiteral(": порт занят программой ")), qPrintable(why));
    QVERIFY(why.endsWith(QStringLiteral("(pid %1)").arg(::getppid())));
    QVERIFY(lock.exists());
}

void TestLinkTune::reopenCloses()
{
    SimModem sim;
    QVERIFY(sim.start());
    SerialSettings s;
    s.port = sim.path();
    SerialDevice port;
    QVERIFY(LinkTune(port, s, nullptr));
    s.baudRate = 19200;
    QVERIFY(LinkTune(port, s, nullptr));
    QVERIFY(port.isOpen());
    QCOMPARE(port.baudRate(), 19200);
}

void TestLinkTune::missingDevice()
{
    SerialSettings s;
    s.port = QStringLiteral("/nonexistent/tty");
    ScriptedPrompts prompts;
    SerialDevice port;
    QString info;
    QString why;
    QVERIFY(!LinkTune(port, s, &prompts, &info, &why));
    QCOMPARE(prompts.shown.size(), 1);
    QCOMPARE(prompts.shown[0].text, QStringLiteral("не верны параметры последовательного порта, проверьте настройки"));
    QCOMPARE(prompts.shown[0].icon, UserPrompts::Icon::Information);
    QCOMPARE(prompts.shown[0].title, QString());
    QCOMPARE(info, QStringLiteral("/nonexistent/tty,9600,n,8,1"));
    QVERIFY(!why.isEmpty());
}

void TestLinkTune::badParity()
{
    SimModem sim;
    QVERIFY(sim.start());
    SerialSettings s;
    s.port = sim.path();
    s.parity = QLatin1Char('x');
    ScriptedPrompts prompts;
    SerialDevice port;
    QString info;
    QVERIFY(!LinkTune(port, s, &prompts, &info));
    QCOMPARE(prompts.shown.size(), 1);
    QCOMPARE(info, sim.path() + QStringLiteral(",9600,x,8,1"));
}

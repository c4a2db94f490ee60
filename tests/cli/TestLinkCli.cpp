#include "TestLinkCli.h"

#include "SimModem.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QSerialPort>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

void TestLinkCli::modemInfo()
{
    SimModem sim;
    QVERIFY(sim.start());
    const ProgramRun r = runCli({QStringLiteral("modem-info"), QStringLiteral("--port"), sim.path(), QStringLiteral("--baud"),
                       QStringLiteral("19200")});
    QCOMPARE(r.code, 0);
    // The type is the result; how the check went is progress.
    QCOMPARE(r.out, QStringLiteral("KVRSIM GSM MODEM, REVISION 1.0\n"));
    QCOMPARE(r.err, QStringLiteral("Проверка отклика модема\nМодем в командном режимн\nПроверка типа модема\n"
                                   "Модем KVRSIM GSM MODEM, REVISION 1.0\n"));
    QTRY_COMPARE(sim.received(), QByteArray("AT\rATI\r"));
}

void TestLinkCli::portBusyNamesItsHolder()
{
    SimModem sim;
    QVERIFY(sim.start());
    // This test holds the port as a second program would.
    QSerialPort holder;
    holder.setPortName(QFileInfo(sim.path()).canonicalFilePath());
    QVERIFY2(holder.open(QIODevice::ReadWrite), qPrintable(holder.errorString()));
    const ProgramRun r = runCli({QStringLiteral("modem-info"), QStringLiteral("--port"), sim.path()});
    QCOMPARE(r.code, 1);
    const QString name = QFile::decodeName(QFileInfo(QCoreApplication::applicationFilePath()).fileName().left(15).toLocal8Bit());
    QVERIFY2(r.err.contains(sim.path() + QStringLiteral(": порт занят программой ") + name
                            + QStringLiteral(" (pid %1)").arg(QCoreApplication::applicationPid())),
             qPrintable(r.err));
}

void TestLinkCli::staleRootLockNoObstacleToUser()
{
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (::geteuid() != 0 || setpriv.isEmpty())
        QSKIP("needs root to leave a lock file an ordinary user may not remove, and setpriv to run as that user");
    SimModem sim;
    QVERIFY(sim.start());
    const QString device = QFileInfo(sim.path()).canonicalFilePath();
    // The modem belongs to the user, as a dialout user's port would be open to them.
    QVERIFY(::chown(QFile::encodeName(device).constData(), 65534, 65534) == 0);
    QProcess shell;
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
    QVERIFY(shell.waitForFinished());
    // What a killed root run leaves in the sticky lock folder: its file, its process gone.
    QFile lock(QStringLiteral("/var/lock/LCK..") + device.mid(5).replace(QLatin1Char('/'), QLatin1Char('_')));
    QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::NewOnly));
    lock.write(shell.readAllStandardOutput().trimmed() + "\nkvrsetup-cli\nhost\n");
    lock.close();
    const auto removeLock = qScopeGuard([&lock] { lock.remove(); });

    const ProgramRun r = runProgram(setpriv, {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                              QStringLiteral("--clear-groups"), QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
                                              QStringLiteral("modem-info"), QStringLiteral("--port"), device});
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QCOMPARE(r.out, QStringLiteral("KVRSIM GSM MODEM, REVISION 1.0\n"));
    QVERIFY(lock.exists());
}

void TestLinkCli::modemInfoSilent()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--silent")}));
    const ProgramRun r = runCli({QStringLiteral("modem-info"), QStringLiteral("--port"), sim.path()});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("Проверка отклика модема\nТаймаут на ответ \n"
                                   "Нет отклика модема, проверьте скорости и подключения \n"));
    QTRY_COMPARE(sim.received(), QByteArray("AT\r"));
}

void TestLinkCli::modemInfoPortMissing()
{
    const ProgramRun r = runCli({QStringLiteral("modem-info"), QStringLiteral("--port"), QStringLiteral("/nonexistent/ttyKVR")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QVERIFY2(r.err.contains(QStringLiteral("/nonexistent/ttyKVR")), qPrintable(r.err));
}

void TestLinkCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no port") << QStringList{QStringLiteral("modem-info")};
    QTest::newRow("bad parity") << QStringList{QStringLiteral("modem-info"), QStringLiteral("--port"),
                                               QStringLiteral("1"), QStringLiteral("--parity"), QStringLiteral("x")};
    QTest::newRow("bad data bits") << QStringList{QStringLiteral("at"), QStringLiteral("--port"), QStringLiteral("1"),
                                                  QStringLiteral("--data"), QStringLiteral("6"), QStringLiteral("AT")};
    QTest::newRow("no command") << QStringList{QStringLiteral("at"), QStringLiteral("--port"), QStringLiteral("1")};
    QTest::newRow("unknown option") << QStringList{QStringLiteral("at"), QStringLiteral("--port"),
                                                   QStringLiteral("1"), QStringLiteral("--fast"), QStringLiteral("AT")};
}

void TestLinkCli::usageErrors()
{
    QFETCH(QStringList, args);
    const ProgramRun r = runCli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("Использование: kvrsetup-cli ") + args.first()), qPrintable(r.err));
}

void TestLinkCli::atCommands()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--product"), QStringLiteral("KVRSIM"), QStringLiteral("--product"),
                       QStringLiteral("Line two")}));
    const ProgramRun r = runCli({QStringLiteral("at"), QStringLiteral("--port"), sim.path(), QStringLiteral("AT"),
                       QStringLiteral("ATI")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("OK\nKVRSIM\nLine two\nOK\n"));
    QTRY_COMPARE(sim.received(), QByteArray("AT\rATI\r"));
}

void TestLinkCli::atStopsAtFirstFailure()
{
    SimModem sim;
    QVERIFY(sim.start());
    const ProgramRun r = runCli({QStringLiteral("at"), QStringLiteral("--port"), sim.path(), QStringLiteral("AT+BAD"),
                       QStringLiteral("ATI")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QStringLiteral("ERROR\n"));
    QCOMPARE(r.err, QStringLiteral("Ответ ERROR не позволяет продолжение сценария\n"));
    QTRY_COMPARE(sim.received(), QByteArray("AT+BAD\r"));
}

void TestLinkCli::atWithoutEcho()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--echo"), QStringLiteral("0")}));
    const ProgramRun r = runCli({QStringLiteral("at"), QStringLiteral("--port"), sim.path(), QStringLiteral("ATI")});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("KVRSIM GSM modem, revision 1.0\nOK\n"));
}

void TestLinkCli::modemInfoTypeRefused()
{
    // The modem answers "AT" but refuses "ATI": not a checked modem.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--refuse"), QStringLiteral("ATI=+CME ERROR: 10")}));
    const ProgramRun r = runCli({QStringLiteral("modem-info"), QStringLiteral("--port"), sim.path()});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QString());
    QCOMPARE(r.err, QStringLiteral("Проверка отклика модема\nМодем в командном режимн\nПроверка типа модема\n"
                                   "Ответ +CME ERROR: 10 не позволяет продолжение сценария\n"));
}

void TestLinkCli::portLostEndsCommand()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--silent")}));
    QProcess cli;
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              {QStringLiteral("at"), QStringLiteral("--port"), sim.path(), QStringLiteral("ATD5551234")});
    QTRY_VERIFY(sim.received().contains("ATD5551234\r"));
    sim.command("unplug");
    // Without noticing the loss the command would wait out its whole time-out.
    QVERIFY(cli.waitForFinished(10000));
    QCOMPARE(cli.exitCode(), 1);
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QVERIFY2(err.startsWith(QStringLiteral("kvrsetup-cli: порт потерян: ")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("Порт потерян: ")), qPrintable(err));
}

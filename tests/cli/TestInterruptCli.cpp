#include "TestInterruptCli.h"

#include "SimModem.h"
#include "SmsTestSupport.h"
#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

const QStringList kPhones{QStringLiteral("+71234567890"), QStringLiteral("+79161112233"), QStringLiteral("+79035554433")};

QProcessEnvironment homeEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KVRSETUP_HOME"), home);
    return env;
}

// The packet types the modem was given, in order: the first octet of each message's user data.
QStringList packetsSent(const QByteArray &received)
{
    QStringList types;
    for (const QByteArray &part : received.split('\r')) {
        // An SMS-SUBMIT body ends with 0x1A; its user data (140 octets) is the last 280 digits.
        const qsizetype end = part.indexOf('\x1A');
        if (end < 280)
            continue;
        types << QString::fromLatin1(part.mid(end - 280, 2));
    }
    return types;
}

// An address book with one terminal, so that "book list" has a result to write.
bool bookOfOne(const QString &home)
{
    return runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), kPhones.first()}, home).code
           == 0;
}

} // namespace

void TestInterruptCli::initTestCase()
{
    qputenv("KVRSETUP_TIME_SCALE", "0.1");
}

void TestInterruptCli::cleanupTestCase()
{
    qunsetenv("KVRSETUP_TIME_SCALE");
}

void TestInterruptCli::interruptLeavesPairsWhole_data()
{
    QTest::addColumn<int>("signalNumber");
    // The signal goes once the modem has seen this many messages, then this command once more.
    QTest::addColumn<int>("messagesBefore");
    QTest::addColumn<QByteArray>("moment");
    QTest::addColumn<int>("pairs"); // whole pairs the modem must have got in the end
    QTest::addColumn<int>("exitCode");
    // How long the modem takes over each answer: long enough for the signal to fall inside the step.
    QTest::addColumn<int>("answerMs");
    QTest::newRow("Ctrl-C before the first pair") << int(SIGINT) << 0 << QByteArray("AT+CMGF=0\r") << 0 << 130 << 1500;
    QTest::newRow("stop after the first packet") << int(SIGTERM) << 1 << QByteArray() << 1 << 143 << 200;
    QTest::newRow("hang-up in the second pair") << int(SIGHUP) << 3 << QByteArray() << 2 << 143 << 200;
    QTest::newRow("Ctrl-C while polling") << int(SIGINT) << 6 << QByteArray("AT+CMGL=4\r") << 3 << 130 << 200;
}

void TestInterruptCli::interruptLeavesPairsWhole()
{
    QFETCH(int, signalNumber);
    QFETCH(int, messagesBefore);
    QFETCH(QByteArray, moment);
    QFETCH(int, pairs);
    QFETCH(int, exitCode);
    QFETCH(int, answerMs);
    // Every answer of the modem takes a while, so that the signal falls inside the step it aims at;
    // the terminals never confirm.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--delay"), QString::number(answerMs), QStringLiteral("--network-delay"),
                       QString::number(answerMs)}));
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("profile.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(5)));
    QStringList args{QStringLiteral("send-profile"), QStringLiteral("--port"), sim.path(), QStringLiteral("--wait"),
                     QStringLiteral("600")};
    for (const QString &phone : kPhones)
        args << QStringLiteral("--phone") << phone;
    QProcess cli;
    cli.setProcessEnvironment(homeEnvironment(home.path()));
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"), args << file);
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().count("AT+CMGS=") >= messagesBefore, 30000);
    if (!moment.isEmpty()) {
        const qsizetype seen = messagesBefore == 0 ? 0 : sim.received().count(moment);
        QTRY_VERIFY_WITH_TIMEOUT(sim.received().count(moment) > seen, 30000);
    }
    ::kill(pid_t(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), exitCode);
    // Both halves or none, and nothing begun after the signal.
    QTest::qWait(200);
    QStringList expected;
    for (int i = 0; i < pairs; ++i)
        expected << QStringLiteral("33") << QStringLiteral("35");
    QVERIFY2(packetsSent(sim.received()) == expected, qPrintable(err + QString::fromLatin1(sim.received())));
    // The summary names every terminal as interrupted; the history keeps the run.
    QVERIFY2(out.startsWith(QStringLiteral("terminal | number | result\n")), qPrintable(out + err));
    for (const QString &phone : kPhones)
        QVERIFY2(out.contains(phone + QStringLiteral(" | ") + phone + QStringLiteral(" | interrupted\n")), qPrintable(out));
    const ProgramRun history = runCli({QStringLiteral("history"), QStringLiteral("--json")}, home.path());
    QCOMPARE(history.code, 0);
    const QJsonArray rows = QJsonDocument::fromJson(history.out.toUtf8()).array();
    QCOMPARE(rows.size(), kPhones.size());
    int sentWhole = 0;
    for (const QJsonValue &row : rows) {
        QCOMPARE(row[QStringLiteral("operation")].toString(), QStringLiteral("send-profile"));
        QCOMPARE(row[QStringLiteral("result")].toString(), QStringLiteral("failed"));
        const QString detail = row[QStringLiteral("detail")].toString();
        QVERIFY2(detail.startsWith(QStringLiteral("прервано")), qPrintable(detail));
        sentWhole += detail.contains(QStringLiteral("отправлено, подтверждение")) ? 1 : 0;
    }
    QCOMPARE(sentWhole, pairs);
}

void TestInterruptCli::killedSendIsNeverSentTwice()
{
    // Killed while the modem holds the second packet: whether it went is not known, so the next
    // command does not send it again; its task says why.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--network-delay"), QStringLiteral("1500")}));
    QTemporaryDir home;
    const QString file = home.filePath(QStringLiteral("profile.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(5)));
    QProcess cli;
    cli.setProcessEnvironment(homeEnvironment(home.path()));
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              {QStringLiteral("send-profile"), QStringLiteral("--port"), sim.path(), QStringLiteral("--phone"),
               kPhones.first(), file});
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(packetsSent(sim.received()).size() == 2, 30000);
    ::kill(pid_t(cli.processId()), SIGKILL);
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitStatus(), QProcess::CrashExit);
    QTest::qWait(1600); // the modem's late answer to the dead process
    const ProgramRun next = runCli({QStringLiteral("poll"), QStringLiteral("--port"), sim.path()}, home.path());
    QVERIFY2(next.err.startsWith(QStringLiteral("Профиль ") + kPhones.first()
                                 + QStringLiteral(" отправлен не полностью, не известно, дошел ли пакет 0x35h: не досылается\n")),
             qPrintable(next.err));
    QCOMPARE(packetsSent(sim.received()), (QStringList{QStringLiteral("33"), QStringLiteral("35")}));
    const QJsonArray rows = tasksJson(home.path());
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0][QStringLiteral("status")].toString(), QStringLiteral("failed"));
    QCOMPARE(rows[0][QStringLiteral("packets")][0][QStringLiteral("state")].toString(), QStringLiteral("sent"));
    QCOMPARE(rows[0][QStringLiteral("packets")][1][QStringLiteral("state")].toString(), QStringLiteral("sending"));
}

void TestInterruptCli::resultThatCannotBeWrittenFails()
{
    QTemporaryDir home;
    QVERIFY(bookOfOne(home.path()));
    QProcess cli;
    cli.setProcessEnvironment(homeEnvironment(home.path()));
    cli.setStandardOutputFile(QStringLiteral("/dev/full"));
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              {QStringLiteral("book"), QStringLiteral("list"), QStringLiteral("--json")});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(cli.readAllStandardError()),
             QStringLiteral("kvrsetup-cli: ошибка записи в стандартный вывод\n"));
}

void TestInterruptCli::closedPipeDoesNotKill()
{
    QTemporaryDir home;
    QVERIFY(bookOfOne(home.path()));
    // The reader is gone before the tool writes: the write fails, the tool says so and exits 1
    // instead of dying of SIGPIPE (141).
    QProcess shell;
    shell.setProcessEnvironment(homeEnvironment(home.path()));
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"), QStringLiteral("\"$0\" book list | (exec 0<&-; sleep 0.5); echo \"${PIPESTATUS[0]}\""),
                 QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli")});
    QVERIFY(shell.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), QStringLiteral("1\n"));
    QCOMPARE(QString::fromUtf8(shell.readAllStandardError()),
             QStringLiteral("kvrsetup-cli: ошибка записи в стандартный вывод\n"));
}

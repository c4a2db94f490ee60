#include "TestUploadCli.h"

#include "FirmwareFixture.h"
#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/StartUp.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/stat.h>
#include <memory>

using namespace FirmwareFixture;

namespace {

// The application folder of the tool under test (KVRSETUP_HOME), fresh for every test.
std::unique_ptr<QTemporaryDir> g_home;

QString homeFile(const QString &name)
{
    return g_home->filePath(name);
}

QString file(const QString &name, const QByteArray &bytes)
{
    writeBytes(homeFile(name), bytes);
    return homeFile(name);
}

QStringList uploadArgs(const SimModem &sim, const QStringList &more)
{
    return QStringList{QStringLiteral("upload"), QStringLiteral("--port"), sim.path(), QStringLiteral("--phone"),
                       QStringLiteral("5551234")}
           + more;
}

// Runs the tool while the event loop keeps going, so the simulator's trace is read as it
// comes (a blocked trace pipe would stall the simulator).
ProgramRun runUpload(const QStringList &args)
{
    QProcess p;
    QSignalSpy finished(&p, &QProcess::finished);
    p.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"), args);
    ProgramRun r;
    if (!p.waitForStarted() || !finished.wait(120000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// What the load logged: its progress on standard error, without the percentage captions.
QStringList logLines(const QString &err)
{
    QStringList lines;
    for (const QString &line : err.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (!line.startsWith(QStringLiteral("Загружено")))
            lines << line;
    }
    return lines;
}

QStringList outLines(const ProgramRun &r)
{
    // Nothing but the log goes out while a load runs, and that is progress, not a result.
    if (!r.out.isEmpty())
        return {QStringLiteral("standard output: ") + r.out};
    return logLines(r.err);
}

// The last bank and page address the tool left in Default.ini.
std::pair<int, int> lastPosition()
{
    AppState state(g_home->path());
    ScriptedPrompts prompts;
    Database db;
    StartUp(state, prompts, db).LoadDefaults();
    return {state.lastBank, state.lastPageAddress};
}

const QStringList kBeforeCall{QStringLiteral("Проверка командного режима"), QStringLiteral("Проверка отклика модема"),
                              QStringLiteral(" Режим передачи данных")};
const QStringList kHungUp{QStringLiteral("Проверка командного режима"),
                          QStringLiteral("Сценарий окончен, модем в командном режиме"), QStringLiteral("Труба положена")};

QStringList simBoot(const QString &dump, const QStringList &more = {})
{
    return QStringList{QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"), QStringLiteral("50"), QStringLiteral("--dump"), dump} + more;
}

} // namespace

void TestUploadCli::init()
{
    g_home = std::make_unique<QTemporaryDir>();
    qputenv("KVRSETUP_HOME", g_home->path().toLocal8Bit());
}

void TestUploadCli::cleanup()
{
    qunsetenv("KVRSETUP_HOME");
    g_home.reset();
}

void TestUploadCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("args");
    const QStringList base{QStringLiteral("upload"), QStringLiteral("--port"), QStringLiteral("/dev/null")};
    const QStringList phone{QStringLiteral("--phone"), QStringLiteral("1")};
    QTest::newRow("no phone") << base + QStringList{QStringLiteral("a.BIN")};
    QTest::newRow("no file") << base + phone;
    QTest::newRow("linear with two files") << base + phone + QStringList{"--linear", "a", "b"};
    QTest::newRow("bank 4") << base + phone + QStringList{"--bank", "4", "a"};
    QTest::newRow("page too big") << base + phone + QStringList{"--page", "10000", "a"};
    QTest::newRow("page 0x too big") << base + phone + QStringList{"--page", "0x10000", "a"};
    QTest::newRow("page with a sign") << base + phone + QStringList{"--page", "+400", "a"};
    QTest::newRow("unknown option") << base + phone + QStringList{"--fast", "a"};
    QTest::newRow("all and phone") << base + phone + QStringList{"--all", "a"};
}

void TestUploadCli::usageErrors()
{
    QFETCH(QStringList, args);
    const ProgramRun r = runCli(args);
    QCOMPARE(r.code, 2);
    QVERIFY2(r.err.contains(QStringLiteral("Использование: kvrsetup-cli upload")), qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QVERIFY(!QFile::exists(homeFile(QStringLiteral("Default.ini"))));
}

void TestUploadCli::pageIsHexadecimal()
{
    // 0x7100 is 7100 as the window writes it, and off the 400H steps of a banked load.
    const QString image = file(QStringLiteral("1.BIN"), pattern(40000, 1));
    const ProgramRun r = runCli(QStringList{"upload", "--port", "/dev/null", "--phone", "1", "--page", "0x7100", image});
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.startsWith(QStringLiteral("kvrsetup-cli: Неверный начальный адрес 7100H")), qPrintable(r.err));
}

void TestUploadCli::bankedUpload()
{
    // Values of the window in Default.ini must survive the tool's write-back.
    {
        AppState before(g_home->path());
        before.firmwarePaths[0] = QStringLiteral("/fw/window.BIN");
        before.terminalNumber = QStringLiteral("79001234567");
        before.serial.baudRate = 19200;
        ScriptedPrompts prompts;
        Database db;
        QVERIFY(StartUp(before, prompts, db).WriteDefaultIni());
    }
    const QByteArray f1 = pattern(40000, 1);
    const QByteArray f2 = pattern(65536, 2);
    SimModem sim;
    QVERIFY(sim.start(simBoot(homeFile(QStringLiteral("terminal.img")))));
    const ProgramRun r = runUpload(uploadArgs(sim, {QStringLiteral("--page"), QStringLiteral("7000"),
                                                 file(QStringLiteral("1.BIN"), f1), file(QStringLiteral("2.BIN"), f2)}));
    QCOMPARE(r.code, 0);
    const Transfer expected = banked(f1, f2, {}, 0, 0x7000, true, false);
    QCOMPARE(outLines(r), kBeforeCall + entryLines() + blockLines(expected, false) + closingLines() + kHungUp);
    QCOMPARE(readBytes(homeFile(QStringLiteral("terminal.img"))), expected.image);
    const QStringList progress = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts).filter(QRegularExpression(QStringLiteral("^Загружено")));
    QCOMPARE(progress.size(), expected.blocks.size() + 1);
    QCOMPARE(progress.first(), QStringLiteral("Загружено 22.0%")); // 0x7000 / 131072
    QCOMPARE(progress.last(), QStringLiteral("Загружено 100%"));
    QCOMPARE(lastPosition(), std::make_pair(3, 0));

    AppState after(g_home->path());
    ScriptedPrompts prompts;
    Database db;
    StartUp(after, prompts, db).LoadDefaults();
    QCOMPARE(after.firmwarePaths[0], QStringLiteral("/fw/window.BIN"));
    QCOMPARE(after.terminalNumber, QStringLiteral("79001234567"));
    QCOMPARE(after.serial.baudRate, 19200);
}

void TestUploadCli::resumeAfterBrokenCall()
{
    // The terminal drops the call on the third block; a second run resumes with the
    // last acknowledged block, and the memory ends as after one unbroken load.
    const QByteArray f1 = pattern(6000, 3);
    const QString image = homeFile(QStringLiteral("terminal.img"));
    SimModem sim;
    QVERIFY(sim.start(simBoot(image, {QStringLiteral("--hangup-at"), QStringLiteral("3")})));
    const QString path = file(QStringLiteral("1.BIN"), f1);
    const ProgramRun broken = runUpload(uploadArgs(sim, {QStringLiteral("--page"), QStringLiteral("0"), path}));
    QCOMPARE(broken.code, 1);
    QVERIFY(outLines(broken).contains(QStringLiteral("Доставлен пакет банк = 0 адр = 1024")));
    QVERIFY(!outLines(broken).contains(QStringLiteral("Доставлен пакет банк = 0 адр = 2048")));
    QCOMPARE(lastPosition(), std::make_pair(0, 1024));

    // Another terminal's resume point is not this one's: refused before the port is taken.
    QStringList other = uploadArgs(sim, {QStringLiteral("--resume"), path});
    other[other.indexOf(QStringLiteral("5551234"))] = QStringLiteral("5550000");
    const qsizetype before = sim.received().size();
    const ProgramRun refused = runUpload(other);
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains(QStringLiteral("Для номера 5550000 нет сохраненной точки продолжения")),
             qPrintable(refused.err));
    QCOMPARE(sim.received().size(), before);

    const ProgramRun resumed = runUpload(uploadArgs(sim, {QStringLiteral("--resume"), path}));
    QCOMPARE(resumed.code, 0);
    const Transfer rest = banked(f1, {}, {}, 0, 1024, false, false);
    QCOMPARE(outLines(resumed), kBeforeCall + entryLines() + blockLines(rest, false) + closingLines() + kHungUp);
    QCOMPARE(readBytes(image), banked(f1, {}, {}, 0, 0, false, false).image);
    // Each load that was dialled is a task, with the file it loaded; the refused one is none.
    const QJsonArray rows = tasksJson(g_home->path());
    QCOMPARE(rows.size(), 2);
    const QString sha = QString::fromLatin1(QCryptographicHash::hash(f1, QCryptographicHash::Sha256).toHex());
    for (const QJsonValue &row : rows) {
        QCOMPARE(row[QStringLiteral("operation")].toString(), QStringLiteral("upload"));
        QCOMPARE(row[QStringLiteral("file")].toString(), path);
        QCOMPARE(row[QStringLiteral("sha256")].toString(), sha);
    }
    QCOMPARE(rows[0][QStringLiteral("status")].toString(), QStringLiteral("confirmed"));
    QCOMPARE(rows[1][QStringLiteral("status")].toString(), QStringLiteral("failed"));
    QCOMPARE(rows[1][QStringLiteral("detail")].toString(), QStringLiteral("загрузка не завершена"));
}

void TestUploadCli::linearUpload()
{
    const QByteArray f1 = pattern(6000, 4);
    SimModem sim;
    QVERIFY(sim.start(simBoot(homeFile(QStringLiteral("terminal.img")),
                              {QStringLiteral("--mem-type"), QStringLiteral("0")})));
    const ProgramRun r = runUpload(uploadArgs(sim, {QStringLiteral("--linear"), file(QStringLiteral("l.BIN"), f1)}));
    QCOMPARE(r.code, 0);
    const Transfer expected = FirmwareFixture::linear(f1, 0x1000);
    QCOMPARE(outLines(r), kBeforeCall + entryLines() + blockLines(expected, true) + closingLines() + kHungUp);
    QCOMPARE(outLines(r).at(10), QStringLiteral("Доставлен пакет банк = 0 адр = 1000H"));
    QCOMPARE(readBytes(homeFile(QStringLiteral("terminal.img"))), expected.image);
}

void TestUploadCli::interruptBreaksOff_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("Ctrl-C") << int(SIGINT);
    QTest::newRow("stop") << int(SIGTERM);
    QTest::newRow("hang-up") << int(SIGHUP);
}

void TestUploadCli::interruptBreaksOff()
{
    QFETCH(int, signalNumber);
    const QByteArray f1 = pattern(8192, 5);
    SimModem sim;
    QVERIFY(sim.start(simBoot(homeFile(QStringLiteral("terminal.img")),
                              {QStringLiteral("--no-ack-at"), QStringLiteral("2")})));
    QProcess cli;
    QSignalSpy waiting(&sim, &SimModem::eventArrived);
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              uploadArgs(sim, {QStringLiteral("--page"), QStringLiteral("0"), file(QStringLiteral("1.BIN"), f1)}));
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.events().join(QLatin1Char('\n')).contains(QLatin1String("no acknowledgement")),
                             20000);
    ::kill(pid_t(cli.processId()), signalNumber);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    QCOMPARE(cli.readAllStandardOutput(), QByteArray());
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    const QString log = logLines(err).join(QLatin1Char('\n')) + QLatin1Char('\n');
    QVERIFY2(log.endsWith(QStringLiteral("Запрос заголовка\n"
                                         "Прервано пользователем \n"
                                         "Не получено подтверждение данных 5С\n")
                          + kHungUp.join(QLatin1Char('\n')) + QLatin1Char('\n')),
             qPrintable(err));
    // The figure reached is said again once the line is down, marked as broken off.
    QVERIFY2(err.endsWith(QStringLiteral("Труба положена\nЗагружено .0%, прервано\n")), qPrintable(err));
    QTRY_VERIFY(sim.received().endsWith("+++AT\rATH\r+++AT\r+++AT\rATH\rATH\r"));
    QByteArray image(4 * BankSize, char(0xFF));
    image.replace(0, 1024, f1.left(1024));
    QCOMPARE(readBytes(homeFile(QStringLiteral("terminal.img"))), image);
}

void TestUploadCli::secondInterruptDropsTheLine()
{
    SimModem sim;
    QVERIFY(sim.start(simBoot(homeFile(QStringLiteral("terminal.img")),
                              {QStringLiteral("--no-ack-at"), QStringLiteral("2")})));
    QProcess cli;
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              uploadArgs(sim, {QStringLiteral("--page"), QStringLiteral("0"),
                               file(QStringLiteral("1.BIN"), pattern(8192, 5))}));
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.events().join(QLatin1Char('\n')).contains(QLatin1String("no acknowledgement")),
                             20000);
    ::kill(pid_t(cli.processId()), SIGINT);
    QTest::qWait(50); // the break's escape is under way
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(60000));
    QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
    QCOMPARE(cli.exitCode(), 1);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError())
                .contains(QStringLiteral("kvrsetup-cli: второе прерывание: DTR снят, порт закрыт\n")));
}

void TestUploadCli::fifoRefusedBeforeThePort()
{
    const QString fifo = homeFile(QStringLiteral("1.BIN"));
    QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
    // No such port: had it been opened first, the message would be about the port.
    const ProgramRun r = runCli({QStringLiteral("upload"), QStringLiteral("--port"), homeFile(QStringLiteral("ttyNone")),
                                 QStringLiteral("--phone"), QStringLiteral("5551234"), fifo});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, QStringLiteral("kvrsetup-cli: Файл ") + fifo + QStringLiteral(" не является обычным файлом\n"));
}

void TestUploadCli::initTestCase()
{
    // The tool's pauses and time-outs at a tenth; kvrsim's escape guard (50 ms) fits in them.
    qputenv("KVRSETUP_TIME_SCALE", "0.1");
}

void TestUploadCli::unknownTerminalRefused()
{
    QTemporaryDir home;
    const ProgramRun r = runCli({QStringLiteral("upload"), QStringLiteral("--port"), QStringLiteral("/dev/null"),
                                 QStringLiteral("--terminal"), QStringLiteral("Никто"), QStringLiteral("a.BIN")},
                                home.path());
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("нет терминала с названием Никто")), qPrintable(r.err));
    // Two entries of one name: neither is taken.
    for (const char *number : {"+79001", "+79002"})
        QCOMPARE(runCli({QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("Грузовик"), QLatin1String(number)},
                        home.path())
                     .code,
                 0);
    const ProgramRun twice = runCli({QStringLiteral("upload"), QStringLiteral("--port"), QStringLiteral("/dev/null"),
                                     QStringLiteral("--terminal"), QStringLiteral("Грузовик"), QStringLiteral("a.BIN")},
                                    home.path());
    QCOMPARE(twice.code, 2);
    QVERIFY2(twice.err.startsWith(QStringLiteral("kvrsetup-cli: несколько терминалов с названием Грузовик: Id 1 (+79001), "
                                                 "Id 2 (+79002); укажите --phone\nИспользование: kvrsetup-cli upload ")),
             qPrintable(twice.err));
}

void TestUploadCli::interruptBeforeTheDialDialsNothing()
{
    // Every answer of the modem takes a while: Ctrl-C falls into the modem check.
    SimModem sim;
    QVERIFY(sim.start(simBoot(homeFile(QStringLiteral("terminal.img")), {QStringLiteral("--delay"), QStringLiteral("400")})));
    QProcess cli;
    cli.start(QStringLiteral(KVR_BIN_DIR "/kvrsetup-cli"),
              uploadArgs(sim, {QStringLiteral("--page"), QStringLiteral("0"), file(QStringLiteral("1.BIN"), pattern(4096))}));
    QVERIFY(cli.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().contains("AT\r"), 20000);
    ::kill(pid_t(cli.processId()), SIGINT);
    QVERIFY(cli.waitForFinished(20000));
    QCOMPARE(cli.exitCode(), 1);
    QVERIFY(QString::fromUtf8(cli.readAllStandardError()).contains(QStringLiteral("Прервано пользователем")));
    QTest::qWait(500);
    QVERIFY2(!sim.received().contains("ATD"), sim.received().constData());
}

void TestUploadCli::rollOutOverTwoModems()
{
    // Two terminals, one modem each; the second drops the call on the third block.
    const QByteArray f1 = pattern(6000, 8);
    const QString imageA = homeFile(QStringLiteral("a.img"));
    const QString imageB = homeFile(QStringLiteral("b.img"));
    SimModem a;
    SimModem b;
    QVERIFY(a.start(simBoot(imageA)));
    QVERIFY(b.start(simBoot(imageB, {QStringLiteral("--hangup-at"), QStringLiteral("3")})));
    const QString path = file(QStringLiteral("1.BIN"), f1);
    const ProgramRun r = runUpload({QStringLiteral("upload"), QStringLiteral("--port"), a.path(), QStringLiteral("--port"),
                                    b.path(), QStringLiteral("--phone"), QStringLiteral("5550001"), QStringLiteral("--phone"),
                                    QStringLiteral("5550002"), QStringLiteral("--page"), QStringLiteral("0"), path});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.out, QStringLiteral("terminal | number | result\n5550001 | 5550001 | ok\n5550002 | 5550002 | failed\n"));
    // Both at the same time, each modem its own terminal; progress says whose it is.
    QVERIFY(a.received().contains("ATD5550001\r"));
    QVERIFY(b.received().contains("ATD5550002\r"));
    QVERIFY2(r.err.contains(QStringLiteral("5550001: Загружено 100%")), qPrintable(r.err));
    QVERIFY(r.err.contains(QStringLiteral("5550002: Доставлен пакет банк = 0 адр = 1024")));
    const QByteArray whole = banked(f1, {}, {}, 0, 0, false, false).image;
    QCOMPARE(readBytes(imageA), whole);
    QVERIFY(readBytes(imageB) != whole);

    // The roll-out resumed: the broken one goes on from its own last block, the finished one is
    // not dialled again and counts as a success.
    // (Through b only: each modem stands for its own terminal's image.)
    const auto resumeAll = [&](const QStringList &phones, const QString &image) {
        QStringList args{QStringLiteral("upload"), QStringLiteral("--port"), b.path()};
        for (const QString &phone : phones)
            args << QStringLiteral("--phone") << phone;
        return runUpload(args + QStringList{QStringLiteral("--resume"), image});
    };
    const ProgramRun resumed = resumeAll({QStringLiteral("5550001"), QStringLiteral("5550002")}, path);
    QCOMPARE(resumed.code, 0);
    QCOMPARE(resumed.out, QStringLiteral("terminal | number | result\n5550001 | 5550001 | уже загружено\n"
                                         "5550002 | 5550002 | ok\n"));
    QVERIFY(!b.received().contains("ATD5550001"));
    QVERIFY(logLines(resumed.err).contains(QStringLiteral("5550002: Доставлен пакет банк = 0 адр = 2048")));
    QVERIFY(!logLines(resumed.err).contains(QStringLiteral("5550002: Доставлен пакет банк = 0 адр = 0")));
    QCOMPARE(readBytes(imageB), whole);

    // Both finished; one never started has no point and fails; other files are no finished load.
    const ProgramRun again = resumeAll({QStringLiteral("5550001"), QStringLiteral("5550002"), QStringLiteral("5550003")}, path);
    QCOMPARE(again.code, 1);
    QCOMPARE(again.out, QStringLiteral("terminal | number | result\n5550001 | 5550001 | уже загружено\n"
                                       "5550002 | 5550002 | уже загружено\n5550003 | 5550003 | failed\n"));
    QVERIFY2(again.err.contains(QStringLiteral("нет сохраненной точки продолжения")), qPrintable(again.err));
    const ProgramRun otherFiles =
        resumeAll({QStringLiteral("5550001"), QStringLiteral("5550002")}, file(QStringLiteral("1.BIN"), pattern(6000, 9)));
    QCOMPARE(otherFiles.code, 1);
    QCOMPARE(otherFiles.out, QStringLiteral("terminal | number | result\n5550001 | 5550001 | failed\n"
                                            "5550002 | 5550002 | failed\n"));
    QVERIFY(!b.received().contains("ATD5550001"));
    QVERIFY(!b.received().contains("ATD5550003"));
}

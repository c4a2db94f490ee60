#include "TestFirmwareDataCall.h"

#include "FirmwareFixture.h"
#include "LoaderRig.h"
#include "RunTask.h"
#include "SimLink.h"
#include "SmsTestSupport.h"
#include "core/route/ProfileTransfer.h"
#include "core/app/Database.h"
#include "core/app/ResumePoints.h"
#include "core/loader/FirmwareDataCall.h"

#include <QSignalSpy>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

using namespace FirmwareFixture;

namespace {

struct Call : LoaderRig
{
    FirmwareDataCall call{line, prompts};
    FirmwareDataCall::Request request;
    int cleared = 0;

    // Queues the load on the line, as the panel does, and waits until it has ended.
    bool load(const FirmwareDataCall::Request &r)
    {
        bool accepted = false;
        bool ended = false;
        QEventLoop loop;
        const auto done = QObject::connect(&call, &FirmwareDataCall::loadFinished, &loop, [&](bool ok) {
            accepted = ok;
            ended = true;
            loop.quit();
        });
        call.cmdLoad_Click(r);
        if (!ended)
            loop.exec();
        QObject::disconnect(done);
        return accepted;
    }

    Call()
    {
        QObject::connect(&call, &FirmwareDataCall::progressChanged,
                         [this](const QString &caption) { progress.append(caption); });
        QObject::connect(&call, &FirmwareDataCall::logsCleared, [this] {
            ++cleared;
            info.clear();
            marks.clear();
        });
        request.number = QStringLiteral("5551234");
        request.start = {false, QStringLiteral("0"), QStringLiteral("0")};
    }
};

const QStringList kBeforeCall{QStringLiteral("Проверка командного режима"), QStringLiteral("Проверка отклика модема")};
const QStringList kHungUp{QStringLiteral("Проверка командного режима"),
                          QStringLiteral("Сценарий окончен, модем в командном режиме"), QStringLiteral("Труба положена")};

QStringList firstBlocks(const Transfer &t, int n)
{
    Transfer part;
    part.blocks = t.blocks.mid(0, n);
    return blockLines(part, false);
}

// A block whose header was taken and whose data got the answer why.
QStringList failure(const QString &why)
{
    return {QStringLiteral("Запрос заголовка"), why, QStringLiteral("Не получено подтверждение данных 5С")};
}

QByteArray imageOfFirstBlocks(const QByteArray &file, int n)
{
    QByteArray image(4 * BankSize, char(0xFF));
    image.replace(0, n * 1024, padded(file, 0, n * 1024));
    return image;
}

} // namespace

void TestFirmwareDataCall::fullLoad()
{
    const QByteArray f1 = pattern(40000, 1);
    const QByteArray f2 = pattern(65536, 2);
    const QByteArray f3 = pattern(34000, 3);
    Call t;
    QVERIFY(t.start());
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), f1);
    t.request.files[1] = t.file(QStringLiteral("2.BIN"), f2);
    t.request.files[2] = t.file(QStringLiteral("3.BIN"), f3);
    t.request.start = {false, QStringLiteral("7C00"), QStringLiteral("0")};
    QSignalSpy running(&t.call, &FirmwareDataCall::runningChanged);
    QVERIFY(t.load(t.request));

    const Transfer expected = banked(f1, f2, f3, 0, 0x7C00);
    QCOMPARE(t.cleared, 1);
    QCOMPARE(t.info, kBeforeCall + QStringList{QStringLiteral(" Режим передачи данных")} + entryLines()
                         + blockLines(expected, false) + closingLines() + kHungUp);
    QCOMPARE(t.dump(), expected.image);
    QCOMPARE(t.progress.last(), QStringLiteral("Загружено 100%"));
    QVERIFY(t.prompts.shown.isEmpty());
    QCOMPARE(running.size(), 2);
    QVERIFY(!t.call.isRunning());
    const QByteArray all = t.sim.received();
    QVERIFY(all.startsWith("AT\rATD5551234\rv\rb\r"));
    QTRY_VERIFY(t.sim.received().endsWith("OK\r\r+++AT\r+++AT\rATH\rATH\r"));
    QCOMPARE(t.call.lastPosition().bank, qint16(3));
}

void TestFirmwareDataCall::userBreakDuringBlockWait()
{
    const QByteArray f1 = pattern(8192, 4);
    Call t;
    QVERIFY(t.start({QStringLiteral("--no-ack-at"), QStringLiteral("3")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), f1);
    bool broke = false;
    QObject::connect(&t.sim, &SimModem::eventArrived, [&](const QString &line) {
        if (line.contains(QLatin1String("no acknowledgement")) && !broke) {
            broke = true;
            QTimer::singleShot(0, &t.call, [&] { t.call.cmdEscapeTransmit_Click(); });
        }
    });
    QVERIFY(!t.load(t.request));
    QVERIFY(broke);

    const Transfer expected = banked(f1, {}, {}, 0, 0, false, false);
    // The interrupted wait ends as broken off; the load then escapes and hangs up.
    QCOMPARE(t.info, kBeforeCall + QStringList{QStringLiteral(" Режим передачи данных")} + entryLines()
                         + firstBlocks(expected, 2) + failure(QStringLiteral("Прервано пользователем ")) + kHungUp);
    // The figure reached stays: first while the modem hangs up, then as the load's last word.
    QVERIFY(t.progress.size() >= 3);
    const QString reached = t.progress.at(t.progress.size() - 3);
    QVERIFY(reached.startsWith(QStringLiteral("Загружено ")));
    QCOMPARE(t.progress.mid(t.progress.size() - 2),
             (QStringList{reached + QStringLiteral(", прерывается: ждем отбоя модема"), reached + QStringLiteral(", прервано")}));
    QCOMPARE(t.dump(), imageOfFirstBlocks(f1, 2));
    QCOMPARE(t.call.lastPosition().address, 1024);
    // The break: "+++", "AT", "ATH"; then the load's own escape and hang-up.
    QTRY_VERIFY(t.sim.received().endsWith(f1.mid(2048, 1024) + "+++AT\rATH\r+++AT\r+++AT\rATH\rATH\r"));
}

void TestFirmwareDataCall::terminalHangsUp()
{
    const QByteArray f1 = pattern(8192, 5);
    Call t;
    QVERIFY(t.start({QStringLiteral("--hangup-at"), QStringLiteral("2")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), f1);
    QVERIFY(!t.load(t.request));
    const Transfer expected = banked(f1, {}, {}, 0, 0, false, false);
    // NO CARRIER comes in data mode: the wrong answer, logged as the codes of the bytes
    // that had come by the time the wait looked (CR LF "NO CARRIER" CR LF at most).
    const QStringList before = kBeforeCall + QStringList{QStringLiteral(" Режим передачи данных")} + entryLines()
                               + firstBlocks(expected, 1);
    QCOMPARE(t.info.mid(0, before.size()), before);
    const QString wrong = t.info.value(before.size() + 1);
    const QString codes = wrong.mid(6, wrong.indexOf(QLatin1Char(' '), 6) - 6);
    QVERIFY2(!codes.isEmpty() && QStringLiteral("DA4E4F2043415252494552DA").startsWith(codes), qPrintable(wrong));
    QCOMPARE(t.info.mid(before.size()),
             failure(QStringLiteral("Ответ ") + codes + QStringLiteral(" не ожидался в данный момент выполнение прервано"))
                 + kHungUp + QStringList{QStringLiteral("Связь с терминалом прервана")});
    QCOMPARE(t.dump(), imageOfFirstBlocks(f1, 1));
}

void TestFirmwareDataCall::finishedLoadLastsUntilTheNextDial()
{
    Call t;
    QVERIFY(t.start({QStringLiteral("--hangup-at"), QStringLiteral("2")}));
    Database db;
    QString error;
    QVERIFY(db.open(t.dir.filePath(QStringLiteral("Data.db")), error));
    t.request.database = &db;
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(8192, 5));
    const ResumePoints::Point loaded{QStringLiteral("5551234"), ResumePoints::Mode::Banked,
                                     ResumePoints::fingerprint({t.request.files[0], QString(), QString()}), 0, 0};
    ResumePoints points(db);
    QVERIFY(points.finish(loaded, error));
    QVERIFY(points.finished(loaded));
    // Other files, another mode or another number are not what finished.
    QVERIFY(!points.finished({loaded.number, ResumePoints::Mode::Linear, loaded.files, 0, 0}));
    QVERIFY(!points.finished({loaded.number, loaded.mode, ResumePoints::fingerprint({t.request.files[0]}), 0, 0}));
    QVERIFY(!points.finished({QStringLiteral("5550000"), loaded.mode, loaded.files, 0, 0}));
    // The same files again, cut off midway: the terminal holds part of them now.
    QVERIFY(!t.load(t.request));
    QVERIFY(!points.finished(loaded));
    ResumePoints::Point stopped;
    QVERIFY(points.find(loaded.number, stopped));
    // Even once that point goes, the earlier finish is not taken back.
    QVERIFY(points.remove(loaded.number, error));
    QVERIFY(!points.finished(loaded));
}

void TestFirmwareDataCall::failedDialIsNotHungUp()
{
    Call t;
    QVERIFY(t.start({QStringLiteral("--dial"), QStringLiteral("nocarrier")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    QVERIFY(!t.load(t.request));
    QCOMPARE(t.info, kBeforeCall + QStringList{QStringLiteral("Ответ NO CARR не позволяет продолжение сценария")});
    QTest::qWait(200);
    QCOMPARE(t.sim.received(), QByteArray("AT\rATD5551234\r"));
}

void TestFirmwareDataCall::dialThatTimesOutIsHungUp()
{
    // No dial result in time: the modem may still be connecting, so it is told to hang up.
    Call t;
    QVERIFY(t.start({QStringLiteral("--dial-delay"), QStringLiteral("4000")}));
    t.link.setTimeScale(0.01); // the dial's 196 s in 2 s
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    QVERIFY(!t.load(t.request));
    QVERIFY2(t.info.contains(QStringLiteral("Таймаут на ответ ")), qPrintable(t.info.join(QLatin1Char('|'))));
    QTRY_VERIFY2(t.sim.received().endsWith("ATD5551234\rATH\r"), t.sim.received().constData());
}

void TestFirmwareDataCall::missingSecondFileRefusedBeforeDialling()
{
    Call t;
    QVERIFY(t.start({QStringLiteral("--dial"), QStringLiteral("busy")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    t.request.files[1] = t.dir.filePath(QStringLiteral("gone.BIN"));
    QVERIFY(!t.load(t.request));
    QCOMPARE(t.prompts.texts(), QStringList{QStringLiteral("Файл ") + t.request.files[1] + QStringLiteral("не найден")});
    QCOMPARE(t.progress, QStringList{QStringLiteral("Загружено")});
    QTest::qWait(100);
    QCOMPARE(t.sim.received(), QByteArray());

    // In linear mode only the first file is looked at.
    t.prompts.shown.clear();
    t.request.linear = true;
    QVERIFY(!t.load(t.request));
    QVERIFY(t.prompts.shown.isEmpty());
}

void TestFirmwareDataCall::refusedBeforeDialling_data()
{
    QTest::addColumn<bool>("linear");
    QTest::addColumn<int>("size"); // -1: no file
    QTest::addColumn<QStringList>("messages");
    // The text operators know first, then the file and the real reason.
    QTest::newRow("linear over a bank record")
        << true << 65502 << QStringList{QStringLiteral("Ошибка чтения файлов. Файл %1 длиннее 65501 байт (65502 байт)")};
    QTest::newRow("linear over 65 KB")
        << true << 70001 << QStringList{QStringLiteral("Файл превышает размер в 65 кб: Файл %1 длиннее 65501 байт (70001 байт)")};
    QTest::newRow("banked over 64 KB")
        << false << 65537 << QStringList{QStringLiteral("Ошибка чтения файлов. Файл %1 длиннее 65536 байт (65537 байт)")};
    QTest::newRow("banked empty first file") << false << 0 << QStringList{QStringLiteral("Ошибка чтения файлов. Файл %1 пуст")};
    QTest::newRow("missing first file") << false << -1 << QStringList{QStringLiteral("Файл %1не найден")};
}

void TestFirmwareDataCall::refusedBeforeDialling()
{
    QFETCH(bool, linear);
    QFETCH(int, size);
    QFETCH(QStringList, messages);
    Call t;
    QVERIFY(t.start());
    t.request.linear = linear;
    t.request.files[0] = size < 0 ? t.dir.filePath(QStringLiteral("none.BIN"))
                                  : t.file(QStringLiteral("1.BIN"), pattern(size));
    QVERIFY(!t.load(t.request));
    const QStringList shown = t.prompts.texts();
    QCOMPARE(shown.size(), messages.size());
    for (int i = 0; i < shown.size(); ++i)
        QVERIFY2(shown[i].startsWith(messages[i].arg(t.request.files[0])), qPrintable(shown[i]));
    QVERIFY(t.info.isEmpty());
    // Not a byte to the modem, let alone a closing packet of zeros to the terminal.
    QTest::qWait(200);
    QCOMPARE(t.sim.received(), QByteArray());
    QCOMPARE(t.dump(), QByteArray(4 * BankSize, char(0xFF)));
}

void TestFirmwareDataCall::silentModem()
{
    Call t;
    QVERIFY(t.start({QStringLiteral("--silent")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    QVERIFY(!t.load(t.request));
    const QStringList probe{QStringLiteral("Проверка командного режима"), QStringLiteral("Проверка отклика модема"),
                            QStringLiteral("Таймаут на ответ ")};
    const QStringList escape{QStringLiteral("Попытка вывести в командный режим (+++)")};
    QCOMPARE(t.info, probe + escape + probe + escape + probe
                         + QStringList{QStringLiteral("Модем не отвечает, сценарий прерван")});
    QTRY_COMPARE(t.sim.received(), QByteArray("AT\r+++AT\rAT\r+++AT\rAT\r"));
}

void TestFirmwareDataCall::startsAndResumesRefusedBeforeDialling()
{
    Call t;
    QVERIFY(t.start());
    Database db;
    QString error;
    QVERIFY(db.open(t.dir.filePath(QStringLiteral("Data.db")), error));
    t.request.database = &db;
    const QString f1 = t.file(QStringLiteral("1.BIN"), pattern(1000));
    const auto refused = [&t](FirmwareDataCall::Request request) {
        t.prompts.shown.clear();
        t.load(request);
        return t.prompts.texts().value(0);
    };
    FirmwareDataCall::Request r = t.request;
    r.files[0] = f1;
    r.linear = true;
    r.start = {false, QStringLiteral("400"), QStringLiteral("0")};
    QCOMPARE(refused(r), QStringLiteral("Начальный адрес 400H за концом файла ") + f1 + QStringLiteral(" (1000 байт)"));
    r.linear = false;
    r.start = {false, QStringLiteral("0"), QStringLiteral("4")};
    QCOMPARE(refused(r), QStringLiteral("Банка 4 нет: банки 0..3"));
    r.start = {false, QStringLiteral("0"), QStringLiteral("0")};
    r.files[1] = t.file(QStringLiteral("2.BIN"), pattern(30000));
    QCOMPARE(refused(r), QStringLiteral("Ошибка чтения файлов. Файл ") + r.files[1]
                             + QStringLiteral(" (30000 байт) не содержит данных для банка 2: они начинаются с байта 32768"));
    r.files[1].clear();
    // A third file without a second would be dropped and banks 2 and 3 loaded with nothing.
    r.files[2] = t.file(QStringLiteral("3.BIN"), pattern(40000));
    QCOMPARE(refused(r), QStringLiteral("Ошибка чтения файлов. Файл для банка 3 (") + r.files[2]
                             + QStringLiteral(") задан без файла для банка 2"));
    r.files[2].clear();
    // Starts the window does not offer, or with nothing at or after them: refused before the dial,
    // not once the terminal sits in its boot loader.
    const auto startAt = [&r](const char *page, const char *bank) {
        FirmwareDataCall::Request s = r;
        s.start = {false, QString::fromLatin1(page), QString::fromLatin1(bank)};
        return FirmwareDataCall::refusal(s, nullptr);
    };
    QCOMPARE(startAt("300", "0"), QStringLiteral("Неверный начальный адрес 300H: адрес блока кратен 400H"));
    QCOMPARE(startAt("8000", "0"), QStringLiteral("Неверный начальный адрес 8000H: адрес блока кратен 400H"));
    QCOMPARE(startAt("400", "0"), QStringLiteral("Начальный адрес 400H банка 0 за концом данных: загружать нечего"));
    QCOMPARE(startAt("0", "3"), QStringLiteral("Начальный адрес 0H банка 3 за концом данных: загружать нечего"));
    QCOMPARE(startAt("0", "0"), QString());

    // Resume: only where this number's load stopped, with its files and mode.
    r.start = {true, QString(), QString()};
    QCOMPARE(refused(r), QStringLiteral("Для номера 5551234 нет сохраненной точки продолжения: начните загрузку с "
                                        "выбранного адреса"));
    ResumePoints points(db);
    QVERIFY(points.store({QStringLiteral("5551234"), ResumePoints::Mode::Banked,
                          ResumePoints::fingerprint({f1, QString(), QString()}), 0, 1024},
                         error));
    QVERIFY(t.file(QStringLiteral("1.BIN"), pattern(1000, 9)) == f1); // same name and size, other bytes
    QCOMPARE(refused(r), QStringLiteral("Продолжить нельзя: файл 1 1.BIN: содержимое изменилось"));
    r.linear = true;
    QCOMPARE(refused(r), QStringLiteral("Продолжить нельзя: прерванная загрузка шла по банкам, эта без банков"));
    r.linear = false;
    // A stored point that is no block boundary inside the image (a damaged book) is not used.
    QVERIFY(points.store({QStringLiteral("5551234"), ResumePoints::Mode::Banked,
                          ResumePoints::fingerprint({f1, QString(), QString()}), 0, 0x3E8},
                         error));
    QCOMPARE(refused(r), QStringLiteral("Продолжить нельзя: сохраненная точка не годится (Неверный начальный адрес "
                                        "3E8H: адрес блока кратен 400H)"));
    r.number = QStringLiteral("5559999");
    QVERIFY(refused(r).startsWith(QStringLiteral("Для номера 5559999 нет сохраненной точки продолжения")));
    QTest::qWait(100);
    QCOMPARE(t.sim.received(), QByteArray());
}

void TestFirmwareDataCall::endlessRepeatsEndTheLoad()
{
    Call t;
    QVERIFY(t.start({QStringLiteral("--mem-type"), QStringLiteral("0"), QStringLiteral("--repeat-from"), QStringLiteral("2")}));
    t.request.linear = true;
    t.request.files[0] = t.file(QStringLiteral("l.BIN"), pattern(3000, 4));
    t.request.start = {false, QStringLiteral("0"), QStringLiteral("0")};
    QVERIFY(!t.load(t.request));
    QCOMPARE(t.info.count(QStringLiteral("Ошибка данных повтор Запрос заголовка")), 11);
    const qsizetype at = t.info.indexOf(QStringLiteral("Блок 200H не принят после 10 повторов"));
    QVERIFY2(at > 0, qPrintable(t.info.join(QLatin1Char('\n'))));
    QCOMPARE(t.info.mid(at + 1), kHungUp);
}

void TestFirmwareDataCall::breakBeforeTheDialDialsNothing()
{
    // Every answer of the modem takes a while: the break falls into the modem check.
    Call t;
    QVERIFY(t.start({QStringLiteral("--delay"), QStringLiteral("300")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    QTimer::singleShot(100, &t.call, [&t] { t.call.cmdEscapeTransmit_Click(); });
    QVERIFY(!t.load(t.request));
    // Said once, whichever step the break ended.
    QVERIFY2(t.info.filter(QStringLiteral("Прервано пользователем")).size() == 1, qPrintable(t.info.join(QLatin1Char('|'))));
    QTest::qWait(400);
    QVERIFY2(!t.sim.received().contains("ATD"), t.sim.received().constData());
}

void TestFirmwareDataCall::incomingCallDuringTheDial()
{
    // RINGs while the dial waits: the dial's own answer still decides, and the load goes through.
    const QByteArray f1 = pattern(2048, 6);
    Call t;
    QVERIFY(t.start({QStringLiteral("--dial-delay"), QStringLiteral("600"), QStringLiteral("--ring-every"),
                     QStringLiteral("150")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), f1);
    QVERIFY(t.load(t.request));
    QVERIFY(!t.info.join(QString()).contains(QStringLiteral("RING")));
}

void TestFirmwareDataCall::unknownDialOutcomeHangsUp()
{
    // The dial is broken off while it waits: the modem may still connect, so it is told to hang up.
    Call t;
    QVERIFY(t.start({QStringLiteral("--dial-delay"), QStringLiteral("3000")}));
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), pattern(4096));
    // Broken off once the modem has the dial and the wait for its answer runs.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &t.call, [&] {
        if (t.sim.received().contains("ATD") && t.link.replyTimerActive()) {
            poll.stop();
            t.line.requestBreak();
        }
    });
    poll.start(10);
    QVERIFY(!t.load(t.request));
    QTRY_VERIFY(t.sim.received().endsWith("ATD5551234\rATH\r"));
}

void TestFirmwareDataCall::loadAndPollOnTwoLines()
{
    // Two modems in one program: a load on one line, the message poll on the other.
    const QByteArray f1 = pattern(12000, 7);
    Call t;
    QVERIFY(t.start());
    t.request.files[0] = t.file(QStringLiteral("1.BIN"), f1);
    const QString phone = QStringLiteral("+71234567890");
    const QString image = t.dir.filePath(QStringLiteral("terminal.bin"));
    QVERIFY(writeBytes(image, SmsTest::profileFile(4) + QByteArray(130, '\x7F')));
    SimLink other;
    QVERIFY(other.start({QStringLiteral("--terminal"), phone + QLatin1Char('=') + image, QStringLiteral("--sms-delay"),
                         QStringLiteral("0")}));
    AppState otherState(t.dir.filePath(QStringLiteral("other")));
    ProfileTransfer transfer(other.line, otherState);
    QVERIFY(runTask(transfer.requestProfile(phone, QString())).passed);

    bool loadEnded = false;
    bool accepted = false;
    QObject::connect(&t.call, &FirmwareDataCall::loadFinished, [&](bool ok) {
        loadEnded = true;
        accepted = ok;
    });
    bool pollEndedDuringLoad = false;
    ProfileTransfer::PollResult polled;
    QObject::connect(&transfer, &ProfileTransfer::pollFinished, [&](const ProfileTransfer::PollResult &result) {
        polled = result;
        pollEndedDuringLoad = t.call.isRunning();
    });
    t.call.cmdLoad_Click(t.request);
    QVERIFY(transfer.submitPoll());
    QTRY_VERIFY_WITH_TIMEOUT(loadEnded && other.line.isIdle(), 60000);
    QVERIFY(accepted);
    QCOMPARE(t.dump(), banked(f1, {}, {}, 0, 0, false, false).image);
    QVERIFY(pollEndedDuringLoad);
    QCOMPARE(polled.saved.size(), 1);
    QCOMPARE(readBytes(polled.saved.at(0).path), SmsTest::profileFile(4));
}

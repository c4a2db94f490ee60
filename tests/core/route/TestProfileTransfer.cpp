#include "TestProfileTransfer.h"

#include "core/app/Database.h"
#include "core/common/PhoneNumber.h"
#include "core/app/OperationHistory.h"
#include "core/tasks/TaskBook.h"

#include "LinkTimerLog.h"
#include "RunTask.h"
#include "SimLink.h"
#include "SmsTestSupport.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/link/LinkExchange.h"
#include "core/settings/SettingsImage.h"
#include "core/route/ProfileTransfer.h"
#include "core/pdu/TransferRecord.h"
#include "core/scenario/clsScenarioProfile.h"
#include "core/pdu/mdlSMS.h"

#include <QDate>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

namespace {

// The profile sends' rows as "number result detail", oldest first.
QStringList sendRows(Database &db)
{
    QStringList rows;
    for (const OperationHistory::Entry &e : OperationHistory(db).entries())
        if (e.operation == OperationHistory::Operation::SendProfile)
            rows.prepend(e.number + (e.result == OperationHistory::Result::Ok ? QStringLiteral(" ok ") : QStringLiteral(" failed "))
                         + e.detail);
    return rows;
}

const QString kPhone = QStringLiteral("+71234567890");
const QString kOther = QStringLiteral("89169876543");

// kvrsim with terminals, the link, an application folder and the profile transfer on top.
struct Rig
{
    QTemporaryDir dir;
    SimLink sim;
    AppState state{dir.path()};
    ProfileTransfer transfer{sim.line, state};

    bool start(QStringList options = {})
    {
        options << QStringLiteral("--sms-delay") << QStringLiteral("0");
        return sim.start(options);
    }
    QString binPath(const QString &name) const { return dir.filePath(QStringLiteral("BIN/") + name); }
};

// Real timers, and a wall clock that stands where the test puts it.
struct StandingClock : SystemClock
{
    QDateTime at = QDateTime::currentDateTimeUtc();
    QDateTime now() const override { return at; }
};

// The bytes a module send of one packet puts on the line.
QByteArray moduleSend(PacketType type, const QByteArray &file, const QString &phone)
{
    QString destination = phone;
    QString pdu;
    const int n = mdlSMS::BuildSmsPdu(TransferRecord::forPacket(type, file), mdlSMS::PhoneToPdu(destination),
                                      QString(), pdu);
    return "AT+CMGS=" + QByteArray::number(n) + '\r' + pdu.toLatin1() + "\x1A\r";
}

} // namespace

void TestProfileTransfer::profileFileSentAndConfirmed()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    // The window sends from the profile mode, whose bytes otherwise go to the scenario engine.
    r.sim.link.port().setRoute(LinkExchange::Route::Scenario);
    const QByteArray file = SmsTest::profileFile(1);
    // A centre that is no number, or a lone "+", goes nowhere near the line.
    for (const QString &centre : {QStringLiteral("+7 916 abc"), QStringLiteral("+")})
        QCOMPARE(runTask(r.transfer.sendProfileFile(kPhone, centre, file)).refusal, QStringLiteral("Неверный номер SMS центра"));
    QCOMPARE(runTask(r.transfer.requestProfile(QStringLiteral("+"), QString())).refusal,
             QStringLiteral("Неверный номер телефона: ") + PhoneNumber::expected());
    const ProfileTransfer::SendResult sent = runTask(r.transfer.sendProfileFile(kPhone, QString(), file));
    QVERIFY(sent.refusal.isEmpty());
    QVERIFY(sent.passed);
    // The prompt released the body; the exchange waited for the modem's verdict: no false failure.
    QCOMPARE(r.sim.info, QStringList());
    QTRY_COMPARE(r.sim.sim.received(), "AT+CMGF=0\r" + moduleSend(PacketType::ProfileBlock1, file, kPhone)
                                           + moduleSend(PacketType::ProfileBlock2, file, kPhone));

    const ProfileTransfer::PollResult poll = runTask(r.transfer.pollMessages());
    QVERIFY(poll.listed);
    QCOMPARE(poll.messages, 2);
    QCOMPARE(r.sim.cmdInfo, (QStringList{QStringLiteral("Профиль отправлен на номер +71234567890\r\n"),
                                         QStringLiteral("Пакет 0x33h загружен в терминал: +71234567890\r\n"),
                                         QStringLiteral("Пакет 0x35h загружен в терминал: +71234567890\r\n")}));
    QVERIFY(r.sim.sim.received().endsWith("AT+CMGL=4\rAT+CMGD=1\rAT+CMGD=2\r"));
    QVERIFY(!r.sim.link.sms().smsListing());
    QCOMPARE(runTask(r.transfer.pollMessages()).messages, 0);
}

void TestProfileTransfer::twoTerminalsReadBackInOnePoll()
{
    Rig r;
    const QString image = r.dir.filePath(QStringLiteral("terminal.bin"));
    QVERIFY(writeBytes(image, SmsTest::profileFile(2) + QByteArray(130, '\x7F')));
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone + QLatin1Char('=') + image, QStringLiteral("--terminal"),
                     kOther, QStringLiteral("--foreign"), QStringLiteral("text"), QStringLiteral("--foreign"),
                     QStringLiteral("alpha"), QStringLiteral("--foreign"), QStringLiteral("truncated")}));
    QVERIFY(runTask(r.transfer.requestProfile(kPhone, QString())).passed);
    QTRY_COMPARE(r.sim.sim.received(), "AT+CMGF=0\r" + moduleSend(PacketType::ReadBlock1, {}, kPhone)
                                           + moduleSend(PacketType::ReadBlock2, {}, kPhone));
    QVERIFY(runTask(r.transfer.requestProfile(kOther, QString())).passed);
    // A number no terminal has never answers.
    QVERIFY(runTask(r.transfer.requestProfile(QStringLiteral("+70000000000"), QString())).passed);
    StandingClock clock;
    r.transfer.setClock(&clock);
    r.sim.cmdInfo.clear();
    const ProfileTransfer::PollResult poll = runTask(r.transfer.pollMessages());
    QCOMPARE(poll.messages, 7);
    QCOMPARE(poll.saved.size(), 2);
    QCOMPARE(poll.saved.at(0).path, r.binPath(QStringLiteral("1234567890.bin")));
    QCOMPARE(readBytes(poll.saved.at(0).path), SmsTest::profileFile(2));
    QCOMPARE(poll.saved.at(1).path, r.binPath(QStringLiteral("9169876543.bin")));
    // The operator's messages are journalled before they go; the cut one stays where it is.
    QCOMPARE(r.sim.cmdInfo.size(), 6);
    QCOMPARE(r.sim.cmdInfo.at(0), QStringLiteral("Удалено постороннее сообщение от +79161234567: Balance 100 rub\r\n"));
    QCOMPARE(r.sim.cmdInfo.at(1), QStringLiteral("Ответ терминала не принят: номер отправителя \"Operator\" не годится "
                                                  "для имени файла\r\n"));
    QVERIFY(r.sim.cmdInfo.at(2).startsWith(QStringLiteral("Удалено постороннее сообщение от Operator: 4305000001")));
    QCOMPARE(r.sim.cmdInfo.mid(3), (QStringList{QStringLiteral("Сообщение 3 пришло не целиком и оставлено в модеме\r\n"),
                                                QStringLiteral("Сохранен профильный файл от терминала: +71234567890, файл ")
                                                    + r.binPath(QStringLiteral("1234567890.bin")) + QStringLiteral("\r\n"),
                                                QStringLiteral("Сохранен профильный файл от терминала: 89169876543, файл ")
                                                    + r.binPath(QStringLiteral("9169876543.bin")) + QStringLiteral("\r\n")}));
    QCOMPARE(r.transfer.receivedProfiles().size(), 1);
    QVERIFY(r.transfer.receivedProfiles().at(0).Phone.isEmpty());
    QCOMPARE(runTask(r.transfer.pollMessages()).messages, 1);
    // Ten minutes on, the one that never answered is named once.
    clock.at = clock.at.addSecs(ProfileTransfer::AnswerWaitSeconds);
    r.sim.cmdInfo.clear();
    runTask(r.transfer.pollMessages());
    QCOMPARE(r.sim.cmdInfo.filter(QStringLiteral("Нет ответа")),
             QStringList{QStringLiteral("Нет ответа от терминала +70000000000\r\n")});
    runTask(r.transfer.pollMessages());
    QVERIFY(r.sim.cmdInfo.filter(QStringLiteral("Нет ответа")).size() == 1);
}

void TestProfileTransfer::readRowWaitsForItsOutcome()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    Database db;
    QString error;
    QVERIFY(db.open(r.dir.filePath(QStringLiteral("Data.db")), error));
    r.state.database = &db;
    StandingClock clock;
    r.transfer.setClock(&clock);
    TaskBook tasks(db.connectionName(), clock);
    QVERIFY2(tasks.ensureSchema(error), qPrintable(error));
    r.transfer.setTaskBook(&tasks);
    QSignalSpy finished(&r.transfer, &SmsRoute::readFinished);
    // The window's reads: one terminal answers, the other number never does.
    QCOMPARE(r.transfer.submitProfileRequest(kPhone, QString()), QString());
    QCOMPARE(r.transfer.submitProfileRequest(QStringLiteral("+70000000000"), QString()), QString());
    QTRY_VERIFY_WITH_TIMEOUT(r.transfer.sendsIdle() && r.transfer.awaitedReads().size() == 2, 20000);
    auto reads = [&db] {
        QList<OperationHistory::Entry> out;
        for (const OperationHistory::Entry &e : OperationHistory(db).entries())
            if (e.operation == OperationHistory::Operation::ReadProfile)
                out << e;
        return out;
    };
    QVERIFY(reads().isEmpty()); // sent is not read
    runTask(r.transfer.pollMessages());
    QCOMPARE(reads().size(), 1);
    QCOMPARE(reads().at(0).result, OperationHistory::Result::Ok);
    QCOMPARE(reads().at(0).detail, r.binPath(QStringLiteral("1234567890.bin")));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    // The wait over: the silent one is failed, "нет ответа", and the poll ends nothing more later.
    clock.at = clock.at.addSecs(SmsRoute::AnswerWaitSeconds);
    runTask(r.transfer.pollMessages());
    const QList<OperationHistory::Entry> both = reads();
    QCOMPARE(both.size(), 2);
    const auto silent = std::find_if(both.begin(), both.end(),
                                     [](const auto &e) { return e.number == QStringLiteral("+70000000000"); });
    QVERIFY(silent != both.end());
    QCOMPARE(silent->result, OperationHistory::Result::Failed);
    QCOMPARE(silent->detail, QStringLiteral("нет ответа"));
    QCOMPARE(finished.size(), 2);
    QVERIFY(r.transfer.awaitedReads().isEmpty());
    // Each read was a task: the answered one holds its profile, the silent one expired.
    const std::optional<QList<TaskBook::Entry>> all = tasks.list({}, error);
    QVERIFY2(all, qPrintable(error));
    QCOMPARE(all->size(), 2);
    for (const TaskBook::Entry &e : *all) {
        QCOMPARE(e.operation, OperationHistory::Operation::ReadProfile);
        const std::optional<TaskBook::Entry> whole = tasks.get(e.id, error);
        QVERIFY(whole);
        if (e.number == kPhone) {
            QCOMPARE(e.status, TaskBook::Status::Confirmed);
            QCOMPARE(whole->payload, readBytes(r.binPath(QStringLiteral("1234567890.bin"))));
        } else {
            QCOMPARE(e.status, TaskBook::Status::Expired);
            QCOMPARE(e.detail, QStringLiteral("нет ответа"));
        }
    }
}

void TestProfileTransfer::unsavedProfileStaysInTheModem()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    QVERIFY(writeBytes(r.dir.filePath(QStringLiteral("BIN")), "a file where the folder should be"));
    QVERIFY(runTask(r.transfer.requestProfile(kPhone, QString())).passed);
    for (int poll = 1; poll <= 2; ++poll) {
        const ProfileTransfer::PollResult result = runTask(r.transfer.pollMessages());
        QCOMPARE(result.messages, 2);
        QVERIFY(result.saved.isEmpty());
        QVERIFY(result.writeFailed); // the poll command exits 1 on it
        QVERIFY(r.sim.cmdInfo.last().startsWith(QStringLiteral("Ошибка записи в файл ") + r.binPath(QString())));
        QVERIFY(!r.sim.sim.received().contains("AT+CMGD"));
    }
    // Listed again, the answers did not start a second copy of the profile.
    QCOMPARE(r.transfer.receivedProfiles().size(), 1);

    QVERIFY(QFile::remove(r.dir.filePath(QStringLiteral("BIN"))));
    r.sim.cmdInfo.clear();
    const ProfileTransfer::PollResult saved = runTask(r.transfer.pollMessages());
    QCOMPARE(saved.saved.size(), 1);
    QVERIFY(!saved.writeFailed);
    QCOMPARE(r.sim.cmdInfo, QStringList{QStringLiteral("Сохранен профильный файл от терминала: +71234567890, файл ")
                                        + r.binPath(QStringLiteral("1234567890.bin")) + QStringLiteral("\r\n")});
    QVERIFY(r.sim.sim.received().endsWith("AT+CMGD=1\rAT+CMGD=2\r"));
    QCOMPARE(runTask(r.transfer.pollMessages()).messages, 0);
}

void TestProfileTransfer::modemLeftInADataCallIsBroughtBack()
{
    // A load killed mid-call left the modem connected to a silent far end.
    Rig r;
    QVERIFY(r.start({QStringLiteral("--far"), QStringLiteral("silent"), QStringLiteral("--guard"), QStringLiteral("50"),
                     QStringLiteral("--terminal"), kPhone}));
    // Time-outs of half a second: a loaded machine still answers within them.
    r.sim.link.setTimeScale(0.25);
    QVERIFY(runTask(r.sim.dial()));
    const bool passed = runTask(r.transfer.requestProfile(kPhone, QString())).passed;
    QVERIFY2(passed, qPrintable(r.sim.cmdInfo.join(QString()) + r.sim.info.join(QString()) + QString::fromLatin1(r.sim.sim.received())));
    QVERIFY(r.sim.cmdInfo.contains(QStringLiteral("Модем не отвечает: выход из режима данных (+++, ATH)\r\n")));
    QVERIFY2(r.sim.sim.received().contains("AT+CMGF=0\r+++ATH\rAT+CMGF=0\rAT+CMGS=154\r"),
             r.sim.sim.received().constData());
}

void TestProfileTransfer::textModeModemTakesPduModeFirst()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--text-mode"), QStringLiteral("--terminal"), kPhone, QStringLiteral("--foreign"),
                     QStringLiteral("text")}));
    // In text mode "AT+CMGL=4" is refused and "AT+CMGS=154" is a text to the number 154.
    const ProfileTransfer::PollResult poll = runTask(r.transfer.pollMessages());
    QVERIFY(poll.listed);
    QCOMPARE(poll.messages, 1);
    QVERIFY(r.sim.sim.received().startsWith("AT+CMGF=0\rAT+CMGL=4\r"));
    QVERIFY(runTask(r.transfer.sendProfileFile(kPhone, QString(), SmsTest::profileFile(1))).passed);
    QTRY_VERIFY(r.sim.sim.events().join(QLatin1Char('\n')).contains(QStringLiteral("terminal +71234567890 record 35")));
    QVERIFY(!r.sim.sim.events().join(QLatin1Char('\n')).contains(QStringLiteral("sms text sent")));
}

void TestProfileTransfer::operatorsMessagesJournalledBeforeDeletion()
{
    const QStringList foreign{QStringLiteral("--cmgl-nospace"), QStringLiteral("--foreign"), QStringLiteral("status"),
                              QStringLiteral("--foreign"), QStringLiteral("submit"), QStringLiteral("--foreign"),
                              QStringLiteral("alphatext"), QStringLiteral("--foreign"), QStringLiteral("ucs2")};
    {
        // Where the journal cannot be written, nothing of the operator's is deleted.
        Rig r;
        QVERIFY(r.start(foreign));
        QVERIFY(writeBytes(r.dir.filePath(QStringLiteral("SMS")), "a file where the folder should be"));
        QCOMPARE(runTask(r.transfer.pollMessages()).messages, 4);
        QVERIFY(!r.sim.sim.received().contains("AT+CMGD"));
        QVERIFY(r.sim.cmdInfo.last().endsWith(QStringLiteral(": посторонние сообщения оставлены в модеме\r\n")));
    }
    Rig r;
    QVERIFY(r.start(foreign));
    QCOMPARE(runTask(r.transfer.pollMessages()).messages, 4);
    QCOMPARE(r.sim.cmdInfo,
             (QStringList{QStringLiteral("Удалено постороннее сообщение от +79161234567: сообщение 42: delivered, "
                                         "2026-10-12 13:14:20 +00:00\r\n"),
                          QStringLiteral("Удалено постороннее сообщение от +79161234567: Call me back\r\n"),
                          QStringLiteral("Удалено постороннее сообщение от MTS: Vash balans 100 rub\r\n"),
                          QStringLiteral("Удалено постороннее сообщение от +79031112233: Привет, это Оля\r\n")}));
    const QString journal = QString::fromUtf8(readBytes(r.dir.filePath(
        QStringLiteral("SMS/") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".txt"))));
    for (const QString &kind : {QStringLiteral("Тип: отчет о доставке"), QStringLiteral("Тип: исходящее"),
                                QStringLiteral("Тип: входящее")})
        QVERIFY2(journal.contains(kind), qPrintable(kind));
    QVERIFY(journal.contains(QStringLiteral("Время: 2026-10-12 13:14:15 +00:00\nОт: +79161234567\n")));
    QCOMPARE(journal.count(QStringLiteral("\nPDU: ")), 4);
    QCOMPARE(runTask(r.transfer.pollMessages()).messages, 0);
}

void TestProfileTransfer::slowListingKeepsWaiting()
{
    Rig r;
    // 2400 baud: the listing takes longer than its time-out, but each line comes well within it.
    QStringList options{QStringLiteral("--baud"), QStringLiteral("2400")};
    for (int i = 0; i < 4; ++i)
        options << QStringLiteral("--foreign") << QStringLiteral("text");
    QVERIFY(r.start(options));
    r.sim.link.setTimeScale(0.05);
    const ProfileTransfer::PollResult poll = runTask(r.transfer.pollMessages());
    QVERIFY(poll.listed);
    QCOMPARE(poll.messages, 4);
    QCOMPARE(r.sim.info, QStringList());
}

void TestProfileTransfer::modemFaults_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("cmdLines");
    QTest::addColumn<QList<LinkTimerLog::Entry>>("waits");
    QTest::addColumn<QByteArray>("received");
    // A modem that does not answer "AT+CMGF=0" may sit in a data call left by a killed load: it is
    // escaped and hung up, then asked once more; nothing is sent when it still does not answer.
    const QString timeOut = QStringLiteral("Таймаут на ответ \r\n");
    QTest::newRow("silent") << QStringList{"--silent"} << QStringList{timeOut, timeOut, timeOut}
                            << QStringList{"Модем не отвечает: выход из режима данных (+++, ATH)\r\n",
                                           "Модем не перешел в режим PDU (AT+CMGF=0): нет ответа\r\n"}
                            << QList{LinkTimerLog::reply(2000), LinkTimerLog::delay(1600), LinkTimerLog::delay(1600),
                                     LinkTimerLog::reply(2000), LinkTimerLog::reply(2000)}
                            << QByteArray();
    // The first packet refused: the second does not go.
    QTest::newRow("ERROR for a prompt") << QStringList{"--sms-refuse", "all:ERROR"}
                                        << QStringList{"Ответ ERROR не позволяет продолжение сценария\r\n"}
                                        << QStringList{"Модем не принял пакет 0x43h (ERROR): ничего не отправлено\r\n"}
                                        << QList{LinkTimerLog::reply(2000), LinkTimerLog::reply(20000)}
                                        << QByteArray("AT+CMGF=0\rAT+CMGS=154\r");
}

void TestProfileTransfer::modemFaults()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, lines);
    QFETCH(QStringList, cmdLines);
    QFETCH(QList<LinkTimerLog::Entry>, waits);
    QFETCH(QByteArray, received);
    Rig r;
    QVERIFY(r.start(options));
    r.sim.link.setTimeScale(0.001);
    LinkTimerLog timers(r.sim.link);
    QVERIFY(!runTask(r.transfer.requestProfile(kPhone, QString())).passed);
    // One line for the failed exchange, one saying what went out, and no body without a prompt.
    QCOMPARE(r.sim.info, lines);
    QCOMPARE(r.sim.cmdInfo, cmdLines);
    QCOMPARE(timers.entries, waits);
    QVERIFY(!r.sim.link.sms().smsPromptPending());
    if (!received.isEmpty())
        QTRY_COMPARE(r.sim.sim.received(), received);
}

void TestProfileTransfer::slowNetworkStillPasses()
{
    Rig r;
    // Every answer of the modem takes 150 ms; the shortest exchange (AT+CMGF=0) waits 240 ms at this scale.
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--delay"), QStringLiteral("150")}));
    r.sim.link.setTimeScale(0.02);
    QVERIFY(runTask(r.transfer.sendGprs(kPhone, QString(), {QStringLiteral("apn"), {}, {}, QStringLiteral("10.0.0.1"),
                                                    QStringLiteral("1000")}))
                .passed);
    QCOMPARE(r.sim.info, QStringList());
    QCOMPARE(r.sim.link.lastAnswer().word, QStringLiteral("OK"));
    QVERIFY(r.sim.link.lastAnswer().remain.contains(QStringLiteral("+CMGS: 1")));
}

void TestProfileTransfer::scenarioSendsEditedImage()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    for (int i = 1; i <= 128; ++i) {
        r.state.CurrentImage.Block1[i] = quint8(i * 3);
        r.state.CurrentImage.Block2[i] = quint8(255 - i);
    }
    r.state.table.HiddenDefaults.Block1[5] = 0x80;
    Database db;
    QString error;
    QVERIFY(db.open(r.dir.filePath(QStringLiteral("Data.db")), error));
    r.state.database = &db;
    r.sim.link.setTimeScale(0.05);
    r.transfer.setClock(&r.sim.link.clock());
    r.sim.link.port().setRoute(LinkExchange::Route::Scenario);
    QCOMPARE(r.transfer.startProfileScenario(QStringLiteral(" +71234567890 "), QString()), QString());
    QCOMPARE(r.transfer.activeScenarios().keyAt(0), kPhone);
    QCOMPARE(r.transfer.transmitQueue().size(), 2);
    r.transfer.start();
    QTRY_VERIFY_WITH_TIMEOUT(r.transfer.activeScenarios().isEmpty(), 20000);
    QCOMPARE(r.sim.cmdInfo, (QStringList{QStringLiteral("Пакет 0x33h отправлен на номер +71234567890\r\n"),
                                         QStringLiteral("Пакет 0x35h отправлен на номер +71234567890\r\n")}));
    QVERIFY(r.transfer.transmitQueue().isEmpty());
    QCOMPARE(sendRows(db), (QStringList{QStringLiteral("+71234567890 ok отправлено")}));
    // The hidden defaults went into the image, and the terminal holds exactly its file blocks.
    QCOMPARE(r.state.CurrentImage.Block1[5], quint8(0x80 | 15));
    r.transfer.stop();
    r.sim.link.port().setRoute(LinkExchange::Route::Receiver);
    QVERIFY(runTask(r.transfer.requestProfile(kPhone, QString())).passed);
    const ProfileTransfer::PollResult poll = runTask(r.transfer.pollMessages());
    QCOMPARE(poll.saved.size(), 1);
    QCOMPARE(readBytes(poll.saved.at(0).path), SettingsImage::fileBlock(r.state.CurrentImage.Block1)
                                                   + SettingsImage::fileBlock(r.state.CurrentImage.Block2));
}

void TestProfileTransfer::newScenarioReplacesRunning()
{
    Rig r;
    QVERIFY(r.start());
    Database db;
    QString error;
    QVERIFY(db.open(r.dir.filePath(QStringLiteral("Data.db")), error));
    r.state.database = &db;
    // The route is the firmware loader's: the queue waits.
    QCOMPARE(r.transfer.startProfileScenario(kPhone, QString()), QString());
    QCOMPARE(r.transfer.runningScenario(), kPhone);
    // The new one starts only once the running one is gone, with what it still had queued.
    QCOMPARE(r.transfer.startProfileScenario(kOther, QString()), QString());
    QCOMPARE(r.transfer.activeScenarios().size(), 1);
    QCOMPARE(r.transfer.runningScenario(), kOther);
    QCOMPARE(r.transfer.transmitQueue().size(), 2);
    QCOMPARE(r.transfer.transmitQueue().at(0).PhoneNumber, kOther);
    r.transfer.stopRunningScenario();
    QVERIFY(r.transfer.activeScenarios().isEmpty());
    QVERIFY(r.transfer.transmitQueue().isEmpty());
    // Each stopped send has its row, and only one.
    QCOMPARE(sendRows(db), (QStringList{kPhone + QStringLiteral(" failed прервано"),
                                        kOther + QStringLiteral(" failed прервано")}));
}

void TestProfileTransfer::lostFinalAnswerIsUnknown()
{
    // The modem sends the first message on to the network and never says so.
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-lose-answer"), QStringLiteral("1")}));
    r.sim.link.setTimeScale(0.05);
    const QByteArray file = SmsTest::profileFile(2);
    const ProfileTransfer::SendResult lost = runTask(r.transfer.sendProfileFile(kPhone, QString(), file));
    QVERIFY(!lost.passed);
    QVERIFY(lost.unknown);
    QVERIFY(!lost.nothingSent);
    QCOMPARE(lost.lineFault, SmsRoute::LineFault::None);
    QCOMPARE(lost.failure, QStringLiteral("не известно, принято ли"));
    QVERIFY2(r.sim.cmdInfo.contains(QStringLiteral("Не известно, принял ли модем пакет 0x33h (нет ответа после текста "
                                                   "сообщения)\r\n")),
             qPrintable(r.sim.cmdInfo.join(u'|')));
    // The pair stopped there: the second half did not go after it.
    QCOMPARE(r.sim.sim.received().count("AT+CMGS="), 1);

    // The modem answers again: a GPRS send passes.
    const GprsSettings gprs{QStringLiteral("internet"), QString(), QString(), QStringLiteral("10.0.0.1"),
                            QStringLiteral("1000")};
    QVERIFY(runTask(r.transfer.sendGprs(kPhone, QString(), gprs)).passed);

    // A modem that answers nothing at all: nothing went, and the line is of no more use.
    r.sim.sim.command("silent on");
    QTRY_VERIFY(r.sim.sim.events().join(u'\n').contains(QStringLiteral("silent on")));
    const ProfileTransfer::SendResult silent = runTask(r.transfer.sendGprs(kPhone, QString(), gprs));
    QVERIFY(!silent.passed);
    QVERIFY(!silent.unknown);
    QVERIFY(silent.nothingSent);
    QCOMPARE(silent.lineFault, SmsRoute::LineFault::NoAnswer);
    QCOMPARE(silent.failure, QStringLiteral("модем не принял: нет ответа"));
}

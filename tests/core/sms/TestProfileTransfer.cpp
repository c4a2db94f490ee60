#include "TestProfileTransfer.h"

#include "LinkTimerLog.h"
#include "ScriptedPrompts.h"
#include "SimLink.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/link/LinkExchange.h"
#include "core/settings/SettingsImage.h"
#include "core/sms/ProfileTransfer.h"
#include "core/sms/TransferRecord.h"
#include "core/sms/clsScenarioProfile.h"
#include "core/sms/mdlSMS.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPhone = QStringLiteral("+71234567890");
const QString kOther = QStringLiteral("89169876543");

// kvrsim with terminals, the link, an application folder and the profile transfer on top.
struct Rig
{
    QTemporaryDir dir;
    SimLink sim;
    AppState state{dir.path()};
    ProfileTransfer transfer{sim.link, state};

    bool start(QStringList options = {})
    {
        options << QStringLiteral("--sms-delay") << QStringLiteral("0");
        return sim.start(options);
    }
    QString binPath(const QString &name) const { return dir.filePath(QStringLiteral("BIN/") + name); }
};

// A two-block data file whose block sums are right, different for each seed.
QByteArray profileFile(int seed)
{
    QByteArray f(TransferRecord::ProfileFileSize, '\0');
    for (int block = 0; block < 2; ++block) {
        int sum = 0;
        for (int i = 0; i < 128; ++i) {
            f[block * 130 + i] = char(seed * 31 + block * 17 + i * 5);
            sum += uchar(f.at(block * 130 + i));
        }
        f[block * 130 + 128] = char(sum >> 8);
        f[block * 130 + 129] = char(sum & 0xFF);
    }
    return f;
}

// The bytes a module send of one packet puts on the line.
QByteArray moduleSend(PacketType type, const QByteArray &file, const QString &phone)
{
    QString destination = phone;
    QString pdu;
    const int n = mdlSMS::BuildSmsPdu(TransferRecord::forPacket(type, file), mdlSMS::PhoneToPdu(destination),
                                      QString(), pdu);
    return "AT+CMGS=" + QByteArray::number(n) + '\r' + pdu.toLatin1() + "\x1A\r";
}

QStringList trimmed(const QStringList &lines)
{
    QStringList out;
    for (const QString &l : lines)
        out << l.trimmed();
    return out;
}

} // namespace

void TestProfileTransfer::profileFileSentAndConfirmed()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    // The window sends from the profile mode, whose bytes otherwise go to the scenario engine.
    r.sim.link.setRoute(LinkExchange::Route::Scenario);
    const QByteArray file = profileFile(1);
    const ProfileTransfer::SendResult sent = r.transfer.sendProfileFile(kPhone, QString(), file);
    QVERIFY(sent.refusal.isEmpty());
    QVERIFY(sent.passed);
    // The prompt released the body; the exchange waited for the modem's verdict: no false failure.
    QCOMPARE(r.sim.info, QStringList());
    QVERIFY(r.state.SmsPollEnabled);
    QTRY_COMPARE(r.sim.sim.received(), moduleSend(PacketType::ProfileBlock1, file, kPhone)
                                           + moduleSend(PacketType::ProfileBlock2, file, kPhone));

    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QVERIFY(poll.listed);
    QCOMPARE(poll.messages, 2);
    QCOMPARE(r.sim.cmdInfo, (QStringList{QStringLiteral("Пакет 0x33h загружен в терминал: +71234567890\r\n"),
                                         QStringLiteral("Пакет 0x35h загружен в терминал: +71234567890\r\n")}));
    QVERIFY(r.sim.sim.received().endsWith("AT+CMGL=4\rAT+CMGD=1\rAT+CMGD=2\r"));
    QVERIFY(!r.sim.link.smsListing());
    QCOMPARE(r.transfer.pollMessages().messages, 0);
}

void TestProfileTransfer::readBackEqualsTerminalImage()
{
    Rig r;
    const QString image = r.dir.filePath(QStringLiteral("terminal.bin"));
    QVERIFY(writeBytes(image, profileFile(2) + QByteArray(130, '\x7F')));
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone + QLatin1Char('=') + image}));
    QVERIFY(r.transfer.requestProfile(kPhone, QString()).passed);
    QTRY_COMPARE(r.sim.sim.received(), moduleSend(PacketType::ReadBlock1, {}, kPhone)
                                           + moduleSend(PacketType::ReadBlock2, {}, kPhone));
    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QCOMPARE(poll.saved.size(), 1);
    QCOMPARE(poll.saved.at(0).phone, kPhone);
    QCOMPARE(poll.saved.at(0).path, r.binPath(QStringLiteral("1234567890.bin")));
    QCOMPARE(readBytes(r.binPath(QStringLiteral("1234567890.bin"))), profileFile(2));
    QCOMPARE(r.sim.cmdInfo, QStringList{QStringLiteral("Сохранен профильный файл от терминала: +71234567890\r\n")});
    QCOMPARE(r.transfer.receivedProfiles().size(), 1);
    QVERIFY(r.transfer.receivedProfiles().at(0).Phone.isEmpty());
}

void TestProfileTransfer::gprsSettingsConfirmed()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kOther}));
    const GprsSettings settings{QStringLiteral("internet.mts.ru"), QStringLiteral("mts"), QStringLiteral("mts"),
                                QStringLiteral("10.0.0.1"), QStringLiteral("1000")};
    QVERIFY(r.transfer.sendGprs(kOther, QString(), settings).passed);
    QVERIFY(r.sim.info.isEmpty());
    QTRY_VERIFY(r.sim.sim.events().contains(QStringLiteral("# terminal 89169876543 record 57")));
    r.transfer.pollMessages();
    QCOMPARE(r.sim.cmdInfo, QStringList{QStringLiteral("Параметры GPRS загружены в терминал: 89169876543\r\n")});
}

void TestProfileTransfer::twoTerminalsInOnePoll()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--terminal"), kOther,
                     QStringLiteral("--foreign"), QStringLiteral("text")}));
    QVERIFY(r.transfer.requestProfile(kPhone, QString()).passed);
    QVERIFY(r.transfer.requestProfile(kOther, QString()).passed);
    // A number no terminal has never answers.
    QVERIFY(r.transfer.requestProfile(QStringLiteral("+70000000000"), QString()).passed);
    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QCOMPARE(poll.messages, 5);
    QCOMPARE(poll.saved.size(), 2);
    QCOMPARE(trimmed(r.sim.cmdInfo), (QStringList{QStringLiteral("Сохранен профильный файл от терминала: +71234567890"),
                                                  QStringLiteral("Сохранен профильный файл от терминала: 89169876543")}));
    QCOMPARE(QDir(r.dir.filePath(QStringLiteral("BIN"))).entryList(QDir::Files),
             (QStringList{QStringLiteral("1234567890.bin"), QStringLiteral("169876543.bin")}));
    QCOMPARE(r.transfer.receivedProfiles().size(), 1);
}

void TestProfileTransfer::foreignMessagesIgnoredAndDeleted()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--foreign"), QStringLiteral("text"), QStringLiteral("--foreign"),
                     QStringLiteral("alpha"), QStringLiteral("--foreign"), QStringLiteral("truncated")}));
    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QVERIFY(poll.listed);
    QCOMPARE(poll.messages, 3);
    QVERIFY(poll.saved.isEmpty());
    // Only the answer from a named sender says why it was not taken; all three go.
    QCOMPARE(r.sim.cmdInfo.size(), 1);
    QVERIFY(r.sim.cmdInfo.at(0).startsWith(QStringLiteral("Ответ терминала не принят: номер отправителя")));
    QVERIFY(r.sim.sim.received().endsWith("AT+CMGD=1\rAT+CMGD=2\rAT+CMGD=3\r"));
    QCOMPARE(r.transfer.receivedProfiles().size(), 1);
    QCOMPARE(r.transfer.pollMessages().messages, 0);
}

void TestProfileTransfer::silentModem()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--silent")}));
    r.sim.link.setTimeScale(0.001);
    LinkTimerLog timers(r.sim.link);
    const ProfileTransfer::SendResult sent = r.transfer.sendProfileFile(kPhone, QString(), profileFile(3));
    QVERIFY(!sent.passed);
    QCOMPARE(r.sim.info, (QStringList{QStringLiteral("Таймаут на ответ \r\n"), QStringLiteral("Таймаут на ответ \r\n")}));
    QCOMPARE(timers.entries, (QList{LinkTimerLog::reply(20000), LinkTimerLog::reply(20000)}));
    QVERIFY(r.state.SmsPollEnabled);
    QVERIFY(!r.sim.link.smsPromptPending());
    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QVERIFY(poll.ran);
    QVERIFY(!poll.listed);
    QCOMPARE(timers.entries.last(), LinkTimerLog::reply(2000));
}

void TestProfileTransfer::slowNetworkStillPasses()
{
    Rig r;
    // Every answer of the modem takes 150 ms; the CMGS exchange waits 600 ms at this scale.
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--delay"), QStringLiteral("150")}));
    r.sim.link.setTimeScale(0.005);
    QVERIFY(r.transfer.sendGprs(kPhone, QString(), {QStringLiteral("apn"), {}, {}, QStringLiteral("10.0.0.1"),
                                                    QStringLiteral("1000")})
                .passed);
    QCOMPARE(r.sim.info, QStringList());
    QCOMPARE(r.sim.link.lastAnswer().word, QStringLiteral("OK"));
    QVERIFY(r.sim.link.lastAnswer().remain.contains(QStringLiteral("+CMGS: 1")));
}

void TestProfileTransfer::errorForPrompt()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--sms-refuse"), QStringLiteral("all:ERROR")}));
    QVERIFY(!r.transfer.requestProfile(kPhone, QString()).passed);
    QCOMPARE(r.sim.info, (QStringList{QStringLiteral("Ответ ERROR не позволяет продолжение сценария\r\n"),
                                      QStringLiteral("Ответ ERROR не позволяет продолжение сценария\r\n")}));
    // No body follows a refusal, not even when a ">" comes later.
    QVERIFY(!r.sim.link.smsPromptPending());
    QTRY_COMPARE(r.sim.sim.received(), QByteArray("AT+CMGS=154\rAT+CMGS=154\r"));
}

void TestProfileTransfer::refusals()
{
    Rig r;
    QVERIFY(r.start());
    QCOMPARE(r.transfer.sendProfileFile(QStringLiteral("+7 916"), QString(), profileFile(1)).refusal,
             QStringLiteral("Неверный номер телефона"));
    QCOMPARE(r.transfer.requestProfile(QString(), QString()).refusal, QStringLiteral("Неверный номер телефона"));
    GprsSettings gprs{QStringLiteral("apn"), {}, {}, QStringLiteral("10.0.0.1"), QStringLiteral("1000")};
    QCOMPARE(r.transfer.sendGprs(QString(), QString(), gprs).refusal, QStringLiteral("Номер телефона не задан или неверный"));
    gprs.serverAddress = QStringLiteral("10.0.0");
    gprs.port = QStringLiteral("x");
    QCOMPARE(r.transfer.sendGprs(kPhone, QString(), gprs).refusal, QStringLiteral("Неверно задан IP адрес"));
    gprs.serverAddress = QStringLiteral("10.0.0.1");
    QCOMPARE(r.transfer.sendGprs(kPhone, QString(), gprs).refusal, QStringLiteral("Неверно задан порт"));
    ScriptedPrompts prompts;
    QCOMPARE(r.transfer.startProfileScenario(QString(), QString(), prompts), QStringLiteral("Не введен номер телефона"));
    QVERIFY(r.transfer.activeScenarios().isEmpty());
    QTest::qWait(50);
    QCOMPARE(r.sim.sim.received(), QByteArray());
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
    ScriptedPrompts prompts;
    r.sim.link.setTimeScale(0.05);
    r.transfer.setTimeScale(0.05);
    r.sim.link.setRoute(LinkExchange::Route::Scenario);
    QCOMPARE(r.transfer.startProfileScenario(QStringLiteral(" +71234567890 "), QString(), prompts), QString());
    QCOMPARE(r.transfer.activeScenarios().keyAt(0), kPhone);
    QCOMPARE(r.transfer.transmitQueue().size(), 2);
    r.transfer.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(r.transfer.activeScenarios().isEmpty(), 20000);
    QCOMPARE(r.sim.cmdInfo, (QStringList{QStringLiteral("Пакет 0x33h отправлен на номер +71234567890\r\n"),
                                         QStringLiteral("Пакет 0x35h отправлен на номер +71234567890\r\n")}));
    QVERIFY(r.transfer.transmitQueue().isEmpty());
    // The hidden defaults went into the image, and the terminal holds exactly its file blocks.
    QCOMPARE(r.state.CurrentImage.Block1[5], quint8(0x80 | 15));
    r.transfer.Form_QueryUnload();
    r.sim.link.setRoute(LinkExchange::Route::Receiver);
    QVERIFY(r.transfer.requestProfile(kPhone, QString()).passed);
    const ProfileTransfer::PollResult poll = r.transfer.pollMessages();
    QCOMPARE(poll.saved.size(), 1);
    QCOMPARE(readBytes(poll.saved.at(0).path), SettingsImage::fileBlock(r.state.CurrentImage.Block1)
                                                   + SettingsImage::fileBlock(r.state.CurrentImage.Block2));
}

void TestProfileTransfer::scenarioRefusedSendEnds()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone, QStringLiteral("--sms-refuse"), QStringLiteral("1")}));
    ScriptedPrompts prompts;
    r.sim.link.setTimeScale(0.05);
    r.transfer.setTimeScale(0.05);
    r.sim.link.setRoute(LinkExchange::Route::Scenario);
    r.transfer.startProfileScenario(kPhone, QString(), prompts);
    r.transfer.Form_Load();
    QTRY_VERIFY_WITH_TIMEOUT(r.transfer.activeScenarios().isEmpty(), 20000);
    // One try each by default: the refused packet is dropped, the other one goes.
    QCOMPARE(r.sim.cmdInfo,
             (QStringList{QStringLiteral("Пакет 0x33h не отправлен на номер +71234567890 (модем не принял AT+CMGS), "
                                         "попытки исчерпаны\r\n"),
                          QStringLiteral("Пакет 0x35h отправлен на номер +71234567890\r\n")}));
}

void TestProfileTransfer::runningScenarioQuestion()
{
    Rig r;
    QVERIFY(r.start());
    ScriptedPrompts prompts;
    // The route is the firmware loader's: the queue waits.
    r.transfer.startProfileScenario(kPhone, QString(), prompts);
    r.transfer.startProfileScenario(kOther, QString(), prompts);
    QCOMPARE(prompts.shown.size(), 1);
    QCOMPARE(prompts.shown.at(0).text, QStringLiteral("Идет диалог с номером +71234567890, прекратить"));
    QCOMPARE(prompts.shown.at(0).title, QStringLiteral("Внимание"));
    QCOMPARE(prompts.shown.at(0).icon, UserPrompts::Icon::Question);
    QCOMPARE(prompts.shown.at(0).buttons, UserPrompts::Buttons::YesNo);
    QCOMPARE(r.transfer.activeScenarios().size(), 1);
    QCOMPARE(r.transfer.transmitQueue().size(), 2);

    // Yes stops the running one, with what it still had queued, before the new one starts.
    prompts.answers.enqueue(UserPrompts::Answer::Yes);
    QCOMPARE(r.transfer.startProfileScenario(kOther, QString(), prompts), QString());
    QCOMPARE(r.transfer.activeScenarios().size(), 1);
    QCOMPARE(r.transfer.activeScenarios().keyAt(0), kOther);
    QCOMPARE(r.transfer.transmitQueue().size(), 2);
    QCOMPARE(r.transfer.transmitQueue().at(0).PhoneNumber, kOther);

    // The mode change asks in its own words; the poll's own switch does not ask.
    QVERIFY(!r.transfer.confirmProfileMode(prompts));
    QCOMPARE(prompts.shown.last().text, QStringLiteral("Выполняется сценарий для телефона 89169876543, прекратить?"));
    QCOMPARE(prompts.shown.last().title, QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"));
    int asked = int(prompts.shown.size());
    bool switched = false;
    QObject::connect(&r.transfer, &ProfileTransfer::profileModeNeeded, &r.transfer, [&] {
        switched = r.transfer.confirmProfileMode(prompts);
    });
    r.transfer.pollMessages();
    QVERIFY(switched);
    QCOMPARE(int(prompts.shown.size()), asked);
    QCOMPARE(r.transfer.activeScenarios().size(), 1);
    QCOMPARE(r.sim.link.route(), LinkExchange::Route::Scenario);

    prompts.answers.enqueue(UserPrompts::Answer::Yes);
    QVERIFY(r.transfer.confirmProfileMode(prompts));
    QVERIFY(r.transfer.activeScenarios().isEmpty());
    QVERIFY(r.transfer.transmitQueue().isEmpty());
}

void TestProfileTransfer::pollHeldOff()
{
    Rig r;
    QVERIFY(r.start({QStringLiteral("--terminal"), kPhone}));
    r.state.SmsPollEnabled = false;
    QVERIFY(!r.transfer.pollMessages().ran);
    r.state.SmsPollEnabled = true;
    // A poll that falls into an exchange's wait leaves it alone.
    bool ranInside = true;
    r.sim.link.setTimeScale(0.01);
    QTimer::singleShot(0, &r.transfer, [&] { ranInside = r.transfer.pollMessages().ran; });
    r.sim.link.Delay(100);
    QVERIFY(!ranInside);
    // Timer1 runs exactly while polling is on.
    r.transfer.setTimeScale(0.01);
    r.transfer.setPolling(true);
    QVERIFY(r.transfer.Timer1().isActive());
    QCOMPARE(r.transfer.Timer1().interval(), 100);
    QTRY_VERIFY(r.sim.sim.received().contains("AT+CMGL=4\r"));
    r.transfer.setPolling(false);
    QVERIFY(!r.transfer.Timer1().isActive());
}

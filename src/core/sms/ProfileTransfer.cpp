#include "core/sms/ProfileTransfer.h"

#include "core/app/AppState.h"
#include "core/common/HexText.h"
#include "core/link/LinkExchange.h"
#include "core/settings/SettingsImage.h"
#include "core/sms/clsScenarioProfile.h"
#include "core/sms/ListingSweep.h"
#include "core/common/PhoneNumber.h"
#include "core/sms/ReceivedSms.h"
#include "core/sms/mdlSMS.h"

namespace {

// How often a module send looks whether the engine's own SMS dialogue is over.
constexpr int DialoguePollMs = 100;

} // namespace

ProfileTransfer::ProfileTransfer(LinkExchange &link, AppState &state, QObject *parent)
    : QObject(parent), m_link(link), m_state(state), m_scAt(link), m_queue(m_scAt)
{
    m_tmrSecond.setObjectName(QStringLiteral("tmrSecond"));
    m_timer1.setObjectName(QStringLiteral("Timer1"));
    m_scAt.setObjectName(QStringLiteral("mScAt"));
    m_tmrSecond.setInterval(SecondMs);
    m_timer1.setInterval(PollMs);
    connect(&m_tmrSecond, &QTimer::timeout, this, &ProfileTransfer::secondTick);
    connect(&m_timer1, &QTimer::timeout, this, [this] { pollMessages(); });
    connect(&link, &LinkExchange::scenarioByte, &m_scAt, &clsScenarioAt::ByteArrive);
    connect(&m_queue, &TransmitQueue::cmdInfoLine, this, &ProfileTransfer::cmdInfo);
    connect(&m_queue, &TransmitQueue::finished, this, &ProfileTransfer::queueFinished);
}

ProfileTransfer::~ProfileTransfer()
{
    m_tmrSecond.stop();
    m_timer1.stop();
}

int ProfileTransfer::scaled(int ms) const
{
    return m_timeScale == 1.0 ? ms : qMax(1, qRound(ms * m_timeScale));
}

void ProfileTransfer::setTimeScale(double scale)
{
    m_timeScale = scale;
    m_tmrSecond.setInterval(scaled(SecondMs));
    m_timer1.setInterval(scaled(PollMs));
}

void ProfileTransfer::cmdInfo(const QString &line)
{
    m_link.appendCmdInfo(line);
}

void ProfileTransfer::Form_Load()
{
    m_tmrSecond.start();
}

void ProfileTransfer::Form_Activate()
{
    m_profiles = ReceivedProfiles();
}

void ProfileTransfer::Form_QueryUnload()
{
    m_timer1.stop();
    m_tmrSecond.stop();
    if (!m_scenarios.isEmpty())
        m_scenarios.removeFirst();
    m_queue.clear();
}

void ProfileTransfer::setPolling(bool on)
{
    if (on)
        m_timer1.start();
    else
        m_timer1.stop();
}

// ---- the module path ----

bool ProfileTransfer::sendRecord(const QString &da, const QString &sc, const TransferRecord &rec)
{
    QString vSMS;
    const int n = mdlSMS::BuildSmsPdu(rec, da, sc, vSMS);
    m_link.armSmsPrompt(vSMS);
    const bool passed = m_link.sendCommand(QStringLiteral("AT+CMGS=") + QString::number(n), QStringLiteral("OK"),
                                           CmgsTimeoutMs);
    m_link.clearSmsPrompt();
    return passed;
}

bool ProfileTransfer::SendTransferRecord(const QString &da, const QString &sc, PacketType type, QByteArrayView source)
{
    return sendRecord(da, sc, TransferRecord::forPacket(type, source));
}

void ProfileTransfer::waitForScenarioDialogue()
{
    // Bounded by the engine's watchdog, which tmrSecond keeps ticking during the pauses.
    while (m_scAt.busy() && !m_link.isShutdown() && !m_link.isPortLost())
        m_link.Delay(DialoguePollMs);
}

ProfileTransfer::SendResult ProfileTransfer::sendRecords(const QString &phone, const QString &smsc,
                                                         const QList<PacketType> &types, const QString &sentLine,
                                                         QByteArrayView file, const QString &badPhone)
{
    SendResult result;
    if (!mdlSMS::IsValidPhone(phone)) {
        result.refusal = badPhone;
        return result;
    }
    if (!smsc.isEmpty() && !mdlSMS::IsValidPhone(smsc)) {
        result.refusal = QStringLiteral("Неверный номер SMS центра");
        return result;
    }
    m_state.SmsPollEnabled = false;
    waitForScenarioDialogue();
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    QString destination = phone;
    QString centre = smsc;
    const QString da = mdlSMS::PhoneToPdu(destination);
    const QString sc = mdlSMS::PhoneToPdu(centre);
    result.passed = ensurePduMode();
    QStringList sent;
    for (qsizetype i = 0; result.passed && i < types.size(); ++i) {
        result.passed = SendTransferRecord(da, sc, types[i], file);
        const QString packet = QStringLiteral("пакет 0x") + HexText::byte(quint8(types[i])) + QLatin1Char('h');
        if (result.passed) {
            sent << packet;
            continue;
        }
        // The terminal would apply half a profile: the rest does not go, and the operator learns what did.
        cmdInfo(QStringLiteral("Модем не принял ") + packet + QStringLiteral(" (") + modemReport() + QStringLiteral("): ")
                + (sent.isEmpty() ? QStringLiteral("ничего не отправлено")
                                  : QStringLiteral("отправлено только: ") + sent.join(QStringLiteral(", ")))
                + QStringLiteral("\r\n"));
    }
    if (result.passed)
        cmdInfo(sentLine + phone + QStringLiteral("\r\n"));
    m_state.SmsPollEnabled = true;
    return result;
}

ProfileTransfer::SendResult ProfileTransfer::sendProfileFile(const QString &phone, const QString &smsc,
                                                             QByteArrayView file)
{
    return sendRecords(phone, smsc, {PacketType::ProfileBlock1, PacketType::ProfileBlock2},
                       QStringLiteral("Профиль отправлен на номер "), file,
                       QStringLiteral("Неверный номер телефона"));
}

ProfileTransfer::SendResult ProfileTransfer::requestProfile(const QString &phone, const QString &smsc)
{
    const SendResult result = sendRecords(phone, smsc, {PacketType::ReadBlock1, PacketType::ReadBlock2},
                                          QStringLiteral("Запрос профиля отправлен на номер "), {},
                                          QStringLiteral("Неверный номер телефона"));
    if (result.passed) {
        forgetAwaited(phone); // an earlier request of the same terminal is superseded
        m_awaited.append({phone, m_now()});
    }
    return result;
}

ProfileTransfer::SendResult ProfileTransfer::sendGprs(const QString &phone, const QString &smsc,
                                                      const GprsSettings &settings)
{
    SendResult result;
    if (!mdlSMS::IsValidPhone(phone)) {
        result.refusal = QStringLiteral("Номер телефона не задан или неверный");
        return result;
    }
    if (!smsc.isEmpty() && !mdlSMS::IsValidPhone(smsc)) {
        result.refusal = QStringLiteral("Неверный номер SMS центра");
        return result;
    }
    TransferRecord rec;
    if (!GprsRecord::buildGprsRecord(settings, rec, result.refusal))
        return result;
    QString destination = phone;
    QString centre = smsc;
    const QString da = mdlSMS::PhoneToPdu(destination);
    const QString sc = mdlSMS::PhoneToPdu(centre);
    m_state.SmsPollEnabled = false;
    waitForScenarioDialogue();
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    const bool pduMode = ensurePduMode();
    result.passed = pduMode && sendRecord(da, sc, rec);
    if (result.passed)
        cmdInfo(QStringLiteral("Параметры GPRS отправлены на номер ") + phone + QStringLiteral("\r\n"));
    else if (pduMode)
        cmdInfo(QStringLiteral("Модем не принял параметры GPRS (") + modemReport() + QStringLiteral(")\r\n"));
    m_state.SmsPollEnabled = true;
    return result;
}

// ---- profile scenarios ----

void ProfileTransfer::stopScenario(const QString &key)
{
    if (clsScenarioProfile *scenario = m_scenarios.find(key))
        scenario->Reset();
    // Stopping a scenario also takes back what it still has waiting in the queue.
    m_queue.dropFor(key);
    m_scenarios.remove(key);
}

QString ProfileTransfer::startProfileScenario(const QString &phone, const QString &smsc, UserPrompts &prompts)
{
    if (phone.isEmpty())
        return QStringLiteral("Не введен номер телефона");
    if (!smsc.trimmed().isEmpty() && !mdlSMS::IsValidPhone(smsc.trimmed()))
        return QStringLiteral("Неверный номер SMS центра");
    while (!m_scenarios.isEmpty()) {
        const QString running = m_scenarios.first()->PhoneNumber;
        if (prompts.message(QStringLiteral("Идет диалог с номером ") + running + QStringLiteral(", прекратить"),
                            QStringLiteral("Внимание"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
            != UserPrompts::Answer::Yes)
            return {};
        stopScenario(m_scenarios.keyAt(0));
    }
    const QString key = phone.trimmed();
    auto *scenario = new clsScenarioProfile;
    connect(scenario, &clsScenarioProfile::Set2Queue, this,
            [this](const QString &s2Send, const QString &sNumber, TransportType transport, qint32 timeOut,
                   qint32 delay, qint16 tries, PacketType packet, int cmgsLength) {
                m_queue.add({s2Send, sNumber, transport, timeOut, delay, tries, packet, cmgsLength});
            });
    connect(scenario, &clsScenarioProfile::KillMe, this, [this](const QString &number) { m_scenarios.remove(number); });
    bool failed = false;
    connect(scenario, &clsScenarioProfile::Error, this, [this, &failed](const QString &description) {
        failed = true;
        cmdInfo(description + QStringLiteral("\r\n"));
    });
    m_scenarios.add(key, scenario);
    scenario->PhoneNumber = key;

    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    scenario->setPacket(clsScenarioProfile::Packet::ToSendPACK033, SettingsImage::fileBlock(m_state.CurrentImage.Block1));
    scenario->setPacket(clsScenarioProfile::Packet::ToSendPACK035, SettingsImage::fileBlock(m_state.CurrentImage.Block2));
    scenario->SMSCNumber = smsc.trimmed();
    scenario->HScenario1(false, true, QString());
    // A scenario that could not build its PDUs has reset itself and will never finish: what
    // it queued before the error still goes out, the scenario itself is over.
    disconnect(scenario, &clsScenarioProfile::Error, this, nullptr);
    if (failed)
        m_scenarios.remove(key);
    return {};
}

void ProfileTransfer::queueFinished(const clsQueueForTrans &item, bool sent)
{
    Q_UNUSED(sent)
    if (clsScenarioProfile *scenario = m_scenarios.find(item.PhoneNumber))
        scenario->PacketFinished(item.packet);
}

bool ProfileTransfer::confirmProfileMode(UserPrompts &prompts)
{
    if (m_scenarios.isEmpty())
        return true;
    const QString running = m_scenarios.first()->PhoneNumber;
    if (prompts.message(QStringLiteral("Выполняется сценарий для телефона ") + running + QStringLiteral(", прекратить?"),
                        QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
        != UserPrompts::Answer::Yes)
        return false;
    stopScenario(m_scenarios.keyAt(0));
    return true;
}

void ProfileTransfer::breakIn()
{
    m_scAt.Break4Phone(QString());
}

void ProfileTransfer::secondTick()
{
    m_scAt.Tick();
    const bool canSend = m_link.route() == LinkExchange::Route::Scenario && m_link.waitDepth() == 0
                         && m_state.SmsPollEnabled && !m_link.isPortLost() && !m_link.isShutdown();
    m_queue.tick(canSend);
}

// ---- the message poll ----

void ProfileTransfer::forgetAwaited(const QString &phone)
{
    m_awaited.removeIf([&phone](const Awaited &a) { return PhoneNumber::sameSubscriber(a.phone, phone); });
}

QString ProfileTransfer::modemReport() const
{
    return m_link.replyState() == LinkExchange::ReplyState::Answered ? m_link.lastAnswer().word
                                                                     : QStringLiteral("нет ответа");
}

bool ProfileTransfer::ensurePduMode()
{
    if (m_link.sendCommand(QStringLiteral("AT+CMGF=0"), QStringLiteral("OK"), StoreTimeoutMs))
        return true;
    cmdInfo(QStringLiteral("Модем не перешел в режим PDU (AT+CMGF=0): ") + modemReport() + QStringLiteral("\r\n"));
    return false;
}

bool ProfileTransfer::DeleteSMS(const QString &aStrNumber)
{
    const qsizetype colon = aStrNumber.indexOf(QLatin1Char(':'));
    const qsizetype comma = aStrNumber.indexOf(QLatin1Char(','));
    const QString index = aStrNumber.mid(colon + 1, comma < 0 ? -1 : comma - colon - 1).trimmed();
    return m_link.sendCommand(QStringLiteral("AT+CMGD=") + index, QStringLiteral("OK"), StoreTimeoutMs);
}

ProfileTransfer::PollResult ProfileTransfer::pollMessages()
{
    PollResult result;
    // A listing must not fall into an exchange (a module send, a firmware upload) or into
    // the engine's own SMS dialogue.
    if (!m_state.SmsPollEnabled || m_link.waitDepth() > 0 || m_scAt.busy() || m_link.isShutdown())
        return result;
    result.ran = true;
    // The listing's lines go to the poll whatever mode the window shows; the shown mode stays.
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    if (!ensurePduMode())
        return result; // nothing listed, nothing deleted
    m_link.setSmsListing(true);
    m_link.clearSmsList();
    result.listed = m_link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), StoreTimeoutMs);
    const SmsTable list = m_link.smsList();
    m_link.setSmsListing(false);
    const ListingSweep::Outcome outcome =
        ListingSweep(m_state.appFolder(), QDateTime::currentDateTime()).sweep(list, m_profiles);
    result.messages = outcome.messages;
    result.saved = outcome.saved;
    for (const QString &line : outcome.lines)
        cmdInfo(line);
    for (const ReceivedProfiles::Saved &saved : outcome.saved)
        forgetAwaited(saved.phone);
    const QDateTime now = m_now();
    for (qsizetype i = m_awaited.size() - 1; i >= 0; --i) {
        if (m_awaited.at(i).sent.secsTo(now) < AnswerWaitSeconds)
            continue;
        cmdInfo(QStringLiteral("Нет ответа от терминала ") + m_awaited.at(i).phone + QStringLiteral("\r\n"));
        m_awaited.removeAt(i);
    }
    // Only what is kept (a saved profile, a pending half, the journal) or needs no keeping goes.
    for (const QString &header : outcome.deletable)
        DeleteSMS(header);
    return result;
}

#include "core/route/ProfileTransfer.h"

#include "core/app/AppState.h"
#include "core/app/OperationHistory.h"
#include "core/link/LinkExchange.h"
#include "core/settings/SettingsImage.h"
#include "core/scenario/clsScenarioProfile.h"
#include "core/inbox/ListingSweep.h"
#include "core/route/ListedMessage.h"
#include "core/common/PhoneNumber.h"
#include "core/pdu/ReceivedSms.h"
#include "core/pdu/mdlSMS.h"

ProfileTransfer::ProfileTransfer(ModemLine &line, AppState &state, QObject *parent)
    : SmsRoute(state, parent), m_line(line), m_link(line.link()), m_scAt(line.link()), m_queue(m_scAt)
{
    m_scAt.setObjectName(QStringLiteral("mScAt"));
    m_tmrSecond.setInterval(SecondMs);
    m_tmrSecond.setRepeating(true);
    m_tmrSecond.setClock(&m_link.clock());
    m_timer1.setInterval(PollMs);
    m_timer1.setRepeating(true);
    m_timer1.setClock(&m_link.clock());
    m_tmrSecond.setHandler([this] { secondTick(); });
    m_timer1.setHandler([this] { submitPoll(); });
    connect(&m_link.port(), &LinkPort::scenarioByte, &m_scAt, &clsScenarioAt::ByteArrive);
    // The scenario send that holds the line waits for the engine's dialogue to end.
    connect(&m_scAt, &clsScenarioAt::statusChanged, &m_link, &LinkExchange::notify);
    connect(&m_queue, &TransmitQueue::cmdInfoLine, this, &ProfileTransfer::cmdInfo);
    connect(&m_queue, &TransmitQueue::finished, this, &ProfileTransfer::queueFinished);
    // Polled after the operation under way (a pair is never split), one poll for the
    // announcements that come meanwhile: the line keeps one poll waiting at most.
    connect(&m_link.port(), &LinkPort::messageAnnounced, this, [this] {
        if (awaitingAnswers())
            submitPoll();
    });
}

ProfileTransfer::~ProfileTransfer()
{
    m_tmrSecond.stop();
    m_timer1.stop();
}

void ProfileTransfer::setClock(Clock *clock)
{
    m_tmrSecond.setClock(clock);
    m_timer1.setClock(clock);
}

void ProfileTransfer::cmdInfo(const QString &line)
{
    m_link.display().appendCmdInfo(line);
}

void ProfileTransfer::start()
{
    m_tmrSecond.start();
}

void ProfileTransfer::forgetIncompleteAnswers()
{
    m_profiles = ReceivedProfiles();
}

void ProfileTransfer::stop()
{
    m_timer1.stop();
    m_tmrSecond.stop();
    if (!m_scenarios.isEmpty()) {
        m_scenarioRows.erase(m_scenarios.keyAt(0));
        m_scenarios.removeFirst();
    }
    m_queue.clear();
}

void ProfileTransfer::setPolling(bool on)
{
    if (on)
        m_timer1.start();
    else
        m_timer1.stop();
}

void ProfileTransfer::answersAwaited(bool on)
{
    // The modem keeps announcing afterwards: the program takes such lines for what they are.
    if (on)
        m_line.submit(&m_operations, ModemLine::Operation::Command, [this]() -> Task<void> { return askForAnnouncements(); });
}

Task<void> ProfileTransfer::askForAnnouncements()
{
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    // Any final answer will do: a modem that cannot announce is polled every PollMs as before,
    // and its refusal is no fault of the run.
    const bool answered = co_await m_link.sendCommand(QLatin1String(AnnounceCommand), QStringList(), StoreTimeoutMs);
    Q_UNUSED(answered)
}

// ---- the module path ----

Task<ProfileTransfer::RecordOutcome> ProfileTransfer::sendRecord(QString da, QString sc, TransferRecord rec)
{
    QString vSMS;
    const int n = mdlSMS::BuildSmsPdu(rec, da, sc, vSMS);
    m_link.sms().armSmsPrompt(vSMS);
    const bool passed = co_await m_link.sendCommand(QStringLiteral("AT+CMGS=") + QString::number(n),
                                                    QStringLiteral("OK"), CmgsTimeoutMs);
    // An "OK" that came before the prompt took the body answered something else: nothing was sent.
    const bool bodySent = !m_link.sms().smsPromptPending();
    m_link.sms().clearSmsPrompt();
    if (passed && bodySent)
        co_return RecordOutcome::Taken;
    const LinkExchange::ReplyState state = m_link.replyState();
    // The body went and no final word came: the network may have taken it.
    if (bodySent && state != LinkExchange::ReplyState::Answered)
        co_return RecordOutcome::Unknown;
    if (state == LinkExchange::ReplyState::PortLost || m_link.port().isPortLost())
        co_return RecordOutcome::PortLost;
    if (state == LinkExchange::ReplyState::TimedOut)
        co_return RecordOutcome::Silent;
    co_return RecordOutcome::NotTaken;
}

Task<ProfileTransfer::RecordOutcome> ProfileTransfer::SendTransferRecord(QString da, QString sc, PacketType type,
                                                                         QByteArray source)
{
    return sendRecord(da, sc, TransferRecord::forPacket(type, source));
}

SmsRoute::LineFault ProfileTransfer::lineFault() const
{
    if (m_link.port().isPortLost() || m_link.replyState() == LinkExchange::ReplyState::PortLost)
        return LineFault::PortLost;
    return m_link.replyState() == LinkExchange::ReplyState::TimedOut ? LineFault::NoAnswer : LineFault::None;
}

void ProfileTransfer::sayUnknown(PacketType type, const QStringList &sent)
{
    cmdInfo(QStringLiteral("Не известно, принял ли модем ") + packetName(type)
            + QStringLiteral(" (нет ответа после текста сообщения)")
            + (sent.isEmpty() ? QString() : QStringLiteral(", до него отправлено: ") + sent.join(QStringLiteral(", ")))
            + QStringLiteral("\r\n"));
}

Task<ProfileTransfer::SendResult> ProfileTransfer::sendRecords(QString phone, QString smsc, QList<PacketType> types,
                                                               QString sentLine, QByteArray file, QString badPhone)
{
    SendResult result;
    result.refusal = numberRefusal(phone, smsc, badPhone);
    if (!result.refusal.isEmpty())
        co_return result;
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    QString destination = phone;
    QString centre = smsc;
    const QString da = mdlSMS::PhoneToPdu(destination);
    const QString sc = mdlSMS::PhoneToPdu(centre);
    result.passed = co_await ensurePduMode();
    if (!result.passed) {
        result.nothingSent = true;
        result.lineFault = lineFault();
    }
    // Once the pair has begun, a break waits for it: a terminal given only its first half would
    // apply half a profile. A break that came before this point sends nothing.
    const LinkExchange::Shield pair(m_link);
    QStringList sent;
    for (qsizetype i = 0; result.passed && i < types.size(); ++i) {
        packetGoing(phone, types[i]);
        const RecordOutcome outcome = co_await SendTransferRecord(da, sc, types[i], file);
        result.passed = outcome == RecordOutcome::Taken;
        packetEnded(phone, types[i], result.passed, outcome == RecordOutcome::Unknown);
        if (result.passed) {
            sent << packetName(types[i]);
            continue;
        }
        if (outcome == RecordOutcome::Unknown) {
            // Not said as refused, and never sent again by itself: the terminal may have it.
            result.unknown = true;
            result.lineFault = m_link.port().isPortLost() ? LineFault::PortLost : LineFault::None;
            sayUnknown(types[i], sent);
            continue;
        }
        result.nothingSent = sent.isEmpty();
        result.lineFault = outcome == RecordOutcome::Silent     ? LineFault::NoAnswer
                           : outcome == RecordOutcome::PortLost ? LineFault::PortLost
                                                                : LineFault::None;
        cmdInfo(brokenOffLine(QStringLiteral("Модем не принял "), types[i], modemReport(), sent));
    }
    if (result.passed)
        cmdInfo(sentLine + phone + QStringLiteral("\r\n"));
    else if (result.unknown)
        result.failure = unknownText();
    else
        result.failure = QStringLiteral("модем не принял: ") + modemReport();
    co_return result;
}

QString ProfileTransfer::routeName() const
{
    return m_line.portName();
}

Clock &ProfileTransfer::routeClock() const
{
    // The link's, unless the transfer was given its own.
    return m_tmrSecond.clock();
}

void ProfileTransfer::submitSend(QObject *owner, std::function<Task<void>()> send)
{
    m_line.submit(owner ? owner : &m_operations, ModemLine::Operation::SmsSend, std::move(send));
}

void ProfileTransfer::breakSends()
{
    if (m_line.isRunning(ModemLine::Operation::SmsSend))
        m_line.requestBreak();
}

bool ProfileTransfer::sendsIdle() const
{
    return !m_line.isRunning(ModemLine::Operation::SmsSend) && !m_line.hasQueued(ModemLine::Operation::SmsSend);
}

Task<ProfileTransfer::SendResult> ProfileTransfer::sendProfileFile(QString phone, QString smsc, QByteArray file)
{
    return sendProfilePackets(phone, smsc, file, {PacketType::ProfileBlock1, PacketType::ProfileBlock2});
}

Task<ProfileTransfer::SendResult> ProfileTransfer::sendProfilePackets(QString phone, QString smsc, QByteArray file,
                                                                      QList<PacketType> packets)
{
    return sendRecords(phone, smsc, packets, QStringLiteral("Профиль отправлен на номер "), file,
                       QStringLiteral("Неверный номер телефона"));
}

Task<ProfileTransfer::SendResult> ProfileTransfer::requestProfile(QString phone, QString smsc)
{
    // Built before the wait: the compiler mishandles brace lists inside an awaited call.
    const QList<PacketType> packets{PacketType::ReadBlock1, PacketType::ReadBlock2};
    if (numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона")).isEmpty()) {
        if (const QString dropped = forgetEarlierHalves(phone); !dropped.isEmpty())
            cmdInfo(dropped);
    }
    const SendResult result = co_await sendRecords(phone, smsc, packets,
                                                   QStringLiteral("Запрос профиля отправлен на номер "), QByteArray(),
                                                   QStringLiteral("Неверный номер телефона"));
    // A request that may have gone is answered like one that went.
    if (result.passed || result.unknown)
        awaitAnswer(phone);
    co_return result;
}

Task<ProfileTransfer::SendResult> ProfileTransfer::sendGprs(QString phone, QString smsc, GprsSettings settings)
{
    SendResult result;
    result.refusal = numberRefusal(phone, smsc, QStringLiteral("Номер телефона не задан или неверный"));
    if (!result.refusal.isEmpty())
        co_return result;
    TransferRecord rec;
    if (!GprsRecord::buildGprsRecord(settings, rec, result.refusal))
        co_return result;
    QString destination = phone;
    QString centre = smsc;
    const QString da = mdlSMS::PhoneToPdu(destination);
    const QString sc = mdlSMS::PhoneToPdu(centre);
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    const bool pduMode = co_await ensurePduMode();
    RecordOutcome outcome = RecordOutcome::NotTaken;
    if (pduMode)
        outcome = co_await sendRecord(da, sc, rec);
    result.passed = outcome == RecordOutcome::Taken;
    result.unknown = outcome == RecordOutcome::Unknown;
    result.nothingSent = !result.passed && !result.unknown;
    if (!pduMode)
        result.lineFault = lineFault();
    else if (outcome == RecordOutcome::Silent)
        result.lineFault = LineFault::NoAnswer;
    else if (outcome == RecordOutcome::PortLost || (result.unknown && m_link.port().isPortLost()))
        result.lineFault = LineFault::PortLost;
    if (result.unknown)
        result.failure = unknownText();
    else if (!result.passed)
        result.failure = QStringLiteral("модем не принял: ") + modemReport();
    if (result.passed)
        cmdInfo(QStringLiteral("Параметры GPRS отправлены на номер ") + phone + QStringLiteral("\r\n"));
    else if (result.unknown)
        sayUnknown(PacketType::GprsSettings, {});
    else if (pduMode)
        cmdInfo(QStringLiteral("Модем не принял параметры GPRS (") + modemReport() + QStringLiteral(")\r\n"));
    co_return result;
}

// ---- profile scenarios ----

void ProfileTransfer::stopScenario(const QString &key)
{
    if (clsScenarioProfile *scenario = m_scenarios.find(key))
        scenario->Reset();
    // Stopping a scenario also takes back what it still has waiting in the queue.
    m_queue.dropFor(key);
    m_scenarios.remove(key);
    // Its row stays "failed" with the detail it was made with.
    m_scenarioRows.erase(key);
}

void ProfileTransfer::endScenarioRow(const QString &key)
{
    const auto it = m_scenarioRows.find(key);
    if (it == m_scenarioRows.end())
        return;
    if (it->second.unsent.isEmpty())
        it->second.row->set(OperationHistory::Result::Ok, QStringLiteral("отправлено"));
    else
        it->second.row->set(OperationHistory::Result::Failed, it->second.unsent.join(QStringLiteral(", "))
                                                                   + QStringLiteral(" не отправлен"));
    m_scenarioRows.erase(it);
}

QString ProfileTransfer::scenarioTargetProblem(const QString &phone, const QString &smsc)
{
    if (phone.isEmpty())
        return QStringLiteral("Не введен номер телефона");
    if (!smsc.trimmed().isEmpty() && !mdlSMS::IsValidPhone(smsc.trimmed()))
        return QStringLiteral("Неверный номер SMS центра");
    return {};
}

QString ProfileTransfer::runningScenario() const
{
    return m_scenarios.isEmpty() ? QString() : m_scenarios.first()->PhoneNumber;
}

void ProfileTransfer::stopRunningScenario()
{
    if (!m_scenarios.isEmpty())
        stopScenario(m_scenarios.keyAt(0));
}

QString ProfileTransfer::startProfileScenario(const QString &phone, const QString &smsc)
{
    if (const QString problem = scenarioTargetProblem(phone, smsc); !problem.isEmpty())
        return problem;
    while (!m_scenarios.isEmpty())
        stopRunningScenario();
    const QString key = phone.trimmed();
    auto *scenario = new clsScenarioProfile;
    connect(scenario, &clsScenarioProfile::Set2Queue, this,
            [this](const QString &s2Send, const QString &sNumber, TransportType transport, qint32 timeOut,
                   qint32 delay, qint16 tries, PacketType packet, int cmgsLength) {
                m_queue.add({s2Send, sNumber, transport, timeOut, delay, tries, packet, cmgsLength});
            });
    connect(scenario, &clsScenarioProfile::KillMe, this, [this](const QString &number) {
        m_scenarios.remove(number);
        endScenarioRow(number);
    });
    QString failed;
    connect(scenario, &clsScenarioProfile::Error, this, [this, &failed](const QString &description) {
        failed = description;
        cmdInfo(description + QStringLiteral("\r\n"));
    });
    m_scenarios.add(key, scenario);
    m_scenarioRows[key] = {std::make_unique<HistoryRow>(m_state.database, OperationHistory::Operation::SendProfile, key,
                                                        routeName(), QStringLiteral("прервано")),
                           {}};
    scenario->PhoneNumber = key;

    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    scenario->setPacket(clsScenarioProfile::Packet::ToSendPACK033, SettingsImage::fileBlock(m_state.CurrentImage.Block1));
    scenario->setPacket(clsScenarioProfile::Packet::ToSendPACK035, SettingsImage::fileBlock(m_state.CurrentImage.Block2));
    scenario->SMSCNumber = smsc.trimmed();
    scenario->HScenario1(false, true, QString());
    // A scenario that could not build its PDUs has reset itself and will never finish: what
    // it queued before the error still goes out, the scenario itself is over.
    disconnect(scenario, &clsScenarioProfile::Error, this, nullptr);
    if (!failed.isEmpty()) {
        m_scenarios.remove(key);
        if (const auto it = m_scenarioRows.find(key); it != m_scenarioRows.end()) {
            it->second.row->set(OperationHistory::Result::Failed, failed);
            m_scenarioRows.erase(it);
        }
    }
    return {};
}

void ProfileTransfer::queueFinished(const clsQueueForTrans &item, bool sent)
{
    if (!sent) {
        if (const auto it = m_scenarioRows.find(item.PhoneNumber); it != m_scenarioRows.end())
            it->second.unsent.append(TransmitQueue::packetText(item.packet));
    }
    if (clsScenarioProfile *scenario = m_scenarios.find(item.PhoneNumber))
        scenario->PacketFinished(item.packet);
}

void ProfileTransfer::breakIn()
{
    m_line.submit(&m_operations, ModemLine::Operation::ScenarioSend,
                  [this]() -> Task<void> { return scenarioDialogue(true); });
}

void ProfileTransfer::secondTick()
{
    m_scAt.Tick();
    // Counts the pause between tries; the send itself waits for its turn on the line.
    const bool due = m_queue.due();
    m_queue.tick(false);
    if (due && m_link.port().windowRoute() == LinkExchange::Route::Scenario
        && !m_line.hasQueued(ModemLine::Operation::ScenarioSend) && !m_line.isRunning(ModemLine::Operation::ScenarioSend))
        m_line.submit(&m_operations, ModemLine::Operation::ScenarioSend,
                      [this]() -> Task<void> { return scenarioDialogue(false); });
}

Task<void> ProfileTransfer::scenarioDialogue(bool breakIn)
{
    // The engine reads the modem's bytes itself while it holds the line.
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    if (breakIn)
        m_scAt.Break4Phone(QString());
    else if (!m_link.port().isPortLost())
        m_queue.tick(true);
    // Bounded by the engine's watchdog, which tmrSecond keeps ticking.
    co_await m_link.waitFor([this] { return !m_scAt.busy(); });
}

// ---- the message poll ----

QString ProfileTransfer::modemReport() const
{
    return m_link.replyState() == LinkExchange::ReplyState::Answered ? m_link.lastAnswer().word
                                                                     : QStringLiteral("нет ответа");
}

Task<bool> ProfileTransfer::ensurePduMode()
{
    bool pduMode = co_await m_link.sendCommand(QStringLiteral("AT+CMGF=0"), QStringLiteral("OK"), StoreTimeoutMs);
    if (pduMode)
        co_return true;
    if (m_link.replyState() == LinkExchange::ReplyState::TimedOut) {
        // A modem left in a data call (a load that was killed) passes commands on to the far end
        // and never answers: it is brought back to command mode and hung up, then asked again.
        cmdInfo(QStringLiteral("Модем не отвечает: выход из режима данных (+++, ATH)\r\n"));
        // The escape's guard times, then the hang-up itself: no bare "AT" whose late "OK" would
        // answer the next command in its place.
        co_await m_link.Delay(1600);
        m_link.port().SendString(QStringLiteral("+++"));
        co_await m_link.Delay(1600);
        const bool hungUp = co_await m_link.sendCommand(QStringLiteral("ATH"), QStringLiteral("OK"), StoreTimeoutMs);
        Q_UNUSED(hungUp)
        pduMode = co_await m_link.sendCommand(QStringLiteral("AT+CMGF=0"), QStringLiteral("OK"), StoreTimeoutMs);
        if (pduMode)
            co_return true;
    }
    cmdInfo(QStringLiteral("Модем не перешел в режим PDU (AT+CMGF=0): ") + modemReport() + QStringLiteral("\r\n"));
    co_return false;
}

Task<bool> ProfileTransfer::DeleteSMS(QString aStrNumber)
{
    const qsizetype colon = aStrNumber.indexOf(QLatin1Char(':'));
    const qsizetype comma = aStrNumber.indexOf(QLatin1Char(','));
    const QString index = aStrNumber.mid(colon + 1, comma < 0 ? -1 : comma - colon - 1).trimmed();
    return m_link.sendCommand(QStringLiteral("AT+CMGD=") + index, QStringLiteral("OK"), StoreTimeoutMs);
}

bool ProfileTransfer::submitPoll()
{
    return m_line.submitPoll(&m_operations, [this]() -> Task<void> { return runPoll(); });
}

Task<void> ProfileTransfer::runPoll()
{
    const PollResult result = co_await pollMessages();
    emit pollFinished(result);
}

Task<ProfileTransfer::PollResult> ProfileTransfer::pollMessages()
{
    PollResult result;
    if (m_link.isShutdown() || m_link.port().isPortLost())
        co_return result;
    result.ran = true;
    // The listing's lines go to the poll whatever mode the window shows; the shown mode stays.
    const LinkExchange::RouteHold route(m_link, LinkExchange::Route::Scenario);
    const bool pduModeSet = co_await ensurePduMode();
    if (!pduModeSet)
        co_return result; // nothing listed, nothing deleted
    m_link.sms().setSmsListing(true);
    m_link.sms().clearSmsList();
    result.listedAt = now();
    result.listed = co_await m_link.sendCommand(QStringLiteral("AT+CMGL=4"), QStringLiteral("OK"), StoreTimeoutMs);
    const SmsTable list = m_link.sms().smsList();
    m_link.sms().setSmsListing(false);
    const ListingSweep::Outcome outcome =
        ListingSweep(m_state.appFolder(), now().toLocalTime()).sweep(inboxMessages(list), m_profiles);
    result.messages = outcome.messages;
    result.saved = outcome.saved;
    result.confirmations = outcome.confirmations;
    result.writeFailed = outcome.writeFailed;
    for (const QString &line : outcome.lines)
        cmdInfo(line);
    for (const QString &line : settlePoll(result))
        cmdInfo(line);
    // Only what is kept (a saved profile, a pending half, the journal) or needs no keeping goes.
    for (const QString &header : outcome.deletable)
        co_await DeleteSMS(header);
    co_return result;
}

#include "core/gateway/GatewayTransfer.h"

#include "core/app/AppState.h"
#include "core/common/HexText.h"
#include "core/gateway/SharedHalves.h"
#include "core/inbox/PendingHalves.h"
#include "core/inbox/ListingSweep.h"
#include "core/pdu/ReceivedSms.h"
#include "core/tasks/TaskBook.h"

#include <QHash>
#include <QRegularExpression>

GatewayTransfer::GatewayTransfer(const QString &configPath, AppState &state, QObject *parent)
    : SmsRoute(state, parent), m_configPath(configPath), m_clock(&Clock::system())
{
    m_pollTimer.setInterval(PollMs);
    m_pollTimer.setRepeating(true);
    m_pollTimer.setHandler([this] { submitPoll(); });
    m_pollKick.setHandler([this] { runPoll(); });
    m_answerPolls.setInterval(AnswerPollMs);
    m_answerPolls.setRepeating(true);
    m_answerPolls.setHandler([this] { submitPoll(); });
    m_store.setLinkHandler([this](const QString &why) {
        cmdInfo(why.isEmpty() ? QStringLiteral("Связь с базой шлюза восстановлена\r\n")
                              : QStringLiteral("Связь с базой шлюза потеряна: ") + why + QStringLiteral(", повтор\r\n"));
    });
}

GatewayTransfer::~GatewayTransfer()
{
    m_pollTimer.stop();
    m_pollKick.stop();
    m_answerPolls.stop();
    // Sends still waiting for the gateway are run to their end now: a message the gateway has not
    // taken is taken back, the rest of a pair that has begun is left to it; each is told.
    m_unwinding = true;
    while (!m_pauses.isEmpty())
        resumePauses(true);
    m_running.clear();
}

void GatewayTransfer::Pause::await_suspend(std::coroutine_handle<> h)
{
    handle = h;
    transfer.m_pauses.append(this);
    id = transfer.m_clock->startTimer(ms, &transfer, [this] {
        id = 0;
        transfer.m_pauses.removeOne(this);
        // Resumed from the event queue, never inside the timer's own call.
        const std::coroutine_handle<> waiting = std::exchange(handle, {});
        QMetaObject::invokeMethod(&transfer, [waiting] { waiting.resume(); }, Qt::QueuedConnection);
    });
}

void GatewayTransfer::Pause::await_resume() noexcept
{
    handle = {};
}

GatewayTransfer::Pause::~Pause()
{
    if (id != 0)
        transfer.m_clock->cancelTimer(id);
    transfer.m_pauses.removeOne(this);
}

void GatewayTransfer::resumePauses(bool now)
{
    const QList<Pause *> waiting = std::exchange(m_pauses, {});
    for (Pause *pause : waiting) {
        if (pause->id != 0)
            m_clock->cancelTimer(std::exchange(pause->id, 0));
        const std::coroutine_handle<> handle = std::exchange(pause->handle, {});
        if (!handle)
            continue;
        if (now)
            handle.resume();
        else
            QMetaObject::invokeMethod(this, [handle] { handle.resume(); }, Qt::QueuedConnection);
    }
}

void GatewayTransfer::breakSends()
{
    m_breaking = !m_running.empty();
    resumePauses(false);
}

Task<void> GatewayTransfer::pause(int ms)
{
    co_await Pause{*this, ms};
}

void GatewayTransfer::ownerGone(QObject *owner)
{
    m_owners.remove(owner);
    bool theirs = false;
    for (const Running &r : m_running)
        theirs = theirs || (r.owner == owner && !r.task.isDone());
    if (!theirs)
        return;
    // Every pause ends at once until the owner's sends are over (the others end with them:
    // a pause cannot tell whose it is, and a break loses nothing).
    m_unwinding = true;
    for (int round = 0; round < 100 && !m_pauses.isEmpty(); ++round)
        resumePauses(true);
    m_unwinding = false;
}

void GatewayTransfer::sendEnded(std::list<Running>::iterator it)
{
    m_running.erase(it);
    if (m_running.empty())
        m_breaking = false;
}

bool GatewayTransfer::open(QString &error)
{
    const std::optional<SmsdConfig> config = SmsdConfig::read(m_configPath, error);
    if (!config)
        return false;
    QString why;
    if (!store().open(*config, why)) {
        error = QStringLiteral("Не открывается база шлюза из ") + m_configPath + QStringLiteral(": ") + why;
        return false;
    }
    return true;
}

void GatewayTransfer::setClock(Clock *clock)
{
    m_clock = clock;
    m_pollTimer.setClock(clock);
    m_pollKick.setClock(clock);
    m_answerPolls.setClock(clock);
}

void GatewayTransfer::submitSend(QObject *owner, std::function<Task<void>()> send)
{
    if (owner && !m_owners.contains(owner))
        m_owners.insert(owner, connect(owner, &QObject::destroyed, this, [this, owner] { ownerGone(owner); }));
    m_running.push_back({send(), owner});
    const auto it = std::prev(m_running.end());
    // Released from the event loop, never inside the frame's own last step.
    it->task.whenDone([this, it] {
        QMetaObject::invokeMethod(this, [this, it] { sendEnded(it); }, Qt::QueuedConnection);
    });
}

bool GatewayTransfer::submitPoll()
{
    if (m_pollQueued)
        return false;
    // From the event loop, as a modem line's poll: never inside the caller.
    m_pollQueued = true;
    m_pollKick.start(0);
    return true;
}

void GatewayTransfer::setPolling(bool on)
{
    if (on)
        m_pollTimer.start();
    else
        m_pollTimer.stop();
}

void GatewayTransfer::answersAwaited(bool on)
{
    if (on)
        m_answerPolls.start();
    else
        m_answerPolls.stop();
}

void GatewayTransfer::runPoll()
{
    m_pollQueued = false;
    Task<PollResult> poll = pollMessages();
    // The database answers at once: the poll has no wait in it.
    if (poll.isDone())
        emit pollFinished(poll.result());
}

void GatewayTransfer::checkLife()
{
    if (m_deadSaid || (m_lifeCheckedAt.isValid() && m_lifeCheckedAt.msecsTo(now()) < LifeCheckMs))
        return;
    m_lifeCheckedAt = now();
    const SmsdStore::GatewayLife life = store().life();
    QString why;
    if (life.state == SmsdStore::Life::NoPhone)
        why = QStringLiteral("в таблице phones нет ни одного телефона шлюза");
    else if (life.state == SmsdStore::Life::Stale)
        why = QStringLiteral("последняя отметка шлюза в таблице phones: ") + life.lastSeen;
    if (why.isEmpty())
        return;
    m_deadSaid = true;
    cmdInfo(QStringLiteral("Шлюз gammu-smsd не забирает сообщения: ") + why
            + QStringLiteral("; проверьте, запущен ли gammu-smsd (systemctl status gammu-smsd), его журнал и связь с модемом\r\n"));
}

Task<QString> GatewayTransfer::deliver(QString phone, QByteArray userData, bool mayWithdraw, bool *mayArrive)
{
    if (mayArrive)
        *mayArrive = false;
    if (mayWithdraw && (m_breaking || m_unwinding))
        co_return QStringLiteral("прервано, не отправлено");
    QString error;
    const qint64 id = store().queue(phone, userData, error);
    if (id < 0)
        co_return QStringLiteral("шлюз не принял сообщение: ") + error;
    const QDateTime queued = now();
    for (;;) {
        const SmsdStore::Status status = store().status(id);
        switch (status.state) {
        case SmsdStore::SendState::Sent:
            co_return QString();
        case SmsdStore::SendState::Failed:
            co_return QStringLiteral("шлюз не отправил: ") + status.smsdStatus;
        case SmsdStore::SendState::Gone:
            co_return QStringLiteral("шлюз убрал сообщение, не отправив");
        case SmsdStore::SendState::Waiting:
            // Not taken yet: a stopped gateway is said within a minute, not after the whole wait.
            if (queued.msecsTo(now()) >= LifeCheckMs)
                checkLife();
            break;
        case SmsdStore::SendState::Unknown: // a busy database: asked again
            break;
        }
        if (mayWithdraw && (m_breaking || m_unwinding)) {
            // Broken off: taken back while the gateway has not taken it; otherwise it goes.
            if (store().withdraw(id))
                co_return QStringLiteral("прервано, сообщение отозвано");
            const SmsdStore::Status last = store().status(id);
            if (last.state == SmsdStore::SendState::Sent)
                co_return QString();
            if (mayArrive)
                *mayArrive = true;
            co_return QStringLiteral("прервано; шлюз уже взял сообщение (") + last.smsdStatus + QLatin1Char(')');
        }
        if (!mayWithdraw && (m_unwinding || m_breaking)) {
            if (mayArrive)
                *mayArrive = true;
            co_return QStringLiteral("передано шлюзу, отправка не дождались");
        }
        if (queued.msecsTo(now()) >= SendWaitMs && !mayWithdraw) {
            // The rest of a pair whose first message went is never taken back: it is left to the gateway.
            if (mayArrive)
                *mayArrive = true;
            co_return QStringLiteral("шлюз не отправил сообщение за %1 с, оно оставлено шлюзу").arg(SendWaitMs / 1000);
        }
        if (queued.msecsTo(now()) >= SendWaitMs) {
            // Taken back, so that it does not reach the terminal after the operator was told it failed.
            if (store().withdraw(id))
                co_return QStringLiteral("шлюз не отправил сообщение за %1 с, оно отозвано").arg(SendWaitMs / 1000);
            const SmsdStore::Status last = store().status(id);
            if (last.state == SmsdStore::SendState::Sent)
                co_return QString();
            if (mayArrive)
                *mayArrive = true;
            co_return QStringLiteral("шлюз не сообщил, отправлено ли сообщение (") + last.smsdStatus
                + QLatin1Char(')');
        }
        co_await Pause{*this, StatusPollMs};
    }
}

Task<SmsRoute::SendResult> GatewayTransfer::sendRecords(QString phone, QList<PacketType> types, QString sentLine,
                                                        QByteArray file)
{
    SendResult result;
    result.passed = true;
    QStringList sent;
    bool begun = false; // a message of the pair may reach the terminal: the rest must follow
    for (PacketType type : types) {
        // Only the first of a pair may be taken back: once it has gone, the rest goes too.
        bool mayArrive = false;
        packetGoing(phone, type);
        const QString failure =
            co_await deliver(phone, TransferRecord::forPacket(type, file).octets(), !begun, &mayArrive);
        packetEnded(phone, type, failure.isEmpty(), !failure.isEmpty() && mayArrive);
        if (failure.isEmpty()) {
            sent << packetName(type);
            begun = true;
            continue;
        }
        if (result.passed)
            cmdInfo(brokenOffLine(QStringLiteral("Шлюз не отправил "), type, failure, sent));
        result.passed = false;
        result.failure = failure;
        if (!mayArrive)
            break;
        begun = true;
    }
    if (result.passed)
        cmdInfo(sentLine + phone + QStringLiteral("\r\n"));
    co_return result;
}

Task<SmsRoute::SendResult> GatewayTransfer::sendProfileFile(QString phone, QString smsc, QByteArray file)
{
    return sendProfilePackets(phone, smsc, file, {PacketType::ProfileBlock1, PacketType::ProfileBlock2});
}

Task<SmsRoute::SendResult> GatewayTransfer::sendProfilePackets(QString phone, QString smsc, QByteArray file,
                                                               QList<PacketType> packets)
{
    SendResult refused;
    refused.refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (!refused.refusal.isEmpty())
        co_return refused;
    const SendResult result = co_await sendRecords(phone, packets, QStringLiteral("Профиль отправлен на номер "), file);
    co_return result;
}

Task<SmsRoute::SendResult> GatewayTransfer::requestProfile(QString phone, QString smsc)
{
    SendResult refused;
    refused.refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (!refused.refusal.isEmpty())
        co_return refused;
    const QList<PacketType> packets{PacketType::ReadBlock1, PacketType::ReadBlock2};
    if (const QString dropped = forgetEarlierHalves(phone); !dropped.isEmpty())
        cmdInfo(dropped);
    const SendResult result =
        co_await sendRecords(phone, packets, QStringLiteral("Запрос профиля отправлен на номер "), QByteArray());
    if (result.passed)
        awaitAnswer(phone);
    co_return result;
}

Task<SmsRoute::SendResult> GatewayTransfer::sendGprs(QString phone, QString smsc, GprsSettings settings)
{
    SendResult result;
    result.refusal = numberRefusal(phone, smsc, QStringLiteral("Номер телефона не задан или неверный"));
    TransferRecord rec;
    if (result.refusal.isEmpty())
        GprsRecord::buildGprsRecord(settings, rec, result.refusal);
    if (!result.refusal.isEmpty())
        co_return result;
    const QString failure = co_await deliver(phone, rec.octets(), true);
    result.passed = failure.isEmpty();
    result.failure = failure;
    if (result.passed)
        cmdInfo(QStringLiteral("Параметры GPRS отправлены на номер ") + phone + QStringLiteral("\r\n"));
    else
        cmdInfo(QStringLiteral("Шлюз не отправил параметры GPRS (") + failure + QStringLiteral(")\r\n"));
    co_return result;
}

InboxMessage GatewayTransfer::inboxMessage(const SmsdStore::InboxRow &row)
{
    InboxMessage m;
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9]{1,20}$"));
    // A concatenated part or a sender that is no number is someone else's: never the system's.
    if (!row.udh.isEmpty() || !number.match(row.sender).hasMatch()) {
        m.sms.ignored = SmsIgnoreReason::ForeignCoding;
        return m;
    }
    // The data coding as the network gave it: an 8-bit message of class 2 is F6.
    const quint8 coding = row.smsClass >= 0 && row.smsClass <= 3 ? quint8(0xF4 + row.smsClass) : quint8(0x04);
    m.id = QString::number(row.id);
    m.name = m.id;
    m.sms = receivedSms(row.sender, HexText::byte(coding), row.userData);
    m.raw = HexText::bytes(row.userData);
    m.journal.sender = row.sender;
    m.journal.kind = QStringLiteral("входящее");
    m.journal.text = m.raw;
    return m;
}

bool GatewayTransfer::sharedHalvesReady()
{
    if (m_sharedHalves == SharedHalvesState::Unchecked) {
        TaskBook book(databaseConnection(), *m_clock);
        QString error;
        m_sharedHalves = book.ensureSchema(error) ? SharedHalvesState::Ready : SharedHalvesState::Missing;
        if (m_sharedHalves == SharedHalvesState::Missing)
            cmdInfo(QStringLiteral("Половины профилей ждут пары только на этом рабочем месте: ") + error
                    + QStringLiteral("\r\n"));
    }
    return m_sharedHalves == SharedHalvesState::Ready;
}

QString GatewayTransfer::forgetEarlierHalves(const QString &phone) const
{
    if (m_sharedHalves != SharedHalvesState::Ready)
        return SmsRoute::forgetEarlierHalves(phone);
    TaskBook book(databaseConnection(), *m_clock);
    return SharedHalves(book).discardForNewRequest(phone);
}

bool GatewayTransfer::heldForOther(const QString &phone) const
{
    if (!taskBook())
        return false;
    QString error;
    const std::optional<TaskBook::Entry> task =
        taskBook()->openTaskFor(phone, OperationHistory::Operation::ReadProfile, error);
    return task && !task->workstation.isEmpty() && task->workstation != workstation();
}

void GatewayTransfer::handOver(const QList<ListingSweep::Outcome::Held> &held, HalfKeeper &halves)
{
    if (held.isEmpty() || !taskBook())
        return;
    for (const ListingSweep::Outcome::Held &h : held) {
        QString error;
        const std::optional<TaskBook::Entry> task =
            taskBook()->openTaskFor(h.phone, OperationHistory::Operation::ReadProfile, error);
        if (!task) {
            // Kept as halves: the next poll saves it here after all.
            continue;
        }
        const TaskBook::Change change =
            taskBook()->markConfirmed(task->id, QStringLiteral("принят рабочим местом ") + workstation(), error, h.file);
        if (change == TaskBook::Change::DatabaseError) {
            cmdInfo(QStringLiteral("Задание %1 не записано: %2\r\n").arg(task->id).arg(error));
            continue;
        }
        halves.remove(h.phone);
        cmdInfo(QStringLiteral("Профиль с номера %1 передан заданию %2 рабочего места %3\r\n")
                    .arg(h.phone)
                    .arg(task->id)
                    .arg(task->workstation));
    }
}

Task<SmsRoute::PollResult> GatewayTransfer::pollMessages()
{
    PollResult result;
    result.ran = true;
    result.listedAt = now();
    QList<SmsdStore::InboxRow> rows;
    QString error;
    const bool shared = !m_store.linkLost() && sharedHalvesReady();
    // Rows are listed and claimed in one transaction: another workstation polling meanwhile
    // waits, then finds what was taken here processed; what the rows carry (halves of profiles)
    // is kept in the same transaction, so a row is never processed with its content lost.
    const bool begun = store().beginClaims(error);
    if (!begun || !store().unprocessed(rows, error)) {
        if (begun) {
            QString ignored;
            store().endClaims(false, ignored);
        }
        // A lost database was said once already, and is said again when it is back.
        if (!m_store.linkLost())
            cmdInfo(QStringLiteral("Не читаются входящие сообщения шлюза: ") + error + QStringLiteral("\r\n"));
        co_return result;
    }
    result.listed = true;
    // Only the system's packets are read; the other rows belong to other users of the gateway.
    // A row that cannot be marked processed is not acted on: it would be acted on again at every
    // poll, and its profile saved and its confirmation counted each time.
    QList<InboxMessage> messages;
    QString markRefusal;
    bool failed = false;
    for (const SmsdStore::InboxRow &row : std::as_const(rows)) {
        InboxMessage message = inboxMessage(row);
        if (!message.sms.accepted())
            continue;
        const SmsdStore::Claim claim = store().claim(row.id, error);
        if (claim == SmsdStore::Claim::Taken) {
            messages.append(message);
            continue;
        }
        if (claim == SmsdStore::Claim::Foreign)
            continue;
        result.markFailed = true;
        if (markRefusal.isEmpty())
            markRefusal = error;
        // The transaction is lost with the failed statement: nothing of this poll is acted on.
        if (claim == SmsdStore::Claim::Failed) {
            failed = true;
            break;
        }
    }
    if (failed) {
        QString ignored;
        store().endClaims(false, ignored);
        messages.clear();
    }
    // Said once, not at every poll of a run, until a row can be marked again.
    if (!markRefusal.isEmpty() && !m_markRefusalSaid)
        cmdInfo(QStringLiteral("Сообщения шлюза не отмечаются обработанными, они не обработаны: ") + markRefusal
                + QStringLiteral("\r\n"));
    m_markRefusalSaid = !markRefusal.isEmpty() || (m_markRefusalSaid && messages.isEmpty());
    if (failed)
        co_return result;

    TaskBook halfBook(databaseConnection(), *m_clock);
    SharedHalves sharedHalves(halfBook);
    PendingHalves localHalves(m_state.appFolder());
    HalfKeeper &halves = shared ? static_cast<HalfKeeper &>(sharedHalves) : localHalves;
    ListingSweep sweep(m_state.appFolder(), now().toLocalTime());
    sweep.setHalves(&halves);
    sweep.setHolder([this](const QString &phone, const QByteArray &) { return heldForOther(phone); });
    const ListingSweep::Outcome outcome = sweep.sweep(messages, m_profiles);
    // What could not be kept goes back to the inbox, for the next poll, here or elsewhere.
    bool kept = true;
    for (const InboxMessage &message : std::as_const(messages)) {
        if (!outcome.deletable.contains(message.id))
            kept = store().release(message.id.toLongLong(), error) && kept;
    }
    if (!kept) {
        QString ignored;
        store().endClaims(false, ignored);
    }
    if (!kept || !store().endClaims(true, error)) {
        result.markFailed = true;
        cmdInfo(QStringLiteral("Сообщения шлюза не отмечены обработанными: ") + error + QStringLiteral("\r\n"));
        co_return result;
    }
    result.messages = outcome.messages;
    result.saved = outcome.saved;
    result.confirmations = outcome.confirmations;
    result.writeFailed = outcome.writeFailed;
    for (const QString &line : outcome.lines)
        cmdInfo(line);
    handOver(outcome.held, halves);
    for (const QString &line : settlePoll(result))
        cmdInfo(line);
    co_return result;
}

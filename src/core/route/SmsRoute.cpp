#include "core/route/SmsRoute.h"

#include "core/tasks/TaskBook.h"

#include "core/app/AppState.h"
#include "core/app/OperationHistory.h"
#include "core/common/FileIo.h"
#include "core/common/HexText.h"
#include "core/common/PhoneNumber.h"
#include "core/common/Workstation.h"
#include "core/inbox/PendingHalves.h"
#include "core/pdu/mdlSMS.h"

#include <optional>

SmsRoute::SmsRoute(AppState &state, QObject *parent)
    : QObject(parent), m_state(state), m_workstation(Workstation::name())
{
}

void SmsRoute::beginAwaitingAnswers()
{
    if (m_awaitingAnswers++ == 0)
        answersAwaited(true);
}

void SmsRoute::endAwaitingAnswers()
{
    if (m_awaitingAnswers > 0 && --m_awaitingAnswers == 0)
        answersAwaited(false);
}

QString SmsRoute::numberRefusal(const QString &phone, const QString &smsc, const QString &badPhone)
{
    if (!mdlSMS::IsValidPhone(phone))
        return phone.isEmpty() ? badPhone : badPhone + QStringLiteral(": ") + PhoneNumber::expected();
    if (!smsc.isEmpty() && !mdlSMS::IsValidPhone(smsc))
        return QStringLiteral("Неверный номер SMS центра");
    return {};
}

QString SmsRoute::gprsRefusal(const QString &phone, const QString &smsc, const GprsSettings &settings)
{
    QString refusal = numberRefusal(phone, smsc, QStringLiteral("Номер телефона не задан или неверный"));
    TransferRecord rec;
    if (refusal.isEmpty())
        GprsRecord::buildGprsRecord(settings, rec, refusal);
    return refusal;
}

QList<PacketType> SmsRoute::requestPackets(OperationHistory::Operation operation)
{
    switch (operation) {
    case OperationHistory::Operation::SendProfile:
        return {PacketType::ProfileBlock1, PacketType::ProfileBlock2};
    case OperationHistory::Operation::ReadProfile:
        return {PacketType::ReadBlock1, PacketType::ReadBlock2};
    case OperationHistory::Operation::SendGprs:
        return {PacketType::GprsSettings};
    default:
        return {};
    }
}

qint64 SmsRoute::beginSendTask(OperationHistory::Operation operation, const QString &phone, const QByteArray &payload)
{
    if (!m_tasks)
        return 0;
    TaskBook::NewTask task;
    task.operation = operation;
    task.workstation = m_workstation;
    task.number = phone;
    task.payload = payload;
    for (PacketType packet : requestPackets(operation))
        task.packets << int(packet);
    QString error;
    const std::optional<qint64> id = m_tasks->create(task, error);
    if (!id) {
        cmdInfo(QStringLiteral("Задание не записано: ") + error + QStringLiteral("\r\n"));
        return 0;
    }
    bindTask(phone, *id);
    return *id;
}

Task<void> SmsRoute::sendAndRecord(OperationHistory::Operation operation, QString phone, qint64 taskId,
                                   Task<SendResult> send)
{
    const SendResult result = co_await send;
    // A read is "ok" only once its profile is saved: its row waits for the outcome, and its
    // answer is awaited while its task is still bound, so that the wait knows the task.
    const bool awaitRead = operation == OperationHistory::Operation::ReadProfile && result.passed;
    if (awaitRead)
        awaitAnswer(phone, true);
    if (taskId > 0) {
        unbindTask(phone);
        QString error;
        // A read's task waits for its profile, a send's for its confirmations; one that may have
        // gone counts as sent, so that nothing retries it blindly.
        if (result.passed || result.unknown)
            m_tasks->markSent(taskId, error);
        else
            m_tasks->markFailed(taskId, result.refusal.isEmpty() ? result.failure : result.refusal, error);
    }
    if (awaitRead)
        co_return;
    if (m_state.database && result.refusal.isEmpty())
        OperationHistory(*m_state.database)
            .recordNow(operation, phone, routeName(),
                       result.passed ? OperationHistory::Result::Ok : OperationHistory::Result::Failed,
                       result.passed ? QStringLiteral("отправлено") : result.failure);
}

QString SmsRoute::submitProfileFile(const QString &typed, const QString &smsc, const QByteArray &file)
{
    const QString phone = PhoneNumber::normalized(typed);
    const QString refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc, file]() -> Task<void> {
            const qint64 id = beginSendTask(OperationHistory::Operation::SendProfile, phone, file);
            return sendAndRecord(OperationHistory::Operation::SendProfile, phone, id, sendProfileFile(phone, smsc, file));
        });
    return refusal;
}

QString SmsRoute::submitProfileRequest(const QString &typed, const QString &smsc)
{
    const QString phone = PhoneNumber::normalized(typed);
    const QString refusal = numberRefusal(phone, smsc, QStringLiteral("Неверный номер телефона"));
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc]() -> Task<void> {
            const qint64 id = beginSendTask(OperationHistory::Operation::ReadProfile, phone, QByteArray());
            return sendAndRecord(OperationHistory::Operation::ReadProfile, phone, id, requestProfile(phone, smsc));
        });
    return refusal;
}

QString SmsRoute::submitGprs(const QString &typed, const QString &smsc, const GprsSettings &settings)
{
    const QString phone = PhoneNumber::normalized(typed);
    const QString refusal = gprsRefusal(phone, smsc, settings);
    if (refusal.isEmpty())
        submitSend(nullptr, [this, phone, smsc, settings]() -> Task<void> {
            const qint64 id = beginSendTask(OperationHistory::Operation::SendGprs, phone, QByteArray());
            return sendAndRecord(OperationHistory::Operation::SendGprs, phone, id, sendGprs(phone, smsc, settings));
        });
    return refusal;
}

QString SmsRoute::packetName(PacketType type)
{
    return QStringLiteral("пакет 0x") + HexText::byte(quint8(type)) + QLatin1Char('h');
}

QString SmsRoute::brokenOffLine(const QString &refusedBy, PacketType failed, const QString &why, const QStringList &sent)
{
    return refusedBy + packetName(failed) + QStringLiteral(" (") + why + QStringLiteral("): ")
           + (sent.isEmpty() ? QStringLiteral("ничего не отправлено")
                             : QStringLiteral("отправлено только: ") + sent.join(QStringLiteral(", ")))
           + QStringLiteral("\r\n");
}

QStringList SmsRoute::awaitedReads() const
{
    QStringList phones;
    for (const AwaitedRead &a : m_awaitedReads)
        phones << a.phone;
    return phones;
}

void SmsRoute::awaitAnswer(const QString &phone, bool historyRow)
{
    // An earlier request of the same terminal is superseded; the window's row is kept.
    for (const AwaitedRead &a : std::as_const(m_awaitedReads))
        historyRow = historyRow || (a.historyRow && PhoneNumber::sameSubscriber(a.phone, phone));
    forgetAwaited(phone);
    m_awaitedReads.append({phone, routeClock().now(), historyRow, boundTask(phone)});
}

void SmsRoute::forgetAwaited(const QString &phone)
{
    m_awaitedReads.removeIf([&phone](const AwaitedRead &a) { return PhoneNumber::sameSubscriber(a.phone, phone); });
}

void SmsRoute::bindTask(const QString &phone, qint64 id)
{
    m_boundTasks.insert(PhoneNumber::normalized(phone), id);
}

void SmsRoute::unbindTask(const QString &phone)
{
    m_boundTasks.remove(PhoneNumber::normalized(phone));
}

qint64 SmsRoute::boundTask(const QString &phone) const
{
    return m_boundTasks.value(PhoneNumber::normalized(phone), 0);
}

void SmsRoute::packetGoing(const QString &phone, PacketType type)
{
    const qint64 id = boundTask(phone);
    QString error;
    if (m_tasks && id > 0 && m_tasks->packetSending(id, int(type), error) == TaskBook::Change::DatabaseError)
        cmdInfo(QStringLiteral("Задание %1 не записано: %2\r\n").arg(id).arg(error));
}

void SmsRoute::packetEnded(const QString &phone, PacketType type, bool taken, bool unknown)
{
    const qint64 id = boundTask(phone);
    if (!m_tasks || id <= 0)
        return;
    const TaskBook::PacketState state = taken     ? TaskBook::PacketState::Sent
                                        : unknown ? TaskBook::PacketState::Unknown
                                                  : TaskBook::PacketState::Failed;
    QString error;
    if (m_tasks->packetEnded(id, int(type), state, {}, error) == TaskBook::Change::DatabaseError)
        cmdInfo(QStringLiteral("Задание %1 не записано: %2\r\n").arg(id).arg(error));
}

void SmsRoute::resolveTasks(const PollResult &result)
{
    QString error;
    for (const ListingSweep::Outcome::Confirmation &c : result.confirmations) {
        const OperationHistory::Operation operation = c.packet == PacketType::GprsSettings
                                                          ? OperationHistory::Operation::SendGprs
                                                          : OperationHistory::Operation::SendProfile;
        const std::optional<TaskBook::Entry> task = m_tasks->openTaskFor(c.sender, operation, error);
        if (!task)
            continue;
        m_tasks->packetEnded(task->id, int(c.packet), TaskBook::PacketState::Confirmed, {}, error);
        // Done once the terminal has confirmed every packet of it, however late.
        bool all = true;
        for (const TaskBook::Packet &p : task->packets)
            all = all && (p.packet == int(c.packet) || p.state == TaskBook::PacketState::Confirmed);
        if (all)
            m_tasks->markConfirmed(task->id, QStringLiteral("подтверждено терминалом"), error);
    }
    for (const ReceivedProfiles::Saved &saved : result.saved) {
        const std::optional<TaskBook::Entry> task =
            m_tasks->openTaskFor(saved.phone, OperationHistory::Operation::ReadProfile, error);
        if (!task)
            continue;
        // The profile goes with the task, for any workstation to fetch.
        QByteArray profile;
        FileIo::readRegular(saved.path, profile, error, 1 << 16);
        m_tasks->markConfirmed(task->id, saved.path, error, profile);
    }
}

void SmsRoute::completeHalfSent()
{
    if (!m_tasks)
        return;
    QString error;
    const std::optional<QList<TaskBook::HalfSent>> halves = m_tasks->halfSent(m_workstation, error);
    if (!halves) {
        cmdInfo(QStringLiteral("Задания не читаются, профили, отправленные не полностью, не досылаются: ") + error
                + QStringLiteral("\r\n"));
        return;
    }
    for (const TaskBook::HalfSent &half : *halves) {
        if (half.operation != OperationHistory::Operation::SendProfile || m_completing.contains(half.id))
            continue;
        QStringList uncertain;
        for (int packet : half.uncertain)
            uncertain << packetName(PacketType(packet));
        if (!uncertain.isEmpty()) {
            const QString why = QStringLiteral("не известно, дошел ли ") + uncertain.join(QStringLiteral(", "))
                                + QStringLiteral(": не досылается");
            cmdInfo(QStringLiteral("Профиль ") + half.number + QStringLiteral(" отправлен не полностью, ") + why
                    + QStringLiteral("\r\n"));
            m_tasks->markFailed(half.id, why, error);
            continue;
        }
        QList<PacketType> packets;
        for (int packet : half.packets)
            packets << PacketType(packet);
        const qint64 id = half.id;
        const QString number = half.number;
        const QByteArray payload = half.payload;
        m_completing.insert(id);
        submitSend(nullptr, [this, id, number, payload, packets]() { return completeTask(id, number, payload, packets); });
    }
}

Task<void> SmsRoute::completeTask(qint64 id, QString number, QByteArray payload, QList<PacketType> packets)
{
    QStringList names;
    for (PacketType packet : std::as_const(packets))
        names << packetName(packet);
    cmdInfo(QStringLiteral("Профиль ") + number + QStringLiteral(" отправлен не полностью, досылается ")
            + names.join(QStringLiteral(", ")) + QStringLiteral("\r\n"));
    bindTask(number, id);
    const SendResult result = co_await sendProfilePackets(number, QString(), payload, packets);
    unbindTask(number);
    m_completing.remove(id);
    QString error;
    const TaskBook::Change change =
        result.passed ? m_tasks->markSent(id, error)
                      : m_tasks->markFailed(id, QStringLiteral("не дослан: ")
                                                    + (result.refusal.isEmpty() ? result.failure : result.refusal),
                                            error);
    if (change == TaskBook::Change::DatabaseError)
        cmdInfo(QStringLiteral("Задание %1 не записано: %2\r\n").arg(id).arg(error));
}

void SmsRoute::adoptProfilesReadElsewhere(PollResult &result, QStringList &lines)
{
    qint64 firstId = 0;
    for (const AwaitedRead &a : std::as_const(m_awaitedReads)) {
        if (a.taskId > 0 && (firstId == 0 || a.taskId < firstId))
            firstId = a.taskId;
    }
    if (firstId == 0)
        return;
    QString error;
    // One look for every read awaited: the reads confirmed since the oldest of them was made.
    const std::optional<QList<TaskBook::Entry>> done = m_tasks->confirmedReads(firstId, error);
    if (!done)
        return;
    for (const AwaitedRead &a : std::as_const(m_awaitedReads)) {
        bool saved = false;
        for (const ReceivedProfiles::Saved &s : std::as_const(result.saved))
            saved = saved || PhoneNumber::sameSubscriber(s.phone, a.phone);
        if (saved || a.taskId <= 0)
            continue;
        // The read's own task first; else a later read of the same terminal, whose profile came
        // after this request too (two operators asked at once, and one answer was joined).
        const TaskBook::Entry *found = nullptr;
        for (const TaskBook::Entry &e : *done) {
            if (e.payload.size() != 2 * ReceivedProfile::BlockSize || e.id < a.taskId
                || !PhoneNumber::sameSubscriber(e.number, PhoneNumber::normalized(a.phone)))
                continue;
            if (!found || e.id == a.taskId)
                found = &e;
        }
        if (!found)
            continue;
        if (found->id != a.taskId)
            m_tasks->markConfirmed(a.taskId, QStringLiteral("профиль получен по заданию %1").arg(found->id), error,
                                   found->payload);
        ReceivedProfiles profile;
        profile.storeBlock(a.phone, PacketType::ReadBlock1, found->payload.left(ReceivedProfiles::DataOctets));
        profile.storeBlock(a.phone, PacketType::ReadBlock2,
                           found->payload.mid(ReceivedProfile::BlockSize, ReceivedProfiles::DataOctets));
        lines << QStringLiteral("Профиль с номера %1 принят другим рабочим местом (задание %2)\r\n").arg(a.phone).arg(found->id);
        lines << profile.saveCompleteProfiles(m_state.appFolder(), &result.saved);
    }
}

QStringList SmsRoute::settlePoll(PollResult &result)
{
    QStringList lines;
    // What this poll read itself; the rest was received (and recorded) where it was read.
    const qsizetype readHere = result.saved.size();
    if (m_tasks) {
        resolveTasks(result);
        adoptProfilesReadElsewhere(result, lines);
    }
    std::optional<OperationHistory> history;
    if (m_state.database)
        history.emplace(*m_state.database);
    auto record = [&](OperationHistory::Operation operation, const QString &phone, OperationHistory::Result r,
                      const QString &detail) {
        if (history)
            history->recordNow(operation, phone, routeName(), r, detail);
    };
    for (const ListingSweep::Outcome::Confirmation &c : result.confirmations)
        record(OperationHistory::Operation::Confirmation, c.sender, OperationHistory::Result::Ok, packetName(c.packet));
    QList<AwaitedRead> ended;
    for (qsizetype i = 0; i < result.saved.size(); ++i) {
        const ReceivedProfiles::Saved saved = result.saved.at(i);
        if (i < readHere)
            record(OperationHistory::Operation::ProfileReceived, saved.phone, OperationHistory::Result::Ok, saved.path);
        for (const AwaitedRead &a : std::as_const(m_awaitedReads)) {
            if (!PhoneNumber::sameSubscriber(a.phone, saved.phone))
                continue;
            if (a.historyRow)
                record(OperationHistory::Operation::ReadProfile, a.phone, OperationHistory::Result::Ok, saved.path);
            ended.append(a);
        }
        forgetAwaited(saved.phone);
    }
    const QDateTime current = routeClock().now();
    for (qsizetype i = m_awaitedReads.size() - 1; i >= 0; --i) {
        const AwaitedRead a = m_awaitedReads.at(i);
        if (a.sent.secsTo(current) < AnswerWaitSeconds)
            continue;
        lines << QStringLiteral("Нет ответа от терминала ") + a.phone + QStringLiteral("\r\n");
        if (m_tasks && a.taskId > 0) {
            QString error;
            m_tasks->markExpired(a.taskId, QStringLiteral("нет ответа"), error);
        }
        if (a.historyRow)
            record(OperationHistory::Operation::ReadProfile, a.phone, OperationHistory::Result::Failed,
                   QStringLiteral("нет ответа"));
        m_awaitedReads.removeAt(i);
        emit readFinished(a.phone, false);
    }
    for (const AwaitedRead &a : std::as_const(ended))
        emit readFinished(a.phone, true);
    return lines;
}

QString SmsRoute::forgetEarlierHalves(const QString &phone) const
{
    return PendingHalves(m_state.appFolder()).discardForNewRequest(phone);
}

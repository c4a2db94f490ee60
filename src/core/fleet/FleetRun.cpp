#include "core/fleet/FleetRun.h"

#include "core/common/PhoneNumber.h"

FleetRun::FleetRun(const QList<Line> &lines, const Request &request, QObject *parent)
    : QObject(parent), m_lines(lines), m_request(request), m_pollTimer(this), m_deadline(this)
{
    if (!m_lines.isEmpty()) {
        m_pollTimer.setClock(&m_lines.first().route->routeClock());
        m_deadline.setClock(&m_lines.first().route->routeClock());
    }
    m_deadline.setHandler([this] { checkDeadline(); });
    m_pollTimer.setInterval(SmsRoute::PollMs);
    m_pollTimer.setRepeating(true);
    m_pollTimer.setHandler([this] {
        checkDeadline();
        if (!isFinished())
            pollAll();
    });
    for (int i = 0; i < m_lines.size(); ++i) {
        m_connections << connect(m_lines[i].route, &SmsRoute::pollFinished, this,
                                 [this, i](const SmsRoute::PollResult &result) { polled(i, result); });
    }
}

FleetRun::~FleetRun()
{
    stopAwaitingAnswers();
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
}

OperationHistory::Operation FleetRun::historyOperation(Job job)
{
    switch (job) {
    case Job::SendProfile:
        return OperationHistory::Operation::SendProfile;
    case Job::ReadProfile:
        return OperationHistory::Operation::ReadProfile;
    case Job::SendGprs:
        return OperationHistory::Operation::SendGprs;
    }
    return OperationHistory::Operation::ReadProfile;
}

QString FleetRun::lineFaultText(SmsRoute::LineFault fault)
{
    switch (fault) {
    case SmsRoute::LineFault::NoAnswer:
        return QStringLiteral("модем не отвечает");
    case SmsRoute::LineFault::PortLost:
        return QStringLiteral("порт потерян");
    case SmsRoute::LineFault::None:
        break;
    }
    return {};
}

bool FleetRun::allDone() const
{
    for (const Result &r : m_results) {
        if (r.outcome != Outcome::Done)
            return false;
    }
    return true;
}

void FleetRun::start(const QList<Target> &targets)
{
    m_targets = targets;
    m_results = QList<Result>(targets.size());
    m_confirmed = QList<QList<PacketType>>(targets.size());
    m_sendPassed = QList<bool>(targets.size(), false);
    m_sendUnknown = QList<bool>(targets.size(), false);
    m_taskIds = QList<qint64>(targets.size(), 0);
    m_out = QList<bool>(m_lines.size(), false);
    m_busy = QList<int>(m_lines.size(), 0);
    m_lineOf.clear();
    m_left = int(targets.size());
    m_sendsLeft = int(targets.size());
    m_started = true;
    m_waiting = QList<QList<int>>(m_lines.size());
    QList<int> load(m_lines.size(), 0);
    for (int i = 0; i < targets.size(); ++i) {
        // The line with the fewest terminals so far: requests spread evenly over the pool.
        const int line = int(std::min_element(load.cbegin(), load.cend()) - load.cbegin());
        ++load[line];
        m_lineOf << line;
        m_results[i].port = m_lines[line].port;
        m_waiting[line] << i;
    }
    if (targets.isEmpty()) {
        QMetaObject::invokeMethod(this, [this] { emit finished(true); }, Qt::QueuedConnection);
        return;
    }
    // Before the first request: a modem asked to announce what it stores is asked first, when
    // there are answers to collect.
    for (const Line &line : awaits() ? m_lines : QList<Line>()) {
        line.route->beginAwaitingAnswers();
        m_awaitingOn << line.route;
    }
    // One request at a time per line, so that the poll timer's polls fall between them: a SIM
    // holds about thirty messages, and a long run's early answers must not fill it.
    for (int line = 0; line < m_lines.size(); ++line)
        sendNext(line);
    if (awaits())
        m_pollTimer.start();
}

void FleetRun::stopAwaitingAnswers()
{
    for (const QPointer<SmsRoute> &route : std::exchange(m_awaitingOn, {})) {
        if (route)
            route->endAwaitingAnswers();
    }
}

void FleetRun::sendNext(int line)
{
    while (!m_waiting[line].isEmpty()) {
        const int index = m_waiting[line].takeFirst();
        ++m_busy[line];
        m_lines[line].route->submitSend(&m_operations, [this, index]() -> Task<void> { return send(index); });
        if (m_lines[line].route->sendsOneAtATime())
            return;
    }
}

Task<void> FleetRun::send(int index)
{
    SmsRoute &transfer = *m_lines[m_lineOf[index]].route;
    const QString phone = m_targets[index].phone;
    createTask(index);
    if (m_taskIds[index] > 0)
        transfer.bindTask(phone, m_taskIds[index]);
    SmsRoute::SendResult result;
    switch (m_request.job) {
    case Job::SendProfile:
        result = co_await transfer.sendProfileFile(phone, m_request.smsc, m_request.profile);
        break;
    case Job::ReadProfile:
        result = co_await transfer.requestProfile(phone, m_request.smsc);
        break;
    case Job::SendGprs:
        result = co_await transfer.sendGprs(phone, m_request.smsc, m_request.gprs);
        break;
    }
    if (m_taskIds[index] > 0)
        transfer.unbindTask(phone);
    // Settled from the event loop: a send that ended at once must not start the next inside
    // itself (outcomes would come in reverse, and inside start()).
    QMetaObject::invokeMethod(this, [this, index, result] { sent(index, result); }, Qt::QueuedConnection);
}

void FleetRun::createTask(int index)
{
    // A terminal handed to another line keeps the task it has.
    if (!m_request.tasks || m_taskIds[index] > 0)
        return;
    TaskBook::NewTask task;
    task.operation = historyOperation(m_request.job);
    task.workstation = m_lines[m_lineOf[index]].route->workstation();
    task.terminal = m_targets[index].name == m_targets[index].phone ? QString() : m_targets[index].name;
    if (task.terminal.isEmpty() && m_request.history)
        task.terminal = OperationHistory::bookName(*m_request.history, m_targets[index].phone);
    task.number = m_targets[index].phone;
    if (m_request.job == Job::SendProfile) {
        task.fileName = m_request.fileName;
        task.payload = m_request.profile;
    }
    for (PacketType packet : SmsRoute::requestPackets(task.operation))
        task.packets << int(packet);
    QString error;
    const std::optional<qint64> id = m_request.tasks->create(task, error);
    m_taskIds[index] = id.value_or(0);
}

void FleetRun::settleTask(int index, Outcome outcome, const QString &detail)
{
    const qint64 id = m_taskIds.value(index);
    if (!m_request.tasks || id <= 0)
        return;
    QString error;
    switch (outcome) {
    case Outcome::Done:
        // A send not awaited stays sent until its confirmation comes; a poll may have confirmed it already.
        if (awaits())
            m_request.tasks->markConfirmed(id, detail, error);
        break;
    case Outcome::NoAnswer:
        m_request.tasks->markExpired(id, detail, error);
        break;
    case Outcome::Unknown:
        // It may have gone: sent, never sent again by a retry, settled by its confirmation.
        m_request.tasks->markSent(id, error);
        break;
    case Outcome::Pending:
        break;
    default:
        m_request.tasks->markFailed(id, detail, error);
        break;
    }
}

void FleetRun::interrupt()
{
    if (m_interrupted || isFinished() || !m_started)
        return;
    m_interrupted = true;
    m_pollTimer.stop();
    m_deadline.stop();
    stopAwaitingAnswers();
    for (QList<int> &waiting : m_waiting) {
        m_sendsLeft -= int(waiting.size());
        waiting.clear();
    }
    for (const Line &line : std::as_const(m_lines))
        line.route->breakSends();
    if (m_sendsLeft == 0)
        QMetaObject::invokeMethod(this, &FleetRun::settleInterrupted, Qt::QueuedConnection);
}

void FleetRun::settleInterrupted()
{
    for (int i = 0; i < m_targets.size(); ++i) {
        if (m_results[i].outcome != Outcome::Pending)
            continue;
        if (m_sendUnknown[i]) {
            settle(i, Outcome::Unknown, SmsRoute::unknownText());
            continue;
        }
        const QString detail = !m_sendPassed[i] ? QStringLiteral("прервано: не отправлено")
                               : m_request.job == Job::ReadProfile
                                   ? QStringLiteral("прервано: запрос отправлен, профиль не дождались")
                                   : QStringLiteral("прервано: отправлено, подтверждение не дождались");
        settle(i, Outcome::Interrupted, detail);
    }
}

void FleetRun::takeOut(int line, SmsRoute::LineFault fault)
{
    m_out[line] = true;
    emit lineDropped(line, fault);
    const QList<int> waiting = std::exchange(m_waiting[line], {});
    for (int index : waiting) {
        if (moveToLiveLine(index))
            continue;
        --m_sendsLeft;
        settle(index, Outcome::SendFailed, QStringLiteral("не отправлено: в пуле не осталось модемов"));
    }
}

bool FleetRun::moveToLiveLine(int index)
{
    int best = -1;
    for (int line = 0; line < m_lines.size(); ++line) {
        if (m_out[line])
            continue;
        const qsizetype load = m_waiting[line].size() + m_busy[line];
        if (best < 0 || load < m_waiting[best].size() + m_busy[best])
            best = line;
    }
    if (best < 0)
        return false;
    m_lineOf[index] = best;
    m_results[index].port = m_lines[best].port;
    m_waiting[best] << index;
    // A line between two sends has nobody to start its next one.
    if (m_busy[best] == 0 || !m_lines[best].route->sendsOneAtATime())
        sendNext(best);
    return true;
}

void FleetRun::sent(int index, const SmsRoute::SendResult &result)
{
    --m_sendsLeft;
    const int line = m_lineOf[index];
    --m_busy[line];
    if (result.passed && m_request.tasks && m_taskIds[index] > 0) {
        QString error;
        m_request.tasks->markSent(m_taskIds[index], error);
    }
    if (!m_interrupted && result.lineFault != SmsRoute::LineFault::None && !m_out[line]) {
        takeOut(line, result.lineFault);
        // Nothing of it left the dead modem: another line sends it.
        if (result.nothingSent && moveToLiveLine(index)) {
            ++m_sendsLeft;
            return;
        }
    }
    if (!m_interrupted && !m_out[line])
        sendNext(line);
    if (!result.refusal.isEmpty())
        settle(index, Outcome::Refused, result.refusal);
    else if (result.unknown && !awaits())
        settle(index, Outcome::Unknown, SmsRoute::unknownText());
    else if (result.unknown) {
        // Never sent again: the terminal may have it. Its answer still settles it.
        m_sendUnknown[index] = true;
        m_lastSent = m_lines[line].route->routeClock().now();
    }
    else if (!result.passed && m_interrupted)
        settle(index, Outcome::Interrupted, QStringLiteral("прервано: не отправлено (") + result.failure + u')');
    else if (!result.passed)
        settle(index, Outcome::SendFailed, result.failure);
    else if (!awaits())
        settle(index, Outcome::Done, QStringLiteral("отправлено"));
    else {
        m_sendPassed[index] = true;
        m_lastSent = m_lines[line].route->routeClock().now();
    }
    if (m_interrupted) {
        if (m_sendsLeft == 0)
            settleInterrupted();
        return;
    }
    if (m_sendsLeft > 0 || isFinished())
        return;
    // Every request is out: collect the answers, the first poll at once; the silent ones are
    // told when the wait is over, not at the next poll.
    pollAll();
    m_deadline.start(m_request.waitSeconds * 1000);
}

void FleetRun::pollAll()
{
    for (int line = 0; line < m_lines.size(); ++line) {
        if (!m_out.value(line))
            m_lines[line].route->submitPoll();
    }
}

bool FleetRun::answered(int index, const SmsRoute::PollResult &result, QString &detail)
{
    const QString &phone = m_targets[index].phone;
    if (m_request.job == Job::ReadProfile) {
        for (const ReceivedProfiles::Saved &saved : result.saved) {
            if (PhoneNumber::sameSubscriber(saved.phone, phone)) {
                detail = saved.path;
                return true;
            }
        }
        return false;
    }
    for (const ListingSweep::Outcome::Confirmation &c : result.confirmations) {
        if (PhoneNumber::sameSubscriber(c.sender, phone) && !m_confirmed[index].contains(c.packet))
            m_confirmed[index] << c.packet;
    }
    const QList<PacketType> needed = m_request.job == Job::SendProfile
                                         ? QList<PacketType>{PacketType::ProfileBlock1, PacketType::ProfileBlock2}
                                         : QList<PacketType>{PacketType::GprsSettings};
    for (PacketType packet : needed) {
        if (!m_confirmed[index].contains(packet))
            return false;
    }
    detail = QStringLiteral("подтверждено терминалом");
    return true;
}

void FleetRun::polled(int lineIndex, const SmsRoute::PollResult &result)
{
    if (m_interrupted)
        return;
    // A terminal answers to the SIM that wrote to it, but any line's answer counts. Only a poll
    // that looked at the store after the wait was over is the closing look: one under way at the
    // deadline may have listed before an answer came.
    if (lineIndex < m_closingPolls.size()
        && (!result.listedAt.isValid() || result.listedAt >= m_closingStarted))
        m_closingPolls[lineIndex] = false;
    for (int i = 0; i < m_targets.size(); ++i) {
        QString detail;
        if (m_results[i].outcome == Outcome::Pending && answered(i, result, detail))
            settle(i, Outcome::Done, detail);
    }
    checkDeadline();
}

void FleetRun::checkDeadline()
{
    if (m_interrupted || m_sendsLeft > 0 || isFinished() || !m_lastSent.isValid())
        return;
    const QDateTime now = m_lines.first().route->routeClock().now();
    const qint64 left = qint64(m_request.waitSeconds) * 1000 - m_lastSent.msecsTo(now);
    if (left > 0) {
        m_deadline.start(int(qMin<qint64>(left, 3600 * 1000)));
        return;
    }
    if (!m_closingStarted.isValid()) {
        m_closingStarted = now;
        m_closingPolls = QList<bool>(m_lines.size(), true);
        // A line out of the pool is not asked.
        for (int line = 0; line < m_lines.size(); ++line)
            m_closingPolls[line] = !m_out.value(line);
        pollAll();
        m_deadline.start(ClosingPollMs);
        return;
    }
    if (m_closingPolls.contains(true) && m_closingStarted.msecsTo(now) < ClosingPollMs)
        return;
    for (int i = 0; i < m_targets.size(); ++i) {
        if (m_results[i].outcome == Outcome::Pending && m_sendUnknown[i])
            settle(i, Outcome::Unknown, SmsRoute::unknownText());
        else if (m_results[i].outcome == Outcome::Pending)
            settle(i, Outcome::NoAnswer, QStringLiteral("нет ответа за %1 с").arg(m_request.waitSeconds));
    }
}

void FleetRun::settle(int index, Outcome outcome, const QString &detail)
{
    if (m_results[index].outcome != Outcome::Pending)
        return;
    m_results[index].outcome = outcome;
    m_results[index].detail = detail;
    --m_left;
    settleTask(index, outcome, detail);
    if (m_request.history) {
        OperationHistory(*m_request.history)
            .recordNow(historyOperation(m_request.job), m_targets[index].phone, m_results[index].port,
                       outcome == Outcome::Done ? OperationHistory::Result::Ok : OperationHistory::Result::Failed, detail,
                       // A terminal given by its number: the book names it, if it can.
                       m_targets[index].name == m_targets[index].phone ? QString() : m_targets[index].name);
    }
    emit terminalFinished(index);
    if (m_left == 0) {
        m_pollTimer.stop();
        m_deadline.stop();
        stopAwaitingAnswers();
        emit finished(allDone());
    }
}

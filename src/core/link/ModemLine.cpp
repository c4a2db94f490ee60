#include "core/link/ModemLine.h"

#include "core/link/SerialDevice.h"

ModemLine::ModemLine(QObject *parent) : QObject(parent) {}

ModemLine::~ModemLine()
{
    shutdown();
}

QString ModemLine::portName() const
{
    QIODevice *device = const_cast<LinkExchange &>(m_link).port().device();
    if (auto *serial = qobject_cast<SerialDevice *>(device))
        return serial->portName();
    return device ? device->objectName() : QString();
}

quint64 ModemLine::submit(QObject *owner, Operation kind, Script script)
{
    const quint64 ticket = m_nextTicket++;
    if (m_shutdown) {
        // Told from the event loop, once the caller has its ticket and listens.
        QMetaObject::invokeMethod(
            this, [this, ticket, kind] { emit finished(ticket, kind, Outcome::Dropped); }, Qt::QueuedConnection);
        return ticket;
    }
    watchOwner(owner);
    m_queue.append({ticket, kind, owner, std::move(script)});
    scheduleNext();
    return ticket;
}

bool ModemLine::submitPoll(QObject *owner, Script script)
{
    if (hasQueued(Operation::Poll))
        return false;
    submit(owner, Operation::Poll, std::move(script));
    return true;
}

void ModemLine::watchOwner(QObject *owner)
{
    if (!owner || owner == this || m_owners.contains(owner))
        return;
    m_owners.insert(owner, connect(owner, &QObject::destroyed, this, [this, owner] { ownerGone(owner); }));
}

void ModemLine::ownerGone(QObject *owner)
{
    m_owners.remove(owner);
    dropWhere([owner](const Queued &q) { return q.owner == owner; });
    if (m_running && m_runningOwner == owner)
        unwindRunning(Outcome::Abandoned);
}

bool ModemLine::hasQueued(Operation kind) const
{
    for (const Queued &q : m_queue) {
        if (q.kind == kind)
            return true;
    }
    return false;
}

std::optional<ModemLine::Operation> ModemLine::running() const
{
    if (!m_running)
        return std::nullopt;
    return m_runningKind;
}

void ModemLine::reportFailure()
{
    if (m_running)
        m_failed = true;
}

void ModemLine::requestBreak()
{
    if (m_running)
        m_link.requestBreak();
}

void ModemLine::dropQueued(std::optional<Operation> kind)
{
    dropWhere([&kind](const Queued &q) { return !kind || q.kind == *kind; });
}

void ModemLine::dropWhere(const std::function<bool(const Queued &)> &which)
{
    QList<Queued> dropped;
    for (qsizetype i = 0; i < m_queue.size();) {
        if (which(m_queue.at(i)))
            dropped.append(m_queue.takeAt(i));
        else
            ++i;
    }
    for (const Queued &q : std::as_const(dropped))
        emit finished(q.ticket, q.kind, Outcome::Dropped);
}

void ModemLine::shutdown()
{
    if (m_shutdown)
        return;
    m_shutdown = true;
    abandonAll();
    m_link.shutdown();
}

void ModemLine::abandonAll()
{
    dropQueued();
    unwindRunning(Outcome::Abandoned);
}

void ModemLine::unwindRunning(Outcome outcome)
{
    if (!m_running || m_unwinding)
        return;
    m_unwinding = true;
    m_link.beginUnwind();
    // Every wait now ends at once: each resume runs the script on to its next wait or its end.
    // A frame that waits on something else (a pause of its own) cannot be run on: it is cut short.
    while (m_task.isValid() && !m_task.isDone() && m_link.resumeWaiterNow()) {
    }
    m_link.endUnwind();
    m_link.abandonWaits();
    m_unwinding = false;
    endRunning(outcome);
}

void ModemLine::scheduleNext()
{
    // Started from the event loop, never inside the caller that submitted or the step that ended.
    if (m_startPosted || m_running || m_shutdown)
        return;
    m_startPosted = true;
    QMetaObject::invokeMethod(this, &ModemLine::startNext, Qt::QueuedConnection);
}

void ModemLine::startNext()
{
    m_startPosted = false;
    if (m_running || m_shutdown || m_queue.isEmpty()) {
        if (!m_running && m_queue.isEmpty() && !m_shutdown)
            emit idle();
        return;
    }
    Queued next = m_queue.takeFirst();
    m_running = true;
    m_failed = false;
    m_runningKind = next.kind;
    m_runningTicket = next.ticket;
    m_runningOwner = next.owner;
    m_link.endBreak();
    emit started(next.ticket, next.kind);
    m_task = next.script ? next.script() : Task<void>();
    const quint64 ticket = next.ticket;
    // The frame is released from the event loop, never inside its own last step.
    if (!m_task.isValid() || m_task.isDone()) {
        QMetaObject::invokeMethod(this, [this, ticket] { runningEnded(ticket); }, Qt::QueuedConnection);
        return;
    }
    m_task.whenDone([this, ticket] {
        QMetaObject::invokeMethod(this, [this, ticket] { runningEnded(ticket); }, Qt::QueuedConnection);
    });
}

void ModemLine::runningEnded(quint64 ticket)
{
    if (!m_running || ticket != m_runningTicket)
        return;
    const Outcome outcome = m_failed || m_link.port().isPortLost() ? Outcome::Failed
                            : m_link.breakRequested()                ? Outcome::BrokenOff
                                                                     : Outcome::Done;
    endRunning(outcome);
}

void ModemLine::endRunning(Outcome outcome)
{
    // A frame that ended is destroyed here; one that could not be run on is cut short (only this
    // line may do that, and only when its owner or the line itself goes).
    m_task = Task<void>();
    m_running = false;
    m_runningOwner = nullptr;
    const Operation kind = m_runningKind;
    const quint64 ticket = m_runningTicket;
    m_link.endBreak();
    emit finished(ticket, kind, outcome);
    if (m_shutdown)
        return;
    if (m_queue.isEmpty())
        emit idle();
    else
        scheduleNext();
}

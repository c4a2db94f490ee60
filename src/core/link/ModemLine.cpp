#include "core/link/ModemLine.h"

#include <QSerialPort>

ModemLine::ModemLine(QObject *parent) : QObject(parent) {}

ModemLine::~ModemLine()
{
    m_destroying = true;
    shutdown();
}

QString ModemLine::portName() const
{
    QIODevice *device = const_cast<LinkExchange &>(m_link).port().device();
    if (auto *serial = qobject_cast<QSerialPort *>(device)) {
        // "/dev/ttyUSB0", as the operator typed it, not Qt's short "ttyUSB0".
        const QString name = serial->portName();
#ifdef Q_OS_UNIX
        if (!name.startsWith(QLatin1Char('/')))
            return QStringLiteral("/dev/") + name;
#endif
        return name;
    }
    return device ? device->objectName() : QString();
}

quint64 ModemLine::submit(Operation kind, Script script)
{
    const quint64 ticket = m_nextTicket++;
    if (m_shutdown)
        return ticket;
    m_queue.append({ticket, kind, std::move(script)});
    scheduleNext();
    return ticket;
}

bool ModemLine::submitPoll(Script script)
{
    if (hasQueued(Operation::Poll))
        return false;
    submit(Operation::Poll, std::move(script));
    return true;
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

void ModemLine::requestBreak()
{
    if (m_running)
        m_link.requestBreak();
}

void ModemLine::dropQueued(std::optional<Operation> kind)
{
    m_queue.removeIf([&kind](const Queued &q) { return !kind || q.kind == *kind; });
}

void ModemLine::shutdown()
{
    if (m_shutdown)
        return;
    m_shutdown = true;
    m_link.shutdown();
    abandonAll();
}

void ModemLine::abandonAll()
{
    m_queue.clear();
    // Abandoned where it waits: its frame goes, nothing of it runs again.
    m_task = Task<void>();
    m_link.abandonWaits();
    const bool wasRunning = std::exchange(m_running, false);
    // Whoever waits for it learns that it has ended.
    if (wasRunning && !m_destroying)
        emit finished(m_runningTicket, m_runningKind);
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
    m_runningKind = next.kind;
    m_runningTicket = next.ticket;
    m_link.endBreak();
    emit started(next.ticket, next.kind);
    m_task = next.script ? next.script() : Task<void>();
    const quint64 ticket = next.ticket;
    if (!m_task.isValid()) {
        QMetaObject::invokeMethod(this, [this, ticket] { runningEnded(ticket); }, Qt::QueuedConnection);
        return;
    }
    m_task.whenDone([this, ticket] {
        // Inside the task's last step: the frame is released from the event loop.
        QMetaObject::invokeMethod(this, [this, ticket] { runningEnded(ticket); }, Qt::QueuedConnection);
    });
}

void ModemLine::runningEnded(quint64 ticket)
{
    if (!m_running || ticket != m_runningTicket)
        return;
    m_task = Task<void>();
    m_running = false;
    const Operation kind = m_runningKind;
    m_link.endBreak();
    emit finished(ticket, kind);
    if (m_queue.isEmpty())
        emit idle();
    else
        scheduleNext();
}

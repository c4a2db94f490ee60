#pragma once

#include "core/common/Task.h"
#include "core/link/LinkExchange.h"

#include <QList>
#include <QObject>

#include <functional>
#include <memory>

// The one owner of a modem line: its link, and the operations that talk over it, run one at
// a time in the order they were submitted. Windows, the command-line tool and timers submit
// operations and learn from signals when each starts and ends; nobody else decides whether
// the line is free. A break ends the running operation at whatever step it waits and stays in
// force until that operation is over; the next one starts clean.
class ModemLine : public QObject
{
    Q_OBJECT
public:
    enum class Operation { ModemCheck, Command, FirmwareLoad, SmsSend, Poll, ScenarioSend, Break };
    Q_ENUM(Operation)
    // The script of an operation, started when its turn comes. Its arguments live in its frame:
    // a lambda here returns a member Task called with copies, it never awaits itself.
    using Script = std::function<Task<void>()>;

    explicit ModemLine(QObject *parent = nullptr);
    ~ModemLine() override;

    LinkExchange &link() { return m_link; }
    // How the line is named in reports and the history: the serial port's name, else the device's
    // object name.
    QString portName() const;
    const LinkExchange &link() const { return m_link; }

    // Queues an operation; it starts from the event loop once those before it have ended.
    // Returns its ticket.
    quint64 submit(Operation kind, Script script);
    // A poll is dropped when one already waits in the queue (a slow line must not pile them up).
    bool submitPoll(Script script);
    // The operator's break, for the running operation only.
    void requestBreak();
    // Drops the queued operations of one kind (all kinds when none given), not the running one.
    void dropQueued(std::optional<Operation> kind = std::nullopt);
    // The running operation is abandoned where it waits and the queue emptied; the line stays
    // usable (a window that closes and may open again).
    void abandonAll();
    // The line is going away: the running operation is abandoned where it waits, the queue
    // emptied, the link shut down. Owners call it before the objects the scripts use go.
    void shutdown();

    bool isIdle() const { return !m_running && m_queue.isEmpty(); }
    bool isRunning(Operation kind) const { return m_running && m_runningKind == kind; }
    bool hasQueued(Operation kind) const;
    std::optional<Operation> running() const;

signals:
    void started(quint64 ticket, ModemLine::Operation kind);
    void finished(quint64 ticket, ModemLine::Operation kind);
    // Nothing runs and nothing waits.
    void idle();

private:
    struct Queued
    {
        quint64 ticket;
        Operation kind;
        Script script;
    };
    void scheduleNext();
    void startNext();
    void runningEnded(quint64 ticket);

    LinkExchange m_link;
    QList<Queued> m_queue;
    Task<void> m_task;
    bool m_running = false;
    bool m_startPosted = false;
    bool m_shutdown = false;
    bool m_destroying = false;
    Operation m_runningKind = Operation::Command;
    quint64 m_runningTicket = 0;
    quint64 m_nextTicket = 1;
};

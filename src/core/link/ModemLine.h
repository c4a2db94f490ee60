#pragma once

#include "core/common/Task.h"
#include "core/link/LinkExchange.h"

#include <QHash>
#include <QList>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

// The one owner of a modem line: its link, and the operations that talk over it, run one at
// a time in the order they were submitted. Windows, the command-line tool and timers submit
// operations and learn from signals when each starts and ends; nobody else decides whether
// the line is free. A break ends the running operation at whatever step it waits and stays in
// force until that operation is over; the next one starts clean.
//
// Every submitted operation ends exactly once with finished(ticket, kind, outcome), whatever
// happens to it: run to its end, broken off, dropped from the queue, or submitted to a line
// that is shut down. A submit names the object it belongs to; when that object goes, its
// queued operations are dropped and its running one is run to its end at once, every wait of
// it ending as broken off (its frame is never destroyed mid-way, so its guards and history
// rows still run). Pass an object that goes before whatever the script uses: a member
// declared last in the class whose members the script touches.
class ModemLine : public QObject
{
    Q_OBJECT
public:
    enum class Operation { ModemCheck, Command, FirmwareLoad, SmsSend, Poll, ScenarioSend, Break };
    Q_ENUM(Operation)
    enum class Outcome {
        Done,      // ran to its end
        Failed,    // ran to its end with the port lost, or said it failed (reportFailure)
        BrokenOff, // a break stood while it ended
        Abandoned, // its owner or the line went while it ran: every wait ended at once
        Dropped    // never started
    };
    Q_ENUM(Outcome)
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

    // Queues an operation for owner (nullptr: the line's own); it starts from the event loop once
    // those before it have ended. Returns its ticket.
    quint64 submit(QObject *owner, Operation kind, Script script);
    // A poll is dropped when one already waits in the queue (a slow line must not pile them up).
    bool submitPoll(QObject *owner, Script script);
    // The running operation tells that it failed; its ticket ends as Failed.
    void reportFailure();
    // The operator's break, for the running operation only.
    void requestBreak();
    // Drops the queued operations of one kind (all kinds when none given), not the running one.
    void dropQueued(std::optional<Operation> kind = std::nullopt);
    // The running operation is run to its end at once and the queue emptied; the line stays
    // usable (a window that closes and may open again).
    void abandonAll();
    // The line is going away: as abandonAll, and the link shut down; later submits are dropped.
    void shutdown();

    bool isIdle() const { return !m_running && m_queue.isEmpty(); }
    bool isRunning(Operation kind) const { return m_running && m_runningKind == kind; }
    bool hasQueued(Operation kind) const;
    std::optional<Operation> running() const;
    quint64 runningTicket() const { return m_running ? m_runningTicket : 0; }

signals:
    void started(quint64 ticket, ModemLine::Operation kind);
    void finished(quint64 ticket, ModemLine::Operation kind, ModemLine::Outcome outcome);
    // Nothing runs and nothing waits.
    void idle();

private:
    struct Queued
    {
        quint64 ticket;
        Operation kind;
        QObject *owner;
        Script script;
    };
    void watchOwner(QObject *owner);
    void ownerGone(QObject *owner);
    void dropWhere(const std::function<bool(const Queued &)> &which);
    // Runs the running operation to its end now, every wait ending at once; a frame that waits
    // on something other than the link is cut short.
    void unwindRunning(Outcome outcome);
    void scheduleNext();
    void startNext();
    void runningEnded(quint64 ticket);
    void endRunning(Outcome outcome);

    LinkExchange m_link;
    QList<Queued> m_queue;
    QHash<QObject *, QMetaObject::Connection> m_owners;
    Task<void> m_task;
    bool m_running = false;
    bool m_startPosted = false;
    bool m_shutdown = false;
    bool m_failed = false;
    bool m_unwinding = false;
    Operation m_runningKind = Operation::Command;
    QObject *m_runningOwner = nullptr;
    quint64 m_runningTicket = 0;
    quint64 m_nextTicket = 1;
};

#pragma once

#include "core/common/TerminalTarget.h"

#include "core/app/OperationHistory.h"
#include "core/common/Clock.h"
#include "core/pdu/GprsRecord.h"
#include "core/route/SmsRoute.h"

#include "core/tasks/TaskBook.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

// One profile command for many terminals over one or several modem lines (or a gateway),
// pipelined: the requests go out one after another without waiting for answers (each terminal
// through the line with the fewest terminals so far; a gateway takes them all at once), every line is polled all along and once more when the last
// request is out, and sooner as its route can (a modem's announcement of a stored message, a
// gateway's inbox looked at every few seconds), until each terminal has answered or the wait, counted from the last request
// sent, has passed (and one more poll of every line has looked). Each terminal's outcome is told
// as soon as it is known. A modem line whose modem gives no answer or whose port is lost is taken
// out of the pool: its terminals not yet sent go through the lines still there.
class FleetRun : public QObject
{
    Q_OBJECT
public:
    enum class Job { SendProfile, ReadProfile, SendGprs };
    Q_ENUM(Job)
    // Unknown: a message went whole to the modem and its final answer never came, and the
    // terminal did not answer either; it is not sent again in the same run.
    enum class Outcome { Pending, Done, Refused, SendFailed, NoAnswer, Interrupted, Unknown };
    Q_ENUM(Outcome)

    struct Line
    {
        SmsRoute *route = nullptr;
        QString port; // how the line is named in reports
    };
    using Target = TerminalTarget;
    struct Request
    {
        Job job = Job::ReadProfile;
        QString smsc;
        QByteArray profile;   // SendProfile: the two-block file
        GprsSettings gprs;    // SendGprs
        int waitSeconds = 120;
        // Off: a send is done once it has gone, nothing is polled (one terminal's send, as the
        // window sends). A read always waits for its profile.
        bool awaitAnswers = true;
        Database *history = nullptr; // each terminal's outcome is kept here when given
        TaskBook *tasks = nullptr;   // each terminal's request is a task here when given
        QString fileName;            // SendProfile: the profile file, as the task names it
    };
    struct Result
    {
        Outcome outcome = Outcome::Pending;
        QString port;
        QString detail; // the saved file, or why not
    };

    FleetRun(const QList<Line> &lines, const Request &request, QObject *parent = nullptr);
    ~FleetRun() override;

    // The history's name for what a job does to each terminal.
    static OperationHistory::Operation historyOperation(Job job);

    // Starts the run; every outcome and finished come from the event loop, never inside start().
    void start(const QList<Target> &targets);
    // The operator's interrupt: nothing more is sent, a packet pair under way is completed, no
    // answer is awaited; the terminals not yet settled end as Interrupted once the sends under
    // way have ended.
    void interrupt();
    bool isInterrupted() const { return m_interrupted; }
    bool isFinished() const { return m_left == 0 && m_started; }
    const QList<Target> &targets() const { return m_targets; }
    const QList<Result> &results() const { return m_results; }
    bool allDone() const;
    // Why a line was taken out of the pool, as the operator reads it.
    static QString lineFaultText(SmsRoute::LineFault fault);

signals:
    void terminalFinished(int index);
    // The line is out of the pool; told before the outcomes this leads to.
    void lineDropped(int line, SmsRoute::LineFault fault);
    void finished(bool allDone);

private:
    void sendNext(int line);
    Task<void> send(int index);
    void sent(int index, const SmsRoute::SendResult &result);
    void polled(int lineIndex, const SmsRoute::PollResult &result);
    void pollAll();
    void settle(int index, Outcome outcome, const QString &detail);
    void checkDeadline();
    void settleInterrupted();
    bool awaits() const { return m_request.awaitAnswers || m_request.job == Job::ReadProfile; }
    bool answered(int index, const SmsRoute::PollResult &result, QString &detail);
    void takeOut(int line, SmsRoute::LineFault fault);
    // Queues a terminal not yet sent on the live line with the fewest terminals; false when no
    // line is left.
    bool moveToLiveLine(int index);
    // The routes look at what comes sooner while the run awaits answers.
    void stopAwaitingAnswers();

    QList<Line> m_lines;
    Request m_request;
    QList<Target> m_targets;
    QList<Result> m_results;
    QList<int> m_lineOf;
    QList<QList<int>> m_waiting; // per line, the terminals whose request has not been queued yet
    // The confirmations seen so far, per terminal (a profile needs both of its packets).
    QList<QList<PacketType>> m_confirmed;
    int m_sendsLeft = 0;
    int m_left = 0;
    bool m_started = false;
    bool m_interrupted = false;
    QList<qint64> m_taskIds;   // per terminal: its task, 0 when none
    void createTask(int index);
    // The task's status as the terminal's outcome makes it.
    void settleTask(int index, Outcome outcome, const QString &detail);
    QList<bool> m_sendPassed; // per terminal: its request went out whole
    QList<bool> m_sendUnknown; // per terminal: its message went, the modem never said whether it took it
    QList<bool> m_out;         // per line: taken out of the pool
    QList<int> m_busy;         // per line: its sends submitted and not yet ended
    QDateTime m_lastSent;
    // When the wait is over, every line is polled once more before the silent are told: an answer
    // already in a store counts. Per line, whether that poll has yet to report; it may take at
    // most ClosingPollMs.
    static constexpr int ClosingPollMs = 60000;
    QDateTime m_closingStarted;
    QList<bool> m_closingPolls;
    ClockTimer m_pollTimer;
    ClockTimer m_deadline;
    QList<QMetaObject::Connection> m_connections;
    QList<QPointer<SmsRoute>> m_awaitingOn; // the routes told that the run awaits answers
    // Owns the run's sends on the routes; declared last, it goes first, and the routes run what
    // they still have of ours to the end while the rest of us is there.
    QObject m_operations;
};

#pragma once

#include "core/app/OperationHistory.h"
#include "core/common/Clock.h"
#include "core/common/Task.h"
#include "core/pdu/GprsRecord.h"
#include "core/inbox/ListingSweep.h"
#include "core/pdu/PacketType.h"
#include "core/inbox/ReceivedProfiles.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>

class AppState;
class TaskBook;

// Where the profile transfer's short messages go and its answers come from: a modem line, or
// an SMS gateway's database. The fleet run, the command-line tool and the window's profile
// panel drive either one through this; the records and the rules for answers are the same.
class SmsRoute : public QObject
{
    Q_OBJECT
public:
    static constexpr int PollMs = 10000; // Timer1: the message poll

    // A module send. refusal: the message for the operator when the input was refused and
    // nothing was sent. passed: every message of the send was taken; otherwise failure says what
    // the modem or the gateway answered instead.
    // Why a modem line is of no more use to a run: its modem gave no answer at all, or its port
    // was lost.
    enum class LineFault { None, NoAnswer, PortLost };
    Q_ENUM(LineFault)
    struct SendResult
    {
        QString refusal;
        bool passed = false;
        QString failure;
        // A message went to the modem whole but its final answer never came: the terminal may
        // have it, and sending again could give it twice.
        bool unknown = false;
        // Nothing of the send left the modem: it may go through another line.
        bool nothingSent = false;
        LineFault lineFault = LineFault::None;
    };
    // One message poll.
    struct PollResult
    {
        bool ran = false;    // the store was asked for its messages
        bool listed = false; // the listing ended well
        QDateTime listedAt;  // when the store was asked (a poll under way at a deadline looked before it)
        bool writeFailed = false; // a profile received could not be kept: its messages stay
        bool markFailed = false;  // a gateway's message could not be marked processed: not acted on
        int messages = 0;    // messages read
        QList<ReceivedProfiles::Saved> saved;
        QList<ListingSweep::Outcome::Confirmation> confirmations;
    };

    SmsRoute(AppState &state, QObject *parent = nullptr);

    // How reports and the history name the route: the port, or the gateway's file.
    virtual QString routeName() const = 0;
    virtual Clock &routeClock() const = 0;
    // Runs a send for owner (nullptr: the route's own) when the route is free: one at a time on
    // a modem line, at once on a gateway. When owner goes, its sends that have not started are
    // dropped and the running ones run to their end at once.
    virtual void submitSend(QObject *owner, std::function<Task<void>()> send) = 0;
    // The operator's break for the sends under way: one that has not begun sends nothing, a
    // pair that has begun is completed (the terminal gets both halves or none), and nothing
    // waits for a confirmation.
    virtual void breakSends() = 0;
    // No send is under way or waiting.
    virtual bool sendsIdle() const = 0;
    virtual bool sendsOneAtATime() const = 0;
    // Queues one poll (none when one already waits); pollFinished tells its result.
    virtual bool submitPoll() = 0;
    // The poll every PollMs while on.
    virtual void setPolling(bool on) = 0;
    // A run awaits its terminals' answers from begin to the matching end (calls nest): the route
    // then looks at what came sooner than every PollMs, as it can (a modem line when its modem
    // announces each stored message, a gateway by looking at its inbox more often).
    void beginAwaitingAnswers();
    void endAwaitingAnswers();
    bool awaitingAnswers() const { return m_awaitingAnswers > 0; }

    // btSendSMS: packets 0x33 and 0x35 of a two-block profile file (missing bytes count 0).
    virtual Task<SendResult> sendProfileFile(QString phone, QString smsc, QByteArray file) = 0;
    // Some packets of a profile file only: the rest of one sent in part.
    virtual Task<SendResult> sendProfilePackets(QString phone, QString smsc, QByteArray file,
                                                QList<PacketType> packets) = 0;
    // btSaveSMSToFile: the read requests 0x43 and 0x45.
    virtual Task<SendResult> requestProfile(QString phone, QString smsc) = 0;
    // btSendGPRS: the GPRS settings, packet 0x57.
    virtual Task<SendResult> sendGprs(QString phone, QString smsc, GprsSettings settings) = 0;
    // One poll: read the stored messages, act on the system's packets, save complete profiles
    // and let go of what is safely kept.
    virtual Task<PollResult> pollMessages() = 0;

    // The window's sends: the refusal of the input at once ("" when the send was queued); what
    // the route says comes as log lines, and the outcome goes into the history.
    QString submitProfileFile(const QString &phone, const QString &smsc, const QByteArray &file);
    QString submitProfileRequest(const QString &phone, const QString &smsc);
    QString submitGprs(const QString &phone, const QString &smsc, const GprsSettings &settings);

    // The packets a request of this kind sends (a profile send, a read, GPRS settings), as its
    // task lists them.
    static QList<PacketType> requestPackets(OperationHistory::Operation operation);

    // What a send is said to have done when its message went whole and no final answer came.
    static QString unknownText() { return QStringLiteral("не известно, принято ли"); }

    // A read request left unanswered this long gets "Нет ответа от терминала " + number.
    static constexpr int AnswerWaitSeconds = 600;
    // Reads whose answer is still awaited.
    QStringList awaitedReads() const;

    // Where the tasks are kept (nullptr: none). The route marks each packet of a bound task
    // before it is handed on and after, and every poll resolves the open tasks its answers are for.
    void setTaskBook(TaskBook *tasks) { m_tasks = tasks; }
    // The workstation the route's tasks belong to: this one, as named when the route was made.
    QString workstation() const { return m_workstation; }
    TaskBook *taskBook() const { return m_tasks; }
    // Profiles this workstation left sent in part (a killed process, a failed second packet) are
    // completed before anything else the route is given: the packets that surely did not go are
    // queued first, from each task's own copy of the profile. A packet that may have gone is
    // never sent again; its task fails with why.
    void completeHalfSent();
    // The task the sends to phone belong to, until unbound.
    void bindTask(const QString &phone, qint64 id);
    void unbindTask(const QString &phone);
    qint64 boundTask(const QString &phone) const;

signals:
    void pollFinished(const SmsRoute::PollResult &result);
    // A read request's outcome: its profile saved, or its wait over without an answer.
    void readFinished(const QString &phone, bool saved);

protected:
    // What refuses a module send before anything goes: a bad number or SMS centre ("" when none).
    static QString numberRefusal(const QString &phone, const QString &smsc, const QString &badPhone);
    static QString gprsRefusal(const QString &phone, const QString &smsc, const GprsSettings &settings);
    // "пакет 0x33h"
    static QString packetName(PacketType type);
    // A send of several packets stops at the first that does not go (the terminal would apply
    // half a profile); the operator learns which one, why, and what went before it.
    static QString brokenOffLine(const QString &refusedBy, PacketType failed, const QString &why,
                                 const QStringList &sent);
    // After each poll: what came is kept in the history, saved profiles end their reads and reads
    // whose wait is over end unanswered. The lines for txtCmdInfo are returned.
    QStringList settlePoll(PollResult &result);
    // A read request went: its answer is awaited from now, superseding an earlier request of the
    // terminal. historyRow: the read's row is written when its outcome is known.
    void awaitAnswer(const QString &phone, bool historyRow = false);
    // The terminal's read needs no answer any more.
    void forgetAwaited(const QString &phone);
    // Before a read request goes: the halves kept from the terminal's earlier request are dropped,
    // so that a profile is never joined from two reads. The line to log, or "".
    virtual QString forgetEarlierHalves(const QString &phone) const;

    // The bound task's packet, written before it goes (what a killed process left "sending" is
    // not known to have gone) and after: taken, refused, or gone without a final word.
    void packetGoing(const QString &phone, PacketType type);
    // A line for txtCmdInfo (none by default).
    virtual void cmdInfo(const QString &line) { Q_UNUSED(line) }
    void packetEnded(const QString &phone, PacketType type, bool taken, bool unknown = false);
    // The first begin and the last end of awaiting answers.
    virtual void answersAwaited(bool on) { Q_UNUSED(on) }

    AppState &m_state;
    QString m_workstation;

private:
    // The open tasks the poll's confirmations and profiles answer.
    void resolveTasks(const PollResult &result);
    TaskBook *m_tasks = nullptr;
    QHash<QString, qint64> m_boundTasks;
    // A window's send, kept in the history once the route has had its say.
    // The window's send as a task bound to its number (made before the send begins); 0 when no
    // tasks are kept or it could not be made (said in the log).
    qint64 beginSendTask(OperationHistory::Operation operation, const QString &phone, const QByteArray &payload);
    Task<void> sendAndRecord(OperationHistory::Operation operation, QString phone, qint64 taskId, Task<SendResult> send);
    struct AwaitedRead
    {
        QString phone;
        QDateTime sent;
        bool historyRow = false;
        qint64 taskId = 0; // the read's task, when bound
    };
    Task<void> completeTask(qint64 id, QString number, QByteArray payload, QList<PacketType> packets);
    QSet<qint64> m_completing; // tasks whose rest is queued or going: never queued twice
    // Reads whose task another workstation (or process) confirmed with the profile: saved here
    // too, as if this poll had read it.
    void adoptProfilesReadElsewhere(PollResult &result, QStringList &lines);
    QList<AwaitedRead> m_awaitedReads;
    int m_awaitingAnswers = 0;
};

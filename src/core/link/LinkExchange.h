#pragma once

#include "core/common/Clock.h"
#include "core/common/Task.h"
#include "core/link/LinkDisplay.h"
#include "core/link/LinkPort.h"
#include "core/link/SmsChannel.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// One serial link without its widgets: its port and routing (LinkPort), what it shows
// (LinkDisplay), its SMS prompt and listing (SmsChannel), and the command/response exchanges
// with the modem. An exchange is a Task: the caller awaits it, and it is resumed from the event
// loop when the answer, the time-out, a break or the loss of the port ends it. Only one
// conversation runs on a link at a time (ModemLine sees to that).
class LinkExchange : public QObject
{
    Q_OBJECT
public:
    using Traffic = LinkDisplay::Traffic;
    using Route = LinkPort::Route;
    // How the last exchange ended.
    enum class ReplyState { Waiting, Answered, TimedOut, Broken, PortLost };
    Q_ENUM(ReplyState)
    enum class Timer { Reply, Delay };
    Q_ENUM(Timer)

    explicit LinkExchange(QObject *parent = nullptr);
    ~LinkExchange() override;

    LinkPort &port() { return m_port; }
    LinkDisplay &display() { return m_display; }
    SmsChannel &sms() { return m_sms; }

    // Where the time-outs and pauses take their time from (the system clock by default).
    void setClock(Clock *clock);
    Clock &clock() const { return *m_clock; }
    // A system clock of the link's own with every interval multiplied by scale: end-to-end
    // runs against the simulator shorten their waits with it.
    void setTimeScale(double scale);

    // An operation's hold on the routing (a load, a send, the poll): its answers reach it whatever
    // mode the window shows, and switching modes meanwhile changes only what is shown.
    class RouteHold
    {
    public:
        RouteHold(LinkExchange &link, Route route) : m_port(link.port()) { m_port.holdRoute(route); }
        ~RouteHold() { m_port.releaseRoute(); }
        RouteHold(const RouteHold &) = delete;
        RouteHold &operator=(const RouteHold &) = delete;

    private:
        LinkPort &m_port;
    };

    // The receiver's answer as it stood when it completed the last exchange. Bytes that
    // follow (an unsolicited "+CMTI", "RING") no longer change it; they are logged and
    // stay for the next exchange.
    struct Answer
    {
        QString word;   // text mode: the final word
        QString remain; // text mode: the lines before it
        QString data;   // data mode: the bytes collected, one character per byte
        int index = 0;  // data mode: which expected answer matched, 0 = none
    };
    ReplyState replyState() const { return m_replyState; }
    const Answer &lastAnswer() const { return m_answer; }
    bool replyTimerActive() const { return m_tmrReply.isActive(); }

    // A command and the modem's final answer: true when it starts with one of the expected
    // texts (compared upper-cased; none expected takes any answer).
    Task<bool> sendCommand(QString command, QStringList expected, int timeoutMs);
    Task<bool> sendCommand(const QString &command, const QString &expected, int timeoutMs)
    {
        return sendCommand(command, QStringList{expected}, timeoutMs);
    }
    // A packet and a raw answer: one of the expected texts, or expectedLength bytes. An empty
    // packet only waits.
    Task<bool> sendData(QByteArray packet, QStringList expected, int timeoutMs, int expectedLength);
    Task<bool> TestCmdMode();
    Task<void> Send3Plus();
    Task<void> Delay(int iDelay);
    // Waits until condition() holds, re-asked at every notify(); also ends on a break, the
    // loss of the port or shutdown.
    Task<void> waitFor(std::function<bool()> condition);
    void notify() { wake(); }

    // The operator's break: the waiting exchange or pause ends at once, and every further
    // one of the running operation ends as broken off until endBreak().
    void requestBreak();
    bool breakRequested() const { return m_breakRequested; }
    // The break of the running operation has been said in the log ("Прервано пользователем ").
    bool breakLogged() const { return m_breakLogged; }
    // The operation that was broken off has ended: the next one starts clean.
    void endBreak();
    // Steps that must reach the line despite a break (the escape and hang-up that leave a
    // data call) run while a Shield stands.
    class Shield
    {
    public:
        explicit Shield(LinkExchange &link) : m_link(link) { ++m_link.m_shields; }
        ~Shield() { --m_link.m_shields; }
        Shield(const Shield &) = delete;
        Shield &operator=(const Shield &) = delete;

    private:
        LinkExchange &m_link;
    };
    // The conversation that waited here was abandoned: its timers stop, the break and the
    // prompt are forgotten; the link takes the next exchange as new.
    void abandonWaits();
    // Its owner is going: every wait of the running conversation ends at once, shielded steps
    // included, so that it can be run to its end right now (resumeWaiterNow) rather than destroyed.
    void beginUnwind();
    void endUnwind();
    bool unwinding() const { return m_unwinding; }
    // Resumes the conversation waiting here in the caller's stack; false when none waits.
    bool resumeWaiterNow();
    // The link is going away: every wait ends now and no further exchange starts.
    void shutdown();
    bool isShutdown() const { return m_shutdown; }
    // An exchange is waiting for its answer.
    bool exchangeWaiting() const { return m_commandWaits > 0; }

signals:
    // A timer was started with this interval before scaling (the order of waits, for tests).
    void timerArmed(LinkExchange::Timer timer, int nominalMs);

private:
    // Suspends the awaiting conversation until wake() (queued, so it goes on from the event
    // loop and never inside the byte handler or a timer that woke it).
    struct WakeAwaiter
    {
        LinkExchange &link;
        std::coroutine_handle<> handle;
        bool await_ready() const noexcept { return false; }
        void await_suspend(std::coroutine_handle<> h) noexcept
        {
            handle = h;
            link.m_waiter = h;
        }
        void await_resume() noexcept { handle = {}; }
        ~WakeAwaiter()
        {
            // Abandoned while waiting (the operation was dropped): the link must not resume it.
            if (handle && link.m_waiter == handle)
                link.m_waiter = {};
        }
    };
    void wake();
    void replyTimedOut();
    void tmrDelay_Timer();
    void receiver_dataready();
    void receiver_listLine();
    void attachReceiver(clsReceive *receiver);
    void portWentAway();
    // Starts the reply timer for an exchange; false when it cannot start (shut down, port
    // lost, broken off).
    bool beginExchange(QStringList &expected, int timeoutMs, int periods);
    Task<void> waitForReply();
    bool breakBinds() const { return m_unwinding || (m_breakRequested && m_shields == 0); }
    // The result of a finished wait, with the log line of a failure.
    bool finishExchange(bool passed, const QString &rejectedLine);
    static bool answerPasses(const QString &answer, const QStringList &expected);
    void armTimer(ClockTimer &timer, Timer which, int ms);

    // First, so that it outlives every timer of the members below.
    std::unique_ptr<SystemClock> m_ownClock;
    LinkDisplay m_display;
    SmsChannel m_sms;
    LinkPort m_port;
    Clock *m_clock = &Clock::system();
    ClockTimer m_tmrReply{this};
    ClockTimer m_tmrDelay{this};
    qint16 m_replyPeriods = 0;
    qint16 m_replyPeriodsLeft = 0;
    ReplyState m_replyState = ReplyState::Waiting;
    Answer m_answer;
    bool m_breakRequested = false;
    bool m_breakLogged = false;
    bool m_unwinding = false;
    int m_shields = 0;
    bool m_delayRunning = false;
    std::coroutine_handle<> m_waiter;
    bool m_resumePosted = false;
    int m_commandWaits = 0;
    bool m_shutdown = false;
};

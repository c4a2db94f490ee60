#pragma once

#include "core/common/Clock.h"
#include "core/common/Task.h"
#include "core/link/clsReceive.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include <QIODevice>

// One serial link without its widgets: the receive handler that logs and routes every
// byte, the send primitives and the command/response exchanges with the modem. An exchange
// is a Task: the caller awaits it, and it is resumed from the event loop when the answer,
// the time-out, a break or the loss of the port ends it. Only one conversation runs on a
// link at a time (ModemLine sees to that). All log output leaves as signals.
class LinkExchange : public QObject
{
    Q_OBJECT
public:
    enum class Traffic { Received, Sent, Mark };
    Q_ENUM(Traffic)

    // How the last exchange ended.
    enum class ReplyState { Waiting, Answered, TimedOut, Broken, PortLost };
    Q_ENUM(ReplyState)
    // Where received bytes go besides the log: the selected mode of the link window.
    enum class Route { Nobody = -1, Receiver = 0, Scenario = 1, AddressBook = 2 };
    Q_ENUM(Route)
    enum class Timer { Reply, Delay };
    Q_ENUM(Timer)

    explicit LinkExchange(QObject *parent = nullptr);
    ~LinkExchange() override;

    // The port (not owned). Received bytes are handled from the event loop. A serial port
    // that reports a resource error (unplugged) or a device that reaches its end is closed
    // and counts as lost: the waiting exchange fails at once, later ones fail without waiting.
    void setDevice(QIODevice *device);
    QIODevice *device() const { return m_device; }
    bool isPortLost() const { return m_portLost; }

    clsReceive *receiver() const { return m_receiver; }
    // Replaces the receiver by a fresh one (each activation of the window).
    clsReceive *newReceiver();

    // Mirrors of window state that decide logging and routing.
    void setEcho(bool on) { m_echo = on; }           // chkEcho
    void setRoute(Route route) { m_route = route; }  // OptIndex
    Route windowRoute() const { return m_route; }
    // Where bytes go now: the running operation's route while one holds it, else the window's mode.
    Route route() const { return m_operationRoutes.isEmpty() ? m_route : m_operationRoutes.last(); }

    // An operation's hold on the routing (a load, a send, the poll): its answers reach it whatever
    // mode the window shows, and switching modes meanwhile changes only what is shown.
    class RouteHold
    {
    public:
        RouteHold(LinkExchange &link, Route route) : m_link(link) { m_link.m_operationRoutes.append(route); }
        ~RouteHold() { m_link.m_operationRoutes.removeLast(); }
        RouteHold(const RouteHold &) = delete;
        RouteHold &operator=(const RouteHold &) = delete;

    private:
        LinkExchange &m_link;
    };

    // The SMS body to send, followed by Ctrl-Z, when the modem's ">" prompt arrives.
    // The exchange of the "AT+CMGS=" command that follows then waits for the modem's final
    // answer to the message itself.
    void armSmsPrompt(const QString &body);
    // No body is waiting for a prompt any more (the send is over, whatever its outcome).
    void clearSmsPrompt();
    bool smsPromptPending() const { return m_smsPromptPending; }
    // While set, the receiver also collects a message listing into smsList().
    void setSmsListing(bool on) { m_smsListing = on; }
    bool smsListing() const { return m_smsListing; }
    const SmsTable &smsList() const { return m_smsList; }
    // The listing table before a new listing: two rows by one empty column.
    void clearSmsList();

    // Where the time-outs and pauses take their time from (the system clock by default).
    void setClock(Clock *clock);
    Clock &clock() const { return *m_clock; }
    // A system clock of the link's own with every interval multiplied by scale: end-to-end
    // runs against the simulator shorten their waits with it.
    void setTimeScale(double scale);
    ReplyState replyState() const { return m_replyState; }

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
    const Answer &lastAnswer() const { return m_answer; }
    bool replyTimerActive() const { return m_tmrReply.isActive(); }

    void SendString(const QString &sOut);
    void SendStringCR(const QString &sOut);
    // Binary data (boot-loader packets): every byte reaches the port unchanged.
    void sendBytes(const QByteArray &bytes);

    // A command and the modem's final answer: true when it starts with one of the expected
    // texts (up to three, compared upper-cased; none expected takes any answer).
    Task<bool> sendCommand(QString sCMD, QStringList expected, int iTimeOut);
    Task<bool> sendCommand(const QString &sCMD, const QString &expected, int iTimeOut)
    {
        return sendCommand(sCMD, QStringList{expected}, iTimeOut);
    }
    // A packet and a raw answer: one of the expected texts, or LengthIn bytes. An empty
    // packet only waits.
    Task<bool> sendData(QByteArray packet, QStringList expected, int iTimeOut, int LengthIn);
    Task<bool> TestCmdMode();
    Task<void> Send3Plus();
    Task<void> Delay(int iDelay);

    // The operator's break: the waiting exchange or pause ends at once, and every further
    // one of the running operation ends as broken off until endBreak().
    void requestBreak();
    bool breakRequested() const { return m_breakRequested; }
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
    // Waits until condition() holds, re-asked at every notify(); also ends on a break, the
    // loss of the port or shutdown.
    Task<void> waitFor(std::function<bool()> condition);
    void notify() { wake(); }
    // The conversation that waited here was abandoned: its timers stop, the break and the
    // prompt are forgotten; the link takes the next exchange as new.
    void abandonWaits();
    // The link is going away: every wait ends now and no further exchange starts.
    void shutdown();
    bool isShutdown() const { return m_shutdown; }
    // An exchange is waiting for its answer.
    bool exchangeWaiting() const { return m_commandWaits > 0; }

    // Log helpers for the other parts of the link.
    void appendInfo(const QString &text) { emit infoLine(text); }
    void appendCmdInfo(const QString &text) { emit cmdInfoLine(text); }
    void logMark(const QString &text);

    // The last bytes received (a few hundred at most), to tell afterwards what a failed wait missed.
    const QByteArray &recentlyReceived() const { return m_recent; }
    void clearRecentlyReceived() { m_recent.clear(); }

    bool txLamp() const { return m_txLamp; }
    bool rxLamp() const { return m_rxLamp; }

    // The port's receive handler: drains the device byte by byte.
    void MSComm1_OnComm();

signals:
    // Text for the traffic log txtInOut, already formatted for the receiver's mode.
    void traffic(const QString &text, LinkExchange::Traffic kind);
    // A line for txtinfo (ends with "\r\n" as written by the exchanges).
    void infoLine(const QString &text);
    // A line for txtCmdInfo.
    void cmdInfoLine(const QString &text);
    void lampsChanged(bool tx, bool rx);
    // The port went away (reason as the system tells it); it has been closed.
    void portLost(const QString &reason);
    // A received byte while the profile transfer mode is selected and no exchange waits.
    void scenarioByte(quint8 b);
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
    void tmrReply_Timer();
    void tmrDelay_Timer();
    void receiver_dataready();
    void receiver_listLine();
    void attachReceiver(clsReceive *receiver);
    // Starts the reply timer for an exchange; false when it cannot start (shut down, port
    // lost, broken off).
    bool beginExchange(QStringList &expected, int iTimeOut, int periods);
    Task<void> waitForReply();
    bool breakBinds() const { return m_breakRequested && m_shields == 0; }
    bool echoAsText() const;
    void setLamps(bool tx, bool rx);
    void flushReceived();
    void emitTraffic(const QString &text, Traffic kind);
    void writeBytes(const QByteArray &bytes);
    void loseDevice(const QString &reason);
    // The result of a finished wait, with the log line of a failure.
    bool finishExchange(bool passed, const QString &rejectedLine);
    static bool answerPasses(const QString &answer, const QStringList &expected);
    void armTimer(ClockTimer &timer, Timer which, int ms);

    Clock *m_clock = &Clock::system();
    std::unique_ptr<SystemClock> m_ownClock;
    ClockTimer m_tmrReply{this};
    ClockTimer m_tmrDelay{this};
    qint16 m_replyPeriods = 0;
    qint16 m_replyPeriodsLeft = 0;
    ReplyState m_replyState = ReplyState::Waiting;
    Answer m_answer;
    bool m_breakRequested = false;
    bool m_breakLogged = false;
    int m_shields = 0;
    bool m_delayRunning = false;
    std::coroutine_handle<> m_waiter;
    bool m_resumePosted = false;
    bool m_echo = false;
    Route m_route = Route::Receiver;
    QList<Route> m_operationRoutes;
    bool m_smsPromptPending = false;
    bool m_smsListing = false;
    QString m_vSMS;
    SmsTable m_smsList;
    QPointer<QIODevice> m_device;
    bool m_portLost = false;
    // Keeps the Rx lamp lit for a moment after bytes arrive, so an operator can see it.
    ClockTimer m_rxLampTimer{this};
    QPointer<clsReceive> m_receiver;
    QString m_pendingReceived;
    int m_commandWaits = 0;
    bool m_shutdown = false;
    QByteArray m_recent;
    bool m_txLamp = false;
    bool m_rxLamp = false;
};

#pragma once

#include "core/link/clsReceive.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <QIODevice>

// The serial link of the link window without its widgets: the receive handler
// that logs and routes every byte, the send primitives and the blocking
// command/response exchanges with the modem. Waiting runs nested event loops,
// so the interface (and further exchanges started from its handlers) keep running.
// All log output leaves as signals; the window renders them.
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

    // Every timer interval is multiplied by this (1 in the program); tests run long
    // time-outs in milliseconds with it.
    void setTimeScale(double scale) { m_timeScale = scale; }
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
    bool delayRunning() const { return m_delayRunning; }

    void SendString(const QString &sOut);
    void SendStringCR(const QString &sOut);
    // Binary data (boot-loader packets): every byte reaches the port unchanged.
    void sendBytes(const QByteArray &bytes);

    // Expected texts are upper-cased in the caller's variables, as the callers rely on.
    bool sendCommand(const QString &sCMD, QString &sRepl1, QString &sRepl2, QString &sRepl3, int iTimeOut);
    bool sendCommand(const QString &sCMD, const QString &expected, int iTimeOut);
    bool sendData(const QString &sCMD, QString &sRepl1, QString &sRepl2, QString &sRepl3, int iTimeOut,
                  int LengthIn);
    // The same exchange for a binary packet; an empty packet only waits.
    bool sendData(const QByteArray &packet, QString &sRepl1, QString &sRepl2, QString &sRepl3, int iTimeOut,
                  int LengthIn);
    bool TestCmdMode();
    void Send3Plus();
    void Delay(int iDelay);

    // The user's break ("Прервать передачу"): the waiting exchange ends as broken off.
    void requestAbort();
    // The window is closing: every wait ends now and no further exchange starts.
    void shutdown();
    bool isShutdown() const { return m_shutdown; }
    // Number of exchanges and pauses currently waiting (nested ones count each).
    int waitDepth() const { return m_waitDepth; }
    // Number of exchanges (not pauses) currently waiting for an answer.
    int commandWaits() const { return m_commandWaits; }

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
    // Internal: something a waiting loop may be waiting for has changed.
    void wake();

private:
    void tmrReply_Timer();
    void tmrDelay_Timer();
    void receiver_dataready();
    void receiver_listLine();
    void attachReceiver(clsReceive *receiver);
    // Starts the reply timer for an exchange; false once the link is shut down.
    bool beginExchange(QString &sRepl1, QString &sRepl2, QString &sRepl3, int iTimeOut, int periods);
    // One nested event loop, until something a wait may be waiting for changes.
    void waitForWake();
    void waitForReply();
    bool echoAsText() const;
    void setLamps(bool tx, bool rx);
    void flushReceived();
    void emitTraffic(const QString &text, Traffic kind);
    void writeBytes(const QByteArray &bytes);
    void loseDevice(const QString &reason);
    // The result of a finished wait, with the log line of a failure.
    bool finishExchange(bool passed, const QString &rejectedLine);
    static bool answerPasses(const QString &answer, const QString &r1, const QString &r2, const QString &r3);
    // The 16-bit interval of the timers, scaled.
    int interval(int ms) const;
    void armTimer(QTimer &timer, Timer which, int ms);

    QTimer m_tmrReply;
    QTimer m_tmrDelay;
    qint16 m_replyPeriods = 0;
    qint16 m_replyPeriodsLeft = 0;
    ReplyState m_replyState = ReplyState::Waiting;
    Answer m_answer;
    bool m_abortRequested = false;
    bool m_delayRunning = false;
    double m_timeScale = 1.0;
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
    QTimer m_rxLampTimer;
    QPointer<clsReceive> m_receiver;
    QString m_pendingReceived;
    int m_waitDepth = 0;
    int m_commandWaits = 0;
    bool m_shutdown = false;
    QByteArray m_recent;
    bool m_txLamp = false;
    bool m_rxLamp = false;
};

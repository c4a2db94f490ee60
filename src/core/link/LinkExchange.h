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

    enum : qint32 { StateWaiting = 0, StateAnswered = 1, StateTimedOut = 3, StateBroken = 4 };

    explicit LinkExchange(QObject *parent = nullptr);
    ~LinkExchange() override;

    // The port (not owned). Received bytes are handled from the event loop.
    void setDevice(QIODevice *device);
    QIODevice *device() const { return m_device; }

    clsReceive *receiver() const { return m_receiver; }
    // Replaces the receiver by a fresh one (each activation of the window).
    clsReceive *newReceiver();

    // Mirrors of window state that decide logging and routing.
    bool echo = false;        // chkEcho
    int selectedMode = 0;     // index of the selected OptIndex option, -1 when none
    bool SmsPromptPending = false;
    bool SmsListing = false;
    QString vSMS;             // SMS body sent when the modem's ">" prompt arrives
    SmsTable SmsList;         // filled by the receiver while SmsListing is set

    // Exchange state.
    qint32 ReplyState = StateWaiting;
    qint16 ReplyPeriodsLeft = 0;
    bool AbortRequested = false;
    bool DelayRunning = false;
    QTimer tmrReply;
    QTimer tmrDelay;

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
    bool isShutDown() const { return m_shutdown; }
    // Number of exchanges and pauses currently waiting (nested ones count each).
    int waitDepth() const { return m_waitDepth; }

    // Log helpers for the other parts of the link.
    void appendInfo(const QString &text) { emit infoLine(text); }
    void appendCmdInfo(const QString &text) { emit cmdInfoLine(text); }
    void logMark(const QString &text);

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
    // A received byte while the profile transfer mode is selected.
    void scenarioByte(quint8 b);
    // Internal: something a waiting loop may be waiting for has changed.
    void wake();

private:
    void tmrReply_Timer();
    void tmrDelay_Timer();
    void receiver_dataready();
    void attachReceiver(clsReceive *receiver);
    // Starts the reply timer for an exchange; false once the link is shut down.
    bool beginExchange(QString &sRepl1, QString &sRepl2, QString &sRepl3, int iTimeOut, int periods);
    // One nested event loop, until something a wait may be waiting for changes.
    void waitForWake();
    void waitForReply();
    bool echoAsText() const;
    static QString hexEcho(const QByteArray &bytes);
    void setLamps(bool tx, bool rx);
    void flushReceived();
    void emitTraffic(const QString &text, Traffic kind);
    void writeBytes(const QByteArray &bytes);
    // The result of a finished wait, with the log line of a failure.
    bool finishExchange(bool passed, const QString &rejectedLine);
    static bool answerPasses(const QString &answer, const QString &r1, const QString &r2, const QString &r3);
    static int clampInterval(int ms);

    QPointer<QIODevice> m_device;
    QPointer<clsReceive> m_receiver;
    QString m_pendingReceived;
    int m_waitDepth = 0;
    bool m_shutdown = false;
    bool m_txLamp = false;
    bool m_rxLamp = false;
};

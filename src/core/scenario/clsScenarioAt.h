#pragma once

#include "core/common/Clock.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>

class LinkExchange;

// Short AT dialogues with the modem that never block the interface: the engine collects
// what the modem sends (in the profile mode of the link window), recognises the expected
// final answers, brings a modem that stopped answering back with a break-in ("+++", then
// "AT") and sends one SMS in PDU mode. A watchdog counted in ticks of tmrSecond guards
// every dialogue.
class clsScenarioAt : public QObject
{
    Q_OBJECT
public:
    enum class Status { Idle = 0, BreakIn = 1, Halted = 3, SmsSend = 4 };
    Q_ENUM(Status)
    enum class SmsStep { None = 0, WaitPrompt = 1, WaitOk = 2, WaitPduMode = 3 };
    Q_ENUM(SmsStep)

    static constexpr int BufferLimit = 2000;
    static constexpr int ExpectSlots = 11;
    static constexpr int DefaultTimeoutTicks = 5;
    static constexpr int BreakPauseMs = 1600;
    // The TPDU length of a scenario PDU to an 11-digit number.
    static constexpr int DefaultCmgsLength = 154;

    explicit clsScenarioAt(LinkExchange &link, QObject *parent = nullptr);

    Status ScATStatus() const { return m_status; }
    void setScATStatus(Status status);
    // Busy with a dialogue of its own (a break-in or an SMS send).
    bool busy() const { return m_breakPausing || m_status == Status::BreakIn || m_status == Status::SmsSend; }

    // Arms the watchdog: the dialogue fails after this many ticks.
    void RaiseAtCommandTimeout(int ticks = DefaultTimeoutTicks);
    static QString crunchString(const QString &sIn);
    // The last line: the text after the last CR, and of that the text after the last LF.
    static QString LastArg(const QString &sIn);
    // 1 when the last line of sIn (CR/LF trimmed, upper-cased) equals s1, else 0. "ERROR"
    // also takes the modem's numbered reports "+CMS ERROR: n" and "+CME ERROR: n".
    static int FindAnswer(const QString &sIn, const QString &s1);
    // With a PDU: starts the send ("AT+CMGS=" + cmgsLength, the TPDU octets of the PDU).
    // With an empty PDU: the modem's answer for the step in progress.
    void SMSSendSMGS(const QString &pdu, const QString &answer, int cmgsLength = DefaultCmgsLength);
    // Empty input starts a break-in; anything else is the modem's answer that ends it.
    void Break4Phone(const QString &sInput);
    void ByteArrive(quint8 byte);
    // One watchdog step, once a second.
    void Tick();

    const QString &receiveBuffer() const { return m_receiveBuffer; }
    QStringList expected() const;
    int countdown() const { return m_countdown; }
    int recoveryCount() const { return m_recoveryCount; }
    SmsStep smsStep() const { return m_smsStep; }
    bool breakActive() const { return m_breakActive; }

signals:
    void EventBreak4Phone(const QString &text);
    void ErrorInSerialCommunicate();
    void ErrorInCommand(const QString &text);
    void DataSend(const QString &text);
    void statusChanged(clsScenarioAt::Status status);

private:
    void setExpect(const QStringList &texts);
    // The engine cannot bring the modem back: it halts and says so.
    void giveUp();
    // The break-in's guard times: "+++" after the first, "AT" after the second. One handler that
    // reads the step, so that no timer call replaces the closure it runs in.
    void breakTimer_Timer();

    LinkExchange &m_link;
    Status m_status = Status::Idle;
    QString m_receiveBuffer;
    std::array<QString, ExpectSlots> m_expect;
    int m_expectCount = 0;
    int m_countdown = 0;
    int m_recoveryCount = 0;
    SmsStep m_smsStep = SmsStep::None;
    QString m_pendingPdu;
    int m_cmgsLength = 0;
    bool m_breakActive = false;
    // Between the start of a break-in and its "AT": the guard pauses around "+++".
    bool m_breakPausing = false;
    ClockTimer m_breakTimer{this};
    bool m_plusSent = false; // the break-in's "+++" has gone, its second guard time runs
};

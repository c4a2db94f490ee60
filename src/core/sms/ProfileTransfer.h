#pragma once

#include "core/app/UserPrompts.h"
#include "core/sms/ActiveScenarios.h"
#include "core/sms/GprsRecord.h"
#include "core/sms/PacketType.h"
#include "core/sms/ReceivedProfiles.h"
#include "core/sms/TransferRecord.h"
#include "core/sms/TransmitQueue.h"
#include "core/sms/clsScenarioAt.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QObject>

#include <functional>
#include <QStringList>
#include <QTimer>

class AppState;
class LinkExchange;

// The profile transfer of the link window without its widgets: profile files, read requests
// and GPRS settings sent by SMS through the link's exchanges, profile scenarios queued and
// sent by the scenario engine, and the message poll that decodes the terminals' answers,
// saves complete profiles under BIN and deletes what it listed. Log lines for txtCmdInfo
// leave through the link (LinkExchange::cmdInfoLine); the window and the command-line tool
// both drive this class.
class ProfileTransfer : public QObject
{
    Q_OBJECT
public:
    static constexpr int SecondMs = 1000; // tmrSecond: the engine's watchdog and the queue
    static constexpr int PollMs = 10000;  // Timer1: the message poll
    static constexpr int CmgsTimeoutMs = 20000;
    static constexpr int StoreTimeoutMs = 2000; // listing and deleting stored messages, the PDU mode

    // A module send. refusal: the message for the operator when the input was refused and
    // nothing was sent. passed: every "AT+CMGS=" exchange ended with the modem's "OK".
    struct SendResult
    {
        QString refusal;
        bool passed = false;
    };
    // One message poll.
    struct PollResult
    {
        bool ran = false;    // the modem was asked for its messages
        bool listed = false; // "AT+CMGL=4" ended with "OK"
        int messages = 0;    // listed messages with a PDU line (each one deleted after)
        QList<ReceivedProfiles::Saved> saved;
    };

    ProfileTransfer(LinkExchange &link, AppState &state, QObject *parent = nullptr);
    ~ProfileTransfer() override;

    // Every interval of tmrSecond and Timer1 is multiplied by this (1 in the program).
    void setTimeScale(double scale);
    QTimer &tmrSecond() { return m_tmrSecond; }
    QTimer &Timer1() { return m_timer1; }

    // The window loads: tmrSecond starts.
    void Form_Load();
    // The window becomes active: answers not yet complete are forgotten.
    void Form_Activate();
    // The window closes: the first scenario is dropped, the queue emptied, the timers stop.
    void Form_QueryUnload();
    // Check1: Timer1 runs exactly while polling is on.
    void setPolling(bool on);
    bool polling() const { return m_timer1.isActive(); }

    clsScenarioAt &scenarioAt() { return m_scAt; }
    ActiveScenarios &activeScenarios() { return m_scenarios; }
    TransmitQueue &transmitQueue() { return m_queue; }
    ReceivedProfiles &receivedProfiles() { return m_profiles; }

    // btSendSMS: packets 0x33 and 0x35 of a two-block profile file (missing bytes count 0).
    SendResult sendProfileFile(const QString &phone, const QString &smsc, QByteArrayView file);
    // btSaveSMSToFile: the read requests 0x43 and 0x45.
    SendResult requestProfile(const QString &phone, const QString &smsc);
    // A read request left unanswered this long gets "Нет ответа от терминала " + number.
    static constexpr int AnswerWaitSeconds = 600;
    // The wall clock the unanswered requests are timed by (tests set their own).
    void setClock(const std::function<QDateTime()> &now) { m_now = now; }
    // btSendGPRS: the GPRS settings, packet 0x57.
    SendResult sendGprs(const QString &phone, const QString &smsc, const GprsSettings &settings);
    // One packet of the module path; da and sc are made by PhoneToPdu. True when the modem
    // took the message ("OK" after "+CMGS: n").
    bool SendTransferRecord(const QString &da, const QString &sc, PacketType type, QByteArrayView source);

    // cmdSendProfile: the image being edited goes to a new profile scenario whose two PDUs
    // join the transmit queue. A running scenario is stopped only when the operator agrees.
    // The result is the error text to show ("" when none).
    QString startProfileScenario(const QString &phone, const QString &smsc, UserPrompts &prompts);
    // Before the profile mode is shown: a queued scenario is stopped only when the operator
    // agrees (false keeps the frames as they are). The poll's own switch asks nothing.
    bool confirmProfileMode(UserPrompts &prompts);
    // Command1: the engine breaks into the modem.
    void breakIn();

    // Timer1: list the stored messages, act on the system's packets, save complete profiles
    // and delete every listed message. Skipped while the poll is held off, an exchange waits
    // or the engine is in a dialogue of its own.
    PollResult pollMessages();
    // tmrSecond: the engine's watchdog, then the transmit queue.
    void secondTick();
    bool DeleteSMS(const QString &aStrNumber);

private:
    SendResult sendRecords(const QString &phone, const QString &smsc, const QList<PacketType> &types, const QString &sentLine,
                           QByteArrayView file, const QString &badPhone);
    bool sendRecord(const QString &da, const QString &sc, const TransferRecord &rec);
    // A module send must not fall into the engine's own SMS dialogue.
    void waitForScenarioDialogue();
    void stopScenario(const QString &key);
    // "AT+CMGF=0" before every SMS operation: a modem left in text mode would take "AT+CMGS=n"
    // for a text to the number n. False, with a line, when the modem does not take it.
    bool ensurePduMode();
    // The modem's final answer to the last exchange, or "нет ответа".
    QString modemReport() const;
    void queueFinished(const clsQueueForTrans &item, bool sent);
    void cmdInfo(const QString &line);
    int scaled(int ms) const;

    LinkExchange &m_link;
    AppState &m_state;
    clsScenarioAt m_scAt;
    TransmitQueue m_queue;
    ActiveScenarios m_scenarios;
    ReceivedProfiles m_profiles;
    // Read requests sent and not answered yet, with the time each went.
    struct Awaited
    {
        QString phone;
        QDateTime sent;
    };
    QList<Awaited> m_awaited;
    std::function<QDateTime()> m_now = [] { return QDateTime::currentDateTimeUtc(); };
    // The terminal's read request needs no answer any more (it came, or a new request replaced it).
    void forgetAwaited(const QString &phone);
    QTimer m_tmrSecond;
    QTimer m_timer1;
    double m_timeScale = 1.0;

};

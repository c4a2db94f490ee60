#pragma once

#include "core/app/HistoryRow.h"
#include "core/app/OperationHistory.h"
#include "core/common/Clock.h"
#include "core/common/Task.h"
#include "core/link/ModemLine.h"
#include "core/scenario/ActiveScenarios.h"
#include "core/pdu/GprsRecord.h"
#include "core/inbox/ListingSweep.h"
#include "core/pdu/PacketType.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/pdu/TransferRecord.h"
#include "core/scenario/TransmitQueue.h"
#include "core/scenario/clsScenarioAt.h"
#include "core/route/SmsRoute.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <map>
#include <memory>

class AppState;

// The modem route: profile files, read requests and GPRS settings sent by SMS through the
// link's exchanges, profile scenarios queued and sent by the scenario engine, and the message
// poll that lists the modem's store, hands the messages to the sweep and deletes what it
// safely kept. Every conversation runs as an operation of the modem line. Log lines for
// txtCmdInfo leave through the link's display (LinkDisplay::cmdInfoLine); the window and the
// command-line tool both drive this class.
class ProfileTransfer : public SmsRoute
{
    Q_OBJECT
public:
    static constexpr int SecondMs = 1000; // tmrSecond: the engine's watchdog and the queue
    static constexpr int CmgsTimeoutMs = 20000;
    static constexpr int StoreTimeoutMs = 2000; // listing and deleting stored messages, the PDU mode
    // Asked of the modem while a run awaits answers: each message it stores is announced
    // ("+CMTI: ..."), held back while the line is in a data call; no broadcasts, no reports.
    static constexpr char AnnounceCommand[] = "AT+CNMI=2,1,0,0,0";

    ProfileTransfer(ModemLine &line, AppState &state, QObject *parent = nullptr);
    ~ProfileTransfer() override;

    // tmrSecond, Timer1 and the unanswered requests run on this clock (the link's by default).
    void setClock(Clock *clock);
    const ClockTimer &tmrSecond() const { return m_tmrSecond; }
    const ClockTimer &Timer1() const { return m_timer1; }

    // tmrSecond starts: the engine's watchdog and the transmit queue run.
    void start();
    // Answers not yet complete are forgotten (the window shows itself again).
    void forgetIncompleteAnswers();
    // The first scenario is dropped, the queue emptied, the timers stop.
    void stop();
    // Check1: Timer1 runs exactly while polling is on; each tick queues a poll on the line.
    void setPolling(bool on) override;
    bool submitPoll() override;
    QString routeName() const override;
    Clock &routeClock() const override;
    void submitSend(QObject *owner, std::function<Task<void>()> send) override;
    void breakSends() override;
    bool sendsIdle() const override;
    bool sendsOneAtATime() const override { return true; }

    ModemLine &line() const { return m_line; }
    ActiveScenarios &activeScenarios() { return m_scenarios; }
    TransmitQueue &transmitQueue() { return m_queue; }
    ReceivedProfiles &receivedProfiles() { return m_profiles; }

    // btSendSMS: packets 0x33 and 0x35 of a two-block profile file (missing bytes count 0).
    Task<SendResult> sendProfileFile(QString phone, QString smsc, QByteArray file) override;
    Task<SendResult> sendProfilePackets(QString phone, QString smsc, QByteArray file, QList<PacketType> packets) override;
    // btSaveSMSToFile: the read requests 0x43 and 0x45.
    Task<SendResult> requestProfile(QString phone, QString smsc) override;
    // btSendGPRS: the GPRS settings, packet 0x57.
    Task<SendResult> sendGprs(QString phone, QString smsc, GprsSettings settings) override;

    // Why a profile scenario cannot go to phone through smsc, or "".
    static QString scenarioTargetProblem(const QString &phone, const QString &smsc);
    // The number the first running scenario talks to, or "" when none runs.
    QString runningScenario() const;
    // Stops the first running scenario with what it still had queued.
    void stopRunningScenario();
    // cmdSendProfile: the image being edited goes to a new profile scenario whose two PDUs
    // join the transmit queue; a scenario still running is stopped first (the window has asked).
    // The result is the error text to show ("" when none).
    QString startProfileScenario(const QString &phone, const QString &smsc);
    // Command1: the engine breaks into the modem (queued on the line).
    void breakIn();

    // One poll: list the stored messages, act on the system's packets, save complete profiles
    // and delete what is safely kept.
    Task<PollResult> pollMessages() override;

protected:
    // The modem is asked to announce what it stores; each announcement queues a poll.
    void answersAwaited(bool on) override;

private:
    Task<void> askForAnnouncements();
    // How one message of the module path ended: taken ("OK" after "+CMGS: n"), not taken (the
    // modem answered something else, or a break came before the body), gone whole with no final
    // answer after it, no answer at all, or the port lost before the body.
    enum class RecordOutcome { Taken, NotTaken, Unknown, Silent, PortLost };
    // One packet of the module path; da and sc are made by PhoneToPdu.
    Task<RecordOutcome> SendTransferRecord(QString da, QString sc, PacketType type, QByteArray source);
    // What a failed exchange says about the line: no answer at all, or the port lost.
    LineFault lineFault() const;
    // A message that went whole and was never answered.
    void sayUnknown(PacketType type, const QStringList &sent);
    // tmrSecond: the engine's watchdog, the pause between tries, and a due scenario send queued.
    void secondTick();
    Task<bool> DeleteSMS(QString aStrNumber);
    Task<SendResult> sendRecords(QString phone, QString smsc, QList<PacketType> types, QString sentLine,
                                 QByteArray file, QString badPhone);
    Task<RecordOutcome> sendRecord(QString da, QString sc, TransferRecord rec);
    Task<void> runPoll();
    // The engine's own dialogue (a queued send, or a break-in) holding the line until it ends.
    Task<void> scenarioDialogue(bool breakIn);
    void stopScenario(const QString &key);
    // A scenario's history row, written once it is over: sent, not sent, or stopped.
    void endScenarioRow(const QString &key);
    // "AT+CMGF=0" before every SMS operation: a modem left in text mode would take "AT+CMGS=n"
    // for a text to the number n. False, with a line, when the modem does not take it.
    Task<bool> ensurePduMode();
    // The modem's final answer to the last exchange, or "нет ответа".
    QString modemReport() const;
    void queueFinished(const clsQueueForTrans &item, bool sent);
    void cmdInfo(const QString &line) override;
    QDateTime now() const { return m_tmrSecond.clock().now(); }

    ModemLine &m_line;
    LinkExchange &m_link;
    clsScenarioAt m_scAt;
    TransmitQueue m_queue;
    ActiveScenarios m_scenarios;
    struct ScenarioRow
    {
        std::unique_ptr<HistoryRow> row;
        QStringList unsent;
    };
    std::map<QString, ScenarioRow> m_scenarioRows;
    ReceivedProfiles m_profiles;
    ClockTimer m_tmrSecond{this};
    ClockTimer m_timer1{this};
    // Owns this transfer's operations on the line; declared last, it goes first, and the line runs
    // what it still has of ours to the end while the rest of us is there.
    QObject m_operations;
};

#pragma once

#include "core/inbox/InboxMessage.h"
#include "core/pdu/PacketType.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/route/SmsRoute.h"
#include "core/gateway/SmsdStore.h"
#include "core/pdu/TransferRecord.h"

#include <QDateTime>
#include <QHash>
#include <list>

class HalfKeeper;

// The profile transfer through a gammu-smsd gateway: the same records as the modem path go
// into the gateway's outbox, each counting as sent once the gateway has moved it to sentitems
// with a good status; the terminals' answers are read from its inbox by the modem poll's rules,
// and the rows acted on are marked processed. Sends do not wait for each other.
class GatewayTransfer : public SmsRoute
{
    Q_OBJECT
public:
    static constexpr int StatusPollMs = 1000;   // how often sentitems is asked about a message
    static constexpr int SendWaitMs = 600000;   // an idle gateway may take its time with the first
    // A message not taken for this long has the gateway's phones row looked at, then again as often.
    static constexpr int LifeCheckMs = 20000;
    // How often the inbox is looked at while a run awaits answers: the database is cheap to ask.
    static constexpr int AnswerPollMs = 2000;

    // configPath: the gateway's configuration file, which also names the route.
    GatewayTransfer(const QString &configPath, AppState &state, QObject *parent = nullptr);
    ~GatewayTransfer() override;

    // Reads the configuration and opens the database; false with the operator's message.
    bool open(QString &error);
    void setClock(Clock *clock);

    QString routeName() const override { return m_configPath; }
    Clock &routeClock() const override { return *m_clock; }
    void submitSend(QObject *owner, std::function<Task<void>()> send) override;
    void breakSends() override;
    bool sendsIdle() const override { return m_running.empty(); }
    bool sendsOneAtATime() const override { return false; }
    bool submitPoll() override;
    void setPolling(bool on) override;
    Task<SendResult> sendProfileFile(QString phone, QString smsc, QByteArray file) override;
    Task<SendResult> sendProfilePackets(QString phone, QString smsc, QByteArray file, QList<PacketType> packets) override;
    Task<SendResult> requestProfile(QString phone, QString smsc) override;
    Task<SendResult> sendGprs(QString phone, QString smsc, GprsSettings settings) override;
    Task<PollResult> pollMessages() override;
    // A pause on the gateway's clock that a break ends at once (the tool's wait between polls).
    Task<void> pause(int ms);

    // The gateway database's connection, which the tasks share.
    QString databaseConnection() const { return m_store.connectionName(); }

    // A row as the sweep takes it; a row that is not the system's is decoded as ignored.
    static InboxMessage inboxMessage(const SmsdStore::InboxRow &row);

signals:
    // Log lines for txtCmdInfo, each ending in "\r\n".
    void cmdInfoLine(const QString &line);

protected:
    void answersAwaited(bool on) override;
    QString forgetEarlierHalves(const QString &phone) const override;

private:
    Task<SendResult> sendRecords(QString phone, QList<PacketType> types, QString sentLine, QByteArray file);
    // One message through the gateway: "" once sent, otherwise what went wrong.
    // A break takes the message back while the gateway has not taken it (mayWithdraw: the first of
    // a pair); the rest of a pair that has begun goes, awaited unless the sends are being unwound.
    // mayArrive (in the caller's frame): whether a message that failed may still reach the terminal.
    Task<QString> deliver(QString phone, QByteArray userData, bool mayWithdraw, bool *mayArrive = nullptr);
    // The pause between two looks at sentitems; a break or an unwind ends it at once.
    struct Pause
    {
        Pause(GatewayTransfer &t, int milliseconds) : transfer(t), ms(milliseconds) {}
        Pause(const Pause &) = delete;
        Pause &operator=(const Pause &) = delete;
        GatewayTransfer &transfer;
        int ms;
        Clock::TimerId id = 0;
        std::coroutine_handle<> handle;
        bool await_ready() const noexcept { return ms <= 0 || transfer.m_breaking || transfer.m_unwinding; }
        void await_suspend(std::coroutine_handle<> h);
        void await_resume() noexcept;
        ~Pause();
    };
    void resumePauses(bool now);
    void ownerGone(QObject *owner);
    void runPoll();
    void cmdInfo(const QString &line) override { emit cmdInfoLine(line); }
    // The halves' tables in the gateway's database, created on first use; false (said once) when
    // they cannot be: halves then wait on this workstation only.
    bool sharedHalvesReady();
    // Whether a complete profile is the answer to another workstation's read: it goes into that
    // read's task instead of this workstation's BIN.
    bool heldForOther(const QString &phone) const;
    // The profiles held for other workstations, into their tasks; their halves go once kept there.
    void handOver(const QList<ListingSweep::Outcome::Held> &held, HalfKeeper &halves);
    // Says once when the gateway's phones row shows no gammu-smsd at work.
    void checkLife();
    QDateTime now() const { return m_clock->now(); }
    // The store, told the time first: a lost database's reopen attempts are spaced by the clock.
    SmsdStore &store()
    {
        m_store.setNow(now());
        return m_store;
    }

    QString m_configPath;
    Clock *m_clock;
    SmsdStore m_store;
    ReceivedProfiles m_profiles;
    struct Running
    {
        Task<void> task;
        QObject *owner = nullptr;
    };
    std::list<Running> m_running;
    void sendEnded(std::list<Running>::iterator it);
    QList<Pause *> m_pauses;
    QHash<QObject *, QMetaObject::Connection> m_owners;
    bool m_breaking = false;  // the operator's break stands for the sends under way
    bool m_unwinding = false; // an owner goes: its sends run to their end now
    ClockTimer m_pollTimer{this};
    ClockTimer m_pollKick{this};
    ClockTimer m_answerPolls{this};
    bool m_pollQueued = false;
    bool m_markRefusalSaid = false; // the operator knows the inbox cannot be marked
    enum class SharedHalvesState { Unchecked, Ready, Missing };
    SharedHalvesState m_sharedHalves = SharedHalvesState::Unchecked;
    QDateTime m_lifeCheckedAt;
    bool m_deadSaid = false;
};

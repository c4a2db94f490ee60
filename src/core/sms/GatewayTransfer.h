#pragma once

#include "core/sms/PacketType.h"
#include "core/sms/ReceivedProfiles.h"
#include "core/sms/SmsRoute.h"
#include "core/sms/SmsdStore.h"
#include "core/sms/TransferRecord.h"

#include <QDateTime>
#include <list>

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

    // configPath: the gateway's configuration file, which also names the route.
    GatewayTransfer(const QString &configPath, AppState &state, QObject *parent = nullptr);
    ~GatewayTransfer() override;

    // Reads the configuration and opens the database; false with the operator's message.
    bool open(QString &error);
    void setClock(Clock *clock);

    QString routeName() const override { return m_configPath; }
    Clock &routeClock() const override { return *m_clock; }
    void submitSend(std::function<Task<void>()> send) override;
    bool sendsOneAtATime() const override { return false; }
    bool submitPoll() override;
    void setPolling(bool on) override;
    Task<SendResult> sendProfileFile(QString phone, QString smsc, QByteArray file) override;
    Task<SendResult> requestProfile(QString phone, QString smsc) override;
    Task<SendResult> sendGprs(QString phone, QString smsc, GprsSettings settings) override;
    Task<PollResult> pollMessages() override;

    // The inbox row's message as the modem would list it: an SMS-DELIVER PDU, empty when the row
    // cannot be one of the system's (a named sender, a user data header).
    static QString deliverPdu(const SmsdStore::InboxRow &row);

signals:
    // Log lines for txtCmdInfo, each ending in "\r\n".
    void cmdInfoLine(const QString &line);

private:
    Task<SendResult> sendRecords(QString phone, QList<PacketType> types, QString sentLine, QByteArray file);
    // One message through the gateway: "" once sent, otherwise what went wrong.
    Task<QString> deliver(QString phone, QByteArray userData);
    void runPoll();
    void cmdInfo(const QString &line) { emit cmdInfoLine(line); }
    QDateTime now() const { return m_clock->now(); }

    QString m_configPath;
    Clock *m_clock;
    SmsdStore m_store;
    ReceivedProfiles m_profiles;
    std::list<Task<void>> m_running;
    ClockTimer m_pollTimer{this};
    ClockTimer m_pollKick{this};
    bool m_pollQueued = false;
};

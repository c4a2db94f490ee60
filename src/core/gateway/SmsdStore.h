#pragma once

#include "core/gateway/SmsdConfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>

class QSqlError;
class QSqlQuery;

// The tables of a gammu-smsd database this program uses: it puts messages into outbox, learns
// from sentitems what became of them, and reads the 8-bit rows of inbox, marking those it has
// acted on as processed. Other rows are left as they are: the gateway is shared.
// A connection the database dropped is closed and opened again by a later operation, the
// attempts spaced by the caller's time (setNow); meanwhile operations fail as the database
// would, without touching the closed connection.
class SmsdStore
{
public:
    enum class SendState {
        Waiting, // still in outbox
        Sent,    // in sentitems, taken by the network
        Failed,  // in sentitems with an error status
        Gone,    // neither: the gateway dropped it unsent
        Unknown, // the database could not be asked
    };
    struct Status
    {
        SendState state = SendState::Unknown;
        QString smsdStatus; // sentitems.Status, or the database's error
    };
    struct InboxRow
    {
        qint64 id = 0;
        QString sender;
        QByteArray userData;
        int smsClass = -1;
        QString udh;
    };

    SmsdStore();
    ~SmsdStore();
    SmsdStore(const SmsdStore &) = delete;
    SmsdStore &operator=(const SmsdStore &) = delete;

    // Waits this long for another program's lock on an SQLite database (before open).
    void setBusyTimeout(int ms) { m_busyTimeoutMs = ms; }
    // Checks by the database's catalogue that the tables used have the columns used.
    bool open(const SmsdConfig &config, QString &error);
    void close();
    // The database's Qt connection, open after open(): the program keeps tables of its own there
    // (TaskBook), shared by the workstations of this gateway.
    QString connectionName() const { return m_connection; }

    // The caller's time, by which attempts to reopen a lost connection are spaced.
    void setNow(const QDateTime &now) { m_now = now; }
    // Told once when the connection is lost (why) and once when it is back (an empty why).
    void setLinkHandler(std::function<void(const QString &why)> handler) { m_linkHandler = std::move(handler); }
    bool linkLost() const { return m_lost; }

    // One 8-bit message of class 2, relative validity 167, created by creator(); its outbox ID,
    // or -1 with the database's error. With a phoneid in the configuration it leaves through that
    // SIM only (SenderID), so both halves of a request go from one number.
    qint64 queue(const QString &number, const QByteArray &userData, QString &error);
    Status status(qint64 id);
    // Takes a message back while the gateway has not taken it; false when it already has.
    bool withdraw(qint64 id);
    // Unprocessed 8-bit rows, oldest first.
    bool unprocessed(QList<InboxRow> &rows, QString &error);
    // Inbox rows are claimed in a transaction that also keeps what they carry, one workstation's
    // at a time: another that reads the same rows waits, then finds them processed.
    bool beginClaims(QString &error);
    bool endClaims(bool keep, QString &error);
    enum class Claim {
        Taken,   // marked processed by this workstation: act on it
        Foreign, // another workstation had taken it
        Refused, // the row may not be marked (a trigger, a role): not acted on
        Failed,  // the database failed; the claims' transaction is lost
    };
    Claim claim(qint64 id, QString &error);
    // A row claimed in this transaction whose content could not be kept goes back.
    bool release(qint64 id, QString &error);

    // Whether a gammu-smsd is at work on this database: a running one keeps its phone's row in
    // the phones table fresh (TimeOut, every StatusFrequency seconds) and a stopped one leaves
    // it behind, going stale.
    enum class Life { Alive, NoPhone, Stale, Unknown };
    struct GatewayLife
    {
        Life state = Life::Unknown;
        QString lastSeen; // the newest TimeOut, as the database writes it
    };
    GatewayLife life();

    static constexpr int BusyTimeoutMs = 10000;
    // The PostgreSQL advisory lock held while inbox rows are claimed ("KVRC").
    static constexpr qint64 ClaimLock = 0x4B565243;
    // Reopen attempts after a failed one: the first waits this long, each next twice as long, up to the most.
    static constexpr int ReopenFirstMs = 1000;
    static constexpr int ReopenMostMs = 30000;
    // "kvrsetup@" and the workstation's name: every row says which workstation queued it.
    static QString creator();
    // A name as an SQL identifier.
    static QString quoted(const QString &name);

private:
    bool checkTables(const QString &where, QString &error);
    static bool changedOne(QSqlQuery &q, QString &error);
    // Whether the connection is open, reopened when it was lost and an attempt is due; false with why.
    bool ready(QString &error);
    // Prepares and runs sql with values; false with the database's error, a lost connection closed.
    bool run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString &error);
    bool isConnectionError(const QSqlError &error) const;
    void lose(const QString &why);

    QString m_connection;
    SmsdConfig::Tables m_tables;
    int m_statusFrequency = 60;
    QString m_phoneId;
    bool m_postgres = false;
    int m_busyTimeoutMs = BusyTimeoutMs;
    bool m_opened = false; // open() succeeded: the registered connection may be reopened
    bool m_lost = false;
    QString m_lostWhy;
    QDateTime m_now;
    QDateTime m_reopenAt;   // no attempt before this
    int m_reopenWaitMs = 0; // the wait after the next failed attempt
    std::function<void(const QString &)> m_linkHandler;
};

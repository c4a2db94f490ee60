#pragma once

#include "core/app/OperationHistory.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

class Clock;
class QSqlQuery;

// Tasks: what was asked of which terminal, kept until it is confirmed, failed, expired or
// cancelled, in a database every workstation of one gateway shares (the gateway's own, or
// Data.db for a workstation on its own). A task keeps its own copy of what it sends, so one
// half sent can be completed later, and the state of each packet, written before the packet is
// handed on. Changes another workstation may race for are conditional updates: one wins, the
// other is told it lost.
// Methods that read return nullopt on a database failure, with error set; status changes say
// whether they were done, refused (the task is not in a state that allows them) or failed.
class TaskBook
{
public:
    enum class Status { Queued, Sent, Confirmed, Failed, Cancelled, Expired, Unknown };
    // Confirmed: the terminal said it has the packet.
    enum class PacketState { Pending, Sending, Sent, Failed, Unknown, Confirmed };
    enum class Change { Done, Refused, DatabaseError };
    enum class Dialect { Sqlite, Postgres };

    struct Packet
    {
        int packet = 0; // 0x33, 0x35, ...
        PacketState state = PacketState::Pending;
        QStringList gatewayIds; // the gateway's outbox row IDs; empty through a modem
        QDateTime time;         // of the last change
    };
    struct NewTask
    {
        OperationHistory::Operation operation = OperationHistory::Operation::SendProfile;
        QString terminal; // the address book's name, when known
        QString number;
        QString fileName;
        QString fileSha256; // hex; from the payload when empty and there is one
        QByteArray payload;  // what is sent, e.g. the two-block profile
        QList<int> packets;  // the packets to send, each pending at first
        QString workstation; // Workstation::name() when empty
        QString userName;    // Workstation::userName() when empty
    };
    struct Entry
    {
        qint64 id = 0;
        OperationHistory::Operation operation = OperationHistory::Operation::Unknown;
        QString operationWord; // as the table has it
        QString terminal;
        QString number;
        QString fileName;
        QString fileSha256;
        QByteArray payload; // read by get() and halfSent() only
        QString workstation;
        QString userName;
        QDateTime created;
        QDateTime sent;
        QDateTime confirmed;
        Status status = Status::Unknown;
        QString detail;
        QList<Packet> packets;
    };
    struct Filter
    {
        bool open = false;   // queued or sent only
        bool failed = false; // failed or expired only
        QString terminal;    // exact name; empty: any
        QString number;      // any form of the same subscriber; empty: any
    };
    // A task whose packets went in part: what completing it needs.
    struct HalfSent
    {
        qint64 id = 0;
        OperationHistory::Operation operation = OperationHistory::Operation::Unknown;
        QString number;
        QByteArray payload;
        QList<int> packets;   // surely not gone: pending or failed
        QList<int> uncertain; // left sending or unknown: may have gone
    };
    // One half of a two-part answer, waiting for the other.
    struct Half
    {
        qint64 id = 0;
        QString number;
        int packet = 0;
        QByteArray data;
        qint64 inboxId = 0;
        QDateTime received;
    };

    TaskBook(const QString &connection, const Clock &clock);

    Dialect dialect() const;
    // Where the schema files lie, named by the error of ensureSchema(): by default "sql" beside
    // the program (a build or an unpacked copy), else in its shipped files.
    void setSchemaFolder(const QString &folder) { m_schemaFolder = folder; }
    static QString defaultSchemaFolder();
    // Creates the tables that are missing; false when they are missing and cannot be created, with
    // the database's words and the file whose SQL creates them.
    bool ensureSchema(QString &error);
    // The SQL of schemaFile(), statement by statement.
    static QStringList schemaStatements(Dialect dialect);
    static QString schemaFile(Dialect dialect);

    // The new task's id (queued), or nullopt.
    std::optional<qint64> create(const NewTask &task, QString &error);
    // Written before the packet is handed to the modem or gateway; refused for a task confirmed
    // or cancelled meanwhile, which must then not be sent.
    Change packetSending(qint64 id, int packet, QString &error);
    // After it: sent, failed, or unknown (the line broke while handing it on).
    Change packetEnded(qint64 id, int packet, PacketState state, const QStringList &gatewayIds, QString &error);
    Change markSent(qint64 id, QString &error);
    // A late answer wins over failed or expired; a cancelled task stays cancelled. A read's
    // profile, when given, becomes its payload, so any workstation can fetch it.
    Change markConfirmed(qint64 id, const QString &detail, QString &error, const QByteArray &profile = {});
    Change markFailed(qint64 id, const QString &detail, QString &error);
    Change markExpired(qint64 id, const QString &detail, QString &error);
    // Only while nothing has gone: queued, every packet pending or still held by the gateway.
    // The gateway ids to take back from its outbox (a row the gateway has already taken has gone
    // after all; the caller says so). nullopt with why when refused or failed.
    std::optional<QStringList> cancel(qint64 id, QString &why);

    // The newest task of operation for that subscriber that is neither confirmed nor cancelled;
    // nullopt with error empty when there is none.
    std::optional<Entry> openTaskFor(const QString &number, OperationHistory::Operation operation, QString &error);
    // Tasks of this workstation (any when empty), still queued (their process never concluded
    // them), with some packets sent and others still to go.
    std::optional<QList<HalfSent>> halfSent(const QString &workstation, QString &error);
    // Newest first, packets included, payload not.
    std::optional<QList<Entry>> list(const Filter &filter, QString &error);
    // The numbers whose newest task of operation failed or expired, unless one of their tasks
    // was confirmed since; newest first.
    std::optional<QStringList> retryable(OperationHistory::Operation operation, QString &error);
    // nullopt with error empty when there is no such task.
    std::optional<Entry> get(qint64 id, QString &error);
    // Confirmed profile reads with an id from firstId on (made no earlier than that task), with
    // their profiles; newest first.
    std::optional<QList<Entry>> confirmedReads(qint64 firstId, QString &error) const;

    // The halves of two-part answers.
    std::optional<qint64> putHalf(const QString &number, int packet, const QByteArray &data, qint64 inboxId,
                                  QString &error);
    // The other half of this one (0x43 for 0x45, 0x33 for 0x35 and back), taken away so that one
    // workstation only completes it; nullopt with error empty when none is kept.
    std::optional<Half> takeMatchingHalf(const QString &number, int packet, QString &error);
    // Every half of this subscriber's (of that packet only, when given); false on a database
    // failure. removed, when given, counts the halves removed.
    bool removeHalves(const QString &number, QString &error, int packet = 0, int *removed = nullptr);
    // Every half kept, oldest first.
    std::optional<QList<Half>> halves(QString &error) const;

    static QString statusText(Status status);
    static QString packetStateText(PacketState state);

private:
    // Prepares and runs sql with values; false with the database's error.
    bool run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString &error) const;
    // One conditional status change: rows with id and one of from go to status.
    Change setStatus(qint64 id, Status status, const QList<Status> &from, const QString &timeColumn,
                     const QString *detail, QString &error, const QByteArray &payload = {});
    // Begins a transaction holding the task's row against other writers; its status, or nullopt
    // with failure Refused when there is no such task.
    std::optional<Status> lockTask(qint64 id, Change &failure, QString &error);
    void rollback();
    bool commit(QString &error);
    // Tasks matching where, newest first, with their packets.
    std::optional<QList<Entry>> select(const QString &where, const QVariantList &values, bool withPayload,
                                       QString &error) const;
    QString now() const;

    QString m_connection;
    const Clock &m_clock;
    QString m_schemaFolder = defaultSchemaFolder();
};

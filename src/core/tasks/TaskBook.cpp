#include "core/tasks/TaskBook.h"

#include "TaskSchema.h"

#include "core/app/AppFolder.h"
#include "core/common/Clock.h"
#include "core/common/PhoneNumber.h"
#include "core/common/Workstation.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

using Operation = OperationHistory::Operation;

constexpr Operation kOperations[] = {Operation::Upload,       Operation::SendProfile,
                                     Operation::ReadProfile,  Operation::SendGprs,
                                     Operation::Confirmation, Operation::ProfileReceived};
constexpr TaskBook::Status kStatuses[] = {TaskBook::Status::Queued, TaskBook::Status::Sent,
                                          TaskBook::Status::Confirmed, TaskBook::Status::Failed,
                                          TaskBook::Status::Cancelled, TaskBook::Status::Expired};
constexpr TaskBook::PacketState kPacketStates[] = {TaskBook::PacketState::Pending, TaskBook::PacketState::Sending,
                                                   TaskBook::PacketState::Sent, TaskBook::PacketState::Failed,
                                                   TaskBook::PacketState::Unknown, TaskBook::PacketState::Confirmed};

const QString kColumns = QStringLiteral("id, operation, terminal, number, file_name, file_sha256, workstation, "
                                        "user_name, created, sent, confirmed, status, detail");

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().simplified();
    return text.isEmpty() ? error.text().simplified() : text;
}

// The status words as an SQL list: they are the program's own, never the user's.
QString inList(const QList<TaskBook::Status> &statuses)
{
    QStringList words;
    for (TaskBook::Status s : statuses)
        words << QLatin1Char('\'') + TaskBook::statusText(s) + QLatin1Char('\'');
    return QLatin1Char('(') + words.join(QStringLiteral(", ")) + QLatin1Char(')');
}

QDateTime timeOf(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromString(value.toString(), Qt::ISODateWithMs).toUTC();
}

TaskBook::Status statusOf(const QString &word)
{
    for (TaskBook::Status s : kStatuses) {
        if (TaskBook::statusText(s) == word)
            return s;
    }
    return TaskBook::Status::Unknown;
}

TaskBook::PacketState packetStateOf(const QString &word)
{
    for (TaskBook::PacketState s : kPacketStates) {
        if (TaskBook::packetStateText(s) == word)
            return s;
    }
    return TaskBook::PacketState::Unknown;
}

// The packet that completes a two-part message with this one.
int partnerOf(int packet)
{
    switch (packet) {
    case 0x33:
        return 0x35;
    case 0x35:
        return 0x33;
    case 0x43:
        return 0x45;
    case 0x45:
        return 0x43;
    default:
        return -1;
    }
}

QString packetName(int packet)
{
    return QStringLiteral("0x%1h").arg(packet, 2, 16, QLatin1Char('0'));
}

} // namespace

TaskBook::TaskBook(const QString &connection, const Clock &clock) : m_connection(connection), m_clock(clock) {}

TaskBook::Dialect TaskBook::dialect() const
{
    return QSqlDatabase::database(m_connection, false).driverName() == QLatin1String("QPSQL") ? Dialect::Postgres
                                                                                            : Dialect::Sqlite;
}

QString TaskBook::statusText(Status status)
{
    switch (status) {
    case Status::Queued:
        return QStringLiteral("queued");
    case Status::Sent:
        return QStringLiteral("sent");
    case Status::Confirmed:
        return QStringLiteral("confirmed");
    case Status::Failed:
        return QStringLiteral("failed");
    case Status::Cancelled:
        return QStringLiteral("cancelled");
    case Status::Expired:
        return QStringLiteral("expired");
    case Status::Unknown:
        break;
    }
    return QStringLiteral("?");
}

QString TaskBook::packetStateText(PacketState state)
{
    switch (state) {
    case PacketState::Pending:
        return QStringLiteral("pending");
    case PacketState::Sending:
        return QStringLiteral("sending");
    case PacketState::Sent:
        return QStringLiteral("sent");
    case PacketState::Failed:
        return QStringLiteral("failed");
    case PacketState::Confirmed:
        return QStringLiteral("confirmed");
    case PacketState::Unknown:
        break;
    }
    return QStringLiteral("unknown");
}

QString TaskBook::schemaFile(Dialect dialect)
{
    return dialect == Dialect::Postgres ? QStringLiteral("tasks-pgsql.sql") : QStringLiteral("tasks-sqlite.sql");
}

QStringList TaskBook::schemaStatements(Dialect dialect)
{
    const QString text = QString::fromUtf8(dialect == Dialect::Postgres ? TaskSchema::pgsql : TaskSchema::sqlite);
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().startsWith(QLatin1String("--")))
            lines << line;
    }
    QStringList statements;
    for (const QString &statement : lines.join(QLatin1Char('\n')).split(QLatin1Char(';'))) {
        if (!statement.trimmed().isEmpty())
            statements << statement.trimmed();
    }
    return statements;
}

QString TaskBook::defaultSchemaFolder()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("sql"));
    if (QDir(beside).exists())
        return beside;
    return QDir(AppFolder::current().shippedFolder()).filePath(QStringLiteral("sql"));
}

bool TaskBook::ensureSchema(QString &error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen()) {
        error = QStringLiteral("база не открыта");
        return false;
    }
    const QStringList present = db.tables();
    bool complete = true;
    for (const char *table : {"kvr_tasks", "kvr_task_packets", "kvr_halves"})
        complete = complete && present.contains(QLatin1String(table));
    if (complete)
        return true;
    QSqlQuery q(db);
    for (const QString &statement : schemaStatements(dialect())) {
        if (!q.exec(statement)) {
            error = QStringLiteral("в базе нет таблиц заданий, и создать их не удалось (%1); их создает SQL из файла %2")
                        .arg(errorText(q.lastError()),
                             QDir::toNativeSeparators(QDir(m_schemaFolder).filePath(schemaFile(dialect()))));
            return false;
        }
    }
    return true;
}

QString TaskBook::now() const
{
    return m_clock.now().toUTC().toString(Qt::ISODateWithMs);
}

bool TaskBook::run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString &error) const
{
    if (!q.prepare(sql)) {
        error = errorText(q.lastError());
        return false;
    }
    for (const QVariant &value : values)
        q.addBindValue(value);
    if (q.exec())
        return true;
    error = errorText(q.lastError());
    return false;
}

void TaskBook::rollback()
{
    QSqlDatabase::database(m_connection, false).rollback();
}

bool TaskBook::commit(QString &error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (db.commit())
        return true;
    error = errorText(db.lastError());
    db.rollback();
    return false;
}

std::optional<TaskBook::Status> TaskBook::lockTask(qint64 id, Change &failure, QString &error)
{
    failure = Change::DatabaseError;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        error = db.isOpen() ? errorText(db.lastError()) : QStringLiteral("база не открыта");
        return std::nullopt;
    }
    QSqlQuery q(db);
    // SQLite has no row locks: a write first takes the database's write lock for the whole transaction.
    const bool locked = dialect() == Dialect::Postgres
                            ? run(q, QStringLiteral("SELECT status FROM kvr_tasks WHERE id = ? FOR UPDATE"), {id}, error)
                            : run(q, QStringLiteral("UPDATE kvr_tasks SET status = status WHERE id = ?"), {id}, error)
                                  && run(q, QStringLiteral("SELECT status FROM kvr_tasks WHERE id = ?"), {id}, error);
    if (!locked) {
        rollback();
        return std::nullopt;
    }
    if (!q.next()) {
        rollback();
        failure = Change::Refused;
        error = QStringLiteral("нет задания %1").arg(id);
        return std::nullopt;
    }
    return statusOf(q.value(0).toString());
}

std::optional<qint64> TaskBook::create(const NewTask &task, QString &error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        error = db.isOpen() ? errorText(db.lastError()) : QStringLiteral("база не открыта");
        return std::nullopt;
    }
    const bool postgres = dialect() == Dialect::Postgres;
    const QString sha = !task.fileSha256.isEmpty() || task.payload.isEmpty()
                            ? task.fileSha256
                            : QString::fromLatin1(QCryptographicHash::hash(task.payload, QCryptographicHash::Sha256).toHex());
    const QString created = now();
    QSqlQuery q(db);
    if (!run(q,
             QStringLiteral("INSERT INTO kvr_tasks (operation, terminal, number, file_name, file_sha256, payload, "
                            "workstation, user_name, created, status, detail) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, '')")
                 + (postgres ? QStringLiteral(" RETURNING id") : QString()),
             {OperationHistory::operationText(task.operation), task.terminal, PhoneNumber::normalized(task.number), task.fileName, sha,
              task.payload, task.workstation.isEmpty() ? Workstation::name() : task.workstation,
              task.userName.isEmpty() ? Workstation::userName() : task.userName, created, statusText(Status::Queued)},
             error)) {
        rollback();
        return std::nullopt;
    }
    const qint64 id = postgres ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
    if (id <= 0) {
        error = QStringLiteral("база не назвала номер нового задания");
        rollback();
        return std::nullopt;
    }
    for (int packet : task.packets) {
        if (!run(q,
                 QStringLiteral("INSERT INTO kvr_task_packets (task_id, packet, state, gateway_ids, time) "
                                "VALUES (?, ?, ?, '', ?)"),
                 {id, packet, packetStateText(PacketState::Pending), created}, error)) {
            rollback();
            return std::nullopt;
        }
    }
    if (!commit(error))
        return std::nullopt;
    return id;
}

TaskBook::Change TaskBook::packetSending(qint64 id, int packet, QString &error)
{
    Change failure = Change::DatabaseError;
    const std::optional<Status> status = lockTask(id, failure, error);
    if (!status)
        return failure;
    if (*status == Status::Confirmed || *status == Status::Cancelled) {
        rollback();
        error = QStringLiteral("задание %1 уже %2").arg(id).arg(statusText(*status));
        return Change::Refused;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    const QString time = now();
    const QString sending = packetStateText(PacketState::Sending);
    if (!run(q, QStringLiteral("UPDATE kvr_task_packets SET state = ?, time = ? WHERE task_id = ? AND packet = ?"),
             {sending, time, id, packet}, error)
        || (q.numRowsAffected() == 0
            && !run(q,
                    QStringLiteral("INSERT INTO kvr_task_packets (task_id, packet, state, gateway_ids, time) "
                                   "VALUES (?, ?, ?, '', ?)"),
                    {id, packet, sending, time}, error))) {
        rollback();
        return Change::DatabaseError;
    }
    return commit(error) ? Change::Done : Change::DatabaseError;
}

TaskBook::Change TaskBook::packetEnded(qint64 id, int packet, PacketState state, const QStringList &gatewayIds,
                                       QString &error)
{
    // What became of a packet is recorded whatever the task's status: it is what happened.
    const QString ids = gatewayIds.join(QLatin1Char(','));
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("UPDATE kvr_task_packets SET state = ?, gateway_ids = ?, time = ? "
                            "WHERE task_id = ? AND packet = ?"),
             {packetStateText(state), ids.isEmpty() ? QStringLiteral("") : ids, now(), id, packet}, error))
        return Change::DatabaseError;
    if (q.numRowsAffected() == 1)
        return Change::Done;
    error = QStringLiteral("задание %1 не отправляет пакет %2").arg(id).arg(packetName(packet));
    return Change::Refused;
}

TaskBook::Change TaskBook::setStatus(qint64 id, Status status, const QList<Status> &from, const QString &timeColumn,
                                     const QString *detail, QString &error, const QByteArray &payload)
{
    QString sql = QStringLiteral("UPDATE kvr_tasks SET status = ?");
    QVariantList values{statusText(status)};
    if (!payload.isEmpty()) {
        sql += QStringLiteral(", payload = ?, file_sha256 = ?");
        values << payload << QString::fromLatin1(QCryptographicHash::hash(payload, QCryptographicHash::Sha256).toHex());
    }
    if (!timeColumn.isEmpty()) {
        sql += QStringLiteral(", ") + timeColumn + QStringLiteral(" = ?");
        values << now();
    }
    if (detail) {
        sql += QStringLiteral(", detail = ?");
        values << *detail;
    }
    sql += QStringLiteral(" WHERE id = ? AND status IN ") + inList(from);
    values << id;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, sql, values, error))
        return Change::DatabaseError;
    if (q.numRowsAffected() == 1)
        return Change::Done;
    // Lost to another workstation, or never allowed: the why names the status it found.
    if (!run(q, QStringLiteral("SELECT status FROM kvr_tasks WHERE id = ?"), {id}, error))
        return Change::DatabaseError;
    error = q.next() ? QStringLiteral("задание %1 уже %2").arg(id).arg(q.value(0).toString())
                     : QStringLiteral("нет задания %1").arg(id);
    return Change::Refused;
}

TaskBook::Change TaskBook::markSent(qint64 id, QString &error)
{
    // From failed too: a half-sent profile completed later.
    return setStatus(id, Status::Sent, {Status::Queued, Status::Failed}, QStringLiteral("sent"), nullptr, error);
}

TaskBook::Change TaskBook::markConfirmed(qint64 id, const QString &detail, QString &error, const QByteArray &profile)
{
    return setStatus(id, Status::Confirmed, {Status::Queued, Status::Sent, Status::Failed, Status::Expired},
                     QStringLiteral("confirmed"), &detail, error, profile);
}

TaskBook::Change TaskBook::markFailed(qint64 id, const QString &detail, QString &error)
{
    return setStatus(id, Status::Failed, {Status::Queued, Status::Sent}, QString(), &detail, error);
}

TaskBook::Change TaskBook::markExpired(qint64 id, const QString &detail, QString &error)
{
    return setStatus(id, Status::Expired, {Status::Queued, Status::Sent}, QString(), &detail, error);
}

std::optional<QStringList> TaskBook::cancel(qint64 id, QString &why)
{
    Change failure = Change::DatabaseError;
    const std::optional<Status> status = lockTask(id, failure, why);
    if (!status)
        return std::nullopt;
    if (*status != Status::Queued) {
        rollback();
        why = QStringLiteral("задание %1 уже %2").arg(id).arg(statusText(*status));
        return std::nullopt;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, QStringLiteral("SELECT packet, state, gateway_ids FROM kvr_task_packets WHERE task_id = ? ORDER BY packet"),
             {id}, why)) {
        rollback();
        return std::nullopt;
    }
    QStringList takeBack;
    while (q.next()) {
        const PacketState state = packetStateOf(q.value(1).toString());
        const QStringList ids = q.value(2).toString().split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (state == PacketState::Pending)
            continue;
        if (state == PacketState::Sent && !ids.isEmpty()) {
            takeBack << ids;
            continue;
        }
        rollback();
        why = QStringLiteral("задание %1: пакет %2 уже %3").arg(id).arg(packetName(q.value(0).toInt()),
                                                                   packetStateText(state));
        return std::nullopt;
    }
    const QString detail = QStringLiteral("отменено: ") + Workstation::name();
    if (setStatus(id, Status::Cancelled, {Status::Queued}, QString(), &detail, why) != Change::Done) {
        rollback();
        return std::nullopt;
    }
    if (!commit(why))
        return std::nullopt;
    return takeBack;
}

std::optional<QList<TaskBook::Entry>> TaskBook::select(const QString &where, const QVariantList &values,
                                                       bool withPayload, QString &error) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.setForwardOnly(true);
    if (!run(q,
             QStringLiteral("SELECT ") + kColumns + (withPayload ? QStringLiteral(", payload") : QString())
                 + QStringLiteral(" FROM kvr_tasks") + (where.isEmpty() ? QString() : QStringLiteral(" WHERE ") + where)
                 + QStringLiteral(" ORDER BY id DESC"),
             values, error))
        return std::nullopt;
    QList<Entry> entries;
    while (q.next()) {
        Entry e;
        e.id = q.value(0).toLongLong();
        e.operationWord = q.value(1).toString();
        for (Operation o : kOperations) {
            if (OperationHistory::operationText(o) == e.operationWord)
                e.operation = o;
        }
        e.terminal = q.value(2).toString();
        e.number = q.value(3).toString();
        e.fileName = q.value(4).toString();
        e.fileSha256 = q.value(5).toString();
        e.workstation = q.value(6).toString();
        e.userName = q.value(7).toString();
        e.created = timeOf(q.value(8));
        e.sent = timeOf(q.value(9));
        e.confirmed = timeOf(q.value(10));
        e.status = statusOf(q.value(11).toString());
        e.detail = q.value(12).toString();
        if (withPayload)
            e.payload = q.value(13).toByteArray();
        entries << e;
    }
    if (q.lastError().isValid()) {
        error = errorText(q.lastError());
        return std::nullopt;
    }
    if (entries.isEmpty())
        return entries;
    // The packets of every task listed, in one query: the ids come newest first.
    if (!run(q,
             QStringLiteral("SELECT task_id, packet, state, gateway_ids, time FROM kvr_task_packets "
                            "WHERE task_id >= ? ORDER BY task_id, packet"),
             {entries.last().id}, error))
        return std::nullopt;
    QHash<qint64, QList<Packet>> packets;
    while (q.next())
        packets[q.value(0).toLongLong()] << Packet{q.value(1).toInt(), packetStateOf(q.value(2).toString()),
                                                   q.value(3).toString().split(QLatin1Char(','), Qt::SkipEmptyParts),
                                                   timeOf(q.value(4))};
    for (Entry &e : entries)
        e.packets = packets.value(e.id);
    return entries;
}

std::optional<TaskBook::Entry> TaskBook::get(qint64 id, QString &error)
{
    error.clear();
    const std::optional<QList<Entry>> found = select(QStringLiteral("id = ?"), {id}, true, error);
    if (!found || found->isEmpty())
        return std::nullopt;
    return found->first();
}

std::optional<TaskBook::Entry> TaskBook::openTaskFor(const QString &number, Operation operation, QString &error)
{
    error.clear();
    const std::optional<QList<Entry>> found =
        select(QStringLiteral("operation = ? AND status NOT IN ") + inList({Status::Confirmed, Status::Cancelled}),
               {OperationHistory::operationText(operation)}, true, error);
    if (!found)
        return std::nullopt;
    for (const Entry &e : *found) {
        if (PhoneNumber::sameSubscriber(e.number, PhoneNumber::normalized(number)))
            return e;
    }
    return std::nullopt;
}

std::optional<QList<TaskBook::HalfSent>> TaskBook::halfSent(const QString &workstation, QString &error)
{
    // Only a task never concluded: a process that ends a send, well or not, says so, and a
    // failed one is the operator's to retry.
    QString where = QStringLiteral("status IN ") + inList({Status::Queued});
    QVariantList values;
    if (!workstation.isEmpty()) {
        where += QStringLiteral(" AND workstation = ?");
        values << workstation;
    }
    const std::optional<QList<Entry>> found = select(where, values, true, error);
    if (!found)
        return std::nullopt;
    QList<HalfSent> half;
    for (const Entry &e : *found) {
        bool anySent = false;
        QList<int> toGo;
        QList<int> uncertain;
        for (const Packet &p : e.packets) {
            const bool gone = p.state == PacketState::Sent || p.state == PacketState::Confirmed;
            anySent = anySent || gone;
            if (p.state == PacketState::Pending || p.state == PacketState::Failed)
                toGo << p.packet;
            else if (!gone)
                uncertain << p.packet;
        }
        if (anySent && (!toGo.isEmpty() || !uncertain.isEmpty()))
            half << HalfSent{e.id, e.operation, e.number, e.payload, toGo, uncertain};
    }
    return half;
}

std::optional<QList<TaskBook::Entry>> TaskBook::list(const Filter &filter, QString &error)
{
    QStringList where;
    QVariantList values;
    QList<Status> statuses;
    if (filter.open)
        statuses << Status::Queued << Status::Sent;
    if (filter.failed)
        statuses << Status::Failed << Status::Expired;
    if (!statuses.isEmpty())
        where << QStringLiteral("status IN ") + inList(statuses);
    if (!filter.terminal.isEmpty()) {
        where << QStringLiteral("terminal = ?");
        values << filter.terminal;
    }
    std::optional<QList<Entry>> found = select(where.join(QStringLiteral(" AND ")), values, false, error);
    if (found && !filter.number.isEmpty())
        found->removeIf([&filter](const Entry &e) { return !PhoneNumber::sameSubscriber(e.number, PhoneNumber::normalized(filter.number));
        });
    return found;
}

std::optional<QStringList> TaskBook::retryable(Operation operation, QString &error)
{
    const std::optional<QList<Entry>> found =
        select(QStringLiteral("operation = ?"), {OperationHistory::operationText(operation)}, false, error);
    if (!found)
        return std::nullopt;
    struct Subscriber
    {
        Entry newest;
        bool confirmedSince = false;
    };
    QList<Subscriber> subscribers;
    for (const Entry &e : *found) {
        Subscriber *known = nullptr;
        for (Subscriber &s : subscribers) {
            if (PhoneNumber::sameSubscriber(s.newest.number, e.number))
                known = &s;
        }
        if (!known)
            subscribers << Subscriber{e};
        else if (e.confirmed.isValid() && e.confirmed >= known->newest.created)
            known->confirmedSince = true; // an earlier task's late answer
    }
    QStringList numbers;
    for (const Subscriber &s : std::as_const(subscribers)) {
        if ((s.newest.status == Status::Failed || s.newest.status == Status::Expired) && !s.confirmedSince)
            numbers << s.newest.number;
    }
    return numbers;
}

std::optional<qint64> TaskBook::putHalf(const QString &number, int packet, const QByteArray &data, qint64 inboxId,
                                        QString &error)
{
    const bool postgres = dialect() == Dialect::Postgres;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("INSERT INTO kvr_halves (number, packet, data, inbox_id, received) VALUES (?, ?, ?, ?, ?)")
                 + (postgres ? QStringLiteral(" RETURNING id") : QString()),
             {PhoneNumber::normalized(number), packet, data, inboxId, now()}, error))
        return std::nullopt;
    const qint64 id = postgres ? (q.next() ? q.value(0).toLongLong() : 0) : q.lastInsertId().toLongLong();
    if (id > 0)
        return id;
    error = QStringLiteral("база не назвала номер половины");
    return std::nullopt;
}

std::optional<TaskBook::Half> TaskBook::takeMatchingHalf(const QString &number, int packet, QString &error)
{
    error.clear();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("SELECT id, number, data, inbox_id, received FROM kvr_halves WHERE packet = ? ORDER BY id DESC"),
             {partnerOf(packet)}, error))
        return std::nullopt;
    QList<Half> candidates;
    while (q.next()) {
        if (PhoneNumber::sameSubscriber(q.value(1).toString(), PhoneNumber::normalized(number)))
            candidates << Half{q.value(0).toLongLong(), q.value(1).toString(), partnerOf(packet), q.value(2).toByteArray(),
                               q.value(3).toLongLong(), timeOf(q.value(4))};
    }
    // Whoever deletes the row has it; another workstation's poll may have taken it meanwhile.
    for (const Half &half : std::as_const(candidates)) {
        if (!run(q, QStringLiteral("DELETE FROM kvr_halves WHERE id = ?"), {half.id}, error))
            return std::nullopt;
        if (q.numRowsAffected() == 1)
            return half;
    }
    return std::nullopt;
}

bool TaskBook::removeHalves(const QString &number, QString &error, int packet, int *removed)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, QStringLiteral("SELECT id, number, packet FROM kvr_halves"), {}, error))
        return false;
    QVariantList ids;
    while (q.next()) {
        if (PhoneNumber::sameSubscriber(q.value(1).toString(), PhoneNumber::normalized(number))
            && (packet == 0 || q.value(2).toInt() == packet))
            ids << q.value(0);
    }
    for (const QVariant &id : std::as_const(ids)) {
        if (!run(q, QStringLiteral("DELETE FROM kvr_halves WHERE id = ?"), {id}, error))
            return false;
    }
    if (removed)
        *removed = int(ids.size());
    return true;
}

std::optional<QList<TaskBook::Half>> TaskBook::halves(QString &error) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, QStringLiteral("SELECT id, number, packet, data, inbox_id, received FROM kvr_halves ORDER BY id"), {},
             error))
        return std::nullopt;
    QList<Half> out;
    while (q.next())
        out << Half{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toInt(), q.value(3).toByteArray(),
                    q.value(4).toLongLong(), timeOf(q.value(5))};
    return out;
}

std::optional<QList<TaskBook::Entry>> TaskBook::confirmedReads(qint64 firstId, QString &error) const
{
    return select(QStringLiteral("operation = ? AND status = ? AND id >= ?"),
                  {OperationHistory::operationText(Operation::ReadProfile), statusText(Status::Confirmed), firstId}, true,
                  error);
}

#include "core/app/OperationHistory.h"

#include "core/common/PhoneNumber.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr OperationHistory::Operation kOperations[] = {
    OperationHistory::Operation::Upload,       OperationHistory::Operation::SendProfile,
    OperationHistory::Operation::ReadProfile,  OperationHistory::Operation::SendGprs,
    OperationHistory::Operation::Confirmation, OperationHistory::Operation::ProfileReceived};

} // namespace

QString OperationHistory::operationText(Operation operation)
{
    switch (operation) {
    case Operation::Upload:
        return QStringLiteral("upload");
    case Operation::SendProfile:
        return QStringLiteral("send-profile");
    case Operation::ReadProfile:
        return QStringLiteral("read-profile");
    case Operation::SendGprs:
        return QStringLiteral("send-gprs");
    case Operation::Confirmation:
        return QStringLiteral("confirmation");
    case Operation::ProfileReceived:
        return QStringLiteral("profile-received");
    case Operation::Unknown:
        break;
    }
    return QStringLiteral("?");
}

QString OperationHistory::shownOperation(const Entry &entry)
{
    if (entry.operation != Operation::Unknown)
        return operationText(entry.operation);
    return entry.storedOperation.isEmpty() ? QStringLiteral("?") : entry.storedOperation;
}

QString OperationHistory::resultText(Result result)
{
    return result == Result::Ok ? QStringLiteral("ok") : QStringLiteral("failed");
}

bool OperationHistory::record(const Entry &entry, QString &errorText)
{
    if (!m_db.isOpen()) {
        errorText = QStringLiteral("база не открыта");
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("INSERT INTO history (Time, Operation, Terminal, Number, Port, Result, Detail) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?)"));
    q.addBindValue(entry.time.toUTC().toString(Qt::ISODateWithMs));
    q.addBindValue(operationText(entry.operation));
    q.addBindValue(entry.terminal);
    q.addBindValue(entry.number.trimmed());
    q.addBindValue(entry.port);
    q.addBindValue(resultText(entry.result));
    q.addBindValue(entry.detail);
    if (q.exec())
        return true;
    errorText = q.lastError().text().trimmed();
    return false;
}

QString OperationHistory::bookName(const Database &db, const QString &number)
{
    for (const Database::Record &r : db.records()) {
        if (PhoneNumber::sameSubscriber(r.PhoneNumber, number))
            return r.Name;
    }
    return {};
}

bool OperationHistory::recordNow(Operation operation, const QString &number, const QString &port, Result result,
                                 const QString &detail, const QString &terminal)
{
    Entry e{QDateTime::currentDateTimeUtc(), operation, terminal, number, port, result, detail};
    if (e.terminal.isEmpty())
        e.terminal = bookName(m_db, number);
    QString error;
    if (record(e, error))
        return true;
    m_db.reportWriteFailure(error);
    return false;
}

QList<OperationHistory::Entry> OperationHistory::entries(const Filter &filter, QString *error) const
{
    QList<Entry> found;
    if (!m_db.isOpen()) {
        if (error)
            *error = QStringLiteral("база не открыта");
        return found;
    }
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    // ISO times of one form sort as text; the Id keeps entries of the same millisecond in order.
    if (!q.prepare(QStringLiteral("SELECT Time, Operation, Terminal, Number, Port, Result, Detail FROM history "
                                  "WHERE Time >= ? ORDER BY Time DESC, Id DESC"))) {
        if (error)
            *error = q.lastError().text().trimmed();
        return found;
    }
    q.addBindValue(filter.since.isValid() ? QDateTime(filter.since, QTime(0, 0), Qt::UTC).toString(Qt::ISODateWithMs)
                                          : QStringLiteral("0000")); // before any ISO time
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text().trimmed();
        return found;
    }
    while (q.next()) {
        Entry e;
        e.time = QDateTime::fromString(q.value(0).toString(), Qt::ISODateWithMs).toUTC();
        const QString operation = q.value(1).toString();
        e.storedOperation = operation;
        // A word not known here is never taken for another operation.
        e.operation = Operation::Unknown;
        for (Operation o : kOperations) {
            if (operationText(o) == operation)
                e.operation = o;
        }
        e.terminal = q.value(2).toString();
        e.number = q.value(3).toString();
        e.port = q.value(4).toString();
        e.result = q.value(5).toString() == QLatin1String("ok") ? Result::Ok : Result::Failed;
        e.detail = q.value(6).toString();
        if (!filter.terminal.isEmpty() && e.terminal != filter.terminal)
            continue;
        if (!filter.number.isEmpty() && !PhoneNumber::sameSubscriber(e.number, filter.number))
            continue;
        if (filter.failedOnly && e.result != Result::Failed)
            continue;
        found.append(e);
    }
    return found;
}

QList<OperationHistory::Entry> OperationHistory::entries() const
{
    return entries(Filter());
}

QStringList OperationHistory::lastFailed(Operation operation) const
{
    QStringList failed;
    QString error;
    lastFailed(operation, failed, error);
    return failed;
}

bool OperationHistory::lastFailed(Operation operation, QStringList &failed, QString &error) const
{
    failed.clear();
    QStringList seen;
    error.clear();
    const QList<Entry> all = entries(Filter{}, &error);
    if (!error.isEmpty())
        return false;
    for (const Entry &e : all) {
        if (e.operation != operation)
            continue;
        bool known = false;
        for (const QString &number : std::as_const(seen))
            known = known || PhoneNumber::sameSubscriber(number, e.number);
        if (known)
            continue;
        seen << e.number;
        if (e.result == Result::Failed)
            failed << e.number;
    }
    return true;
}

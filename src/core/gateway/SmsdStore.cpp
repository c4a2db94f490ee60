#include "core/gateway/SmsdStore.h"

#include "core/common/Workstation.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QAtomicInt s_connections;

bool isSentStatus(const QString &status)
{
    return status == QLatin1String("SendingOK") || status == QLatin1String("SendingOKNoReport")
           || status == QLatin1String("DeliveryOK") || status == QLatin1String("DeliveryPending")
           || status == QLatin1String("DeliveryUnknown");
}

// SQLITE_BUSY or SQLITE_LOCKED, extended codes included.
bool isBusy(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == 5 || code == 6);
}

// The database's words on one line, however many lines the driver gave.
QString oneLine(const QSqlError &error)
{
    const QString text = error.databaseText().simplified();
    return text.isEmpty() ? error.text().simplified() : text;
}

} // namespace

SmsdStore::SmsdStore() : m_connection(QStringLiteral("smsd-%1").arg(s_connections.fetchAndAddRelaxed(1))) {}

SmsdStore::~SmsdStore()
{
    close();
}

QString SmsdStore::quoted(const QString &name)
{
    // Standard SQL quoting, as both SQLite and PostgreSQL read it: a name is taken as written.
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

bool SmsdStore::open(const SmsdConfig &config, QString &error)
{
    close();
    m_lost = false;
    m_lostWhy.clear();
    m_reopenAt = QDateTime();
    m_reopenWaitMs = 0;
    // The gateway makes its database; an empty one made here would only hide a wrong path.
    if (config.driver == SmsdConfig::Driver::Sqlite && !QFileInfo(config.sqliteFile).isFile()) {
        error = QStringLiteral("нет файла ") + config.sqliteFile;
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(config.qtDriver(), m_connection);
    if (!db.isValid()) {
        error = QStringLiteral("Нет драйвера базы данных ") + config.qtDriver();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        return false;
    }
    m_postgres = config.driver == SmsdConfig::Driver::Postgres;
    m_tables = config.tables;
    m_statusFrequency = config.statusFrequency;
    m_phoneId = config.phoneId;
    if (!m_postgres) {
        db.setDatabaseName(config.sqliteFile);
        // The gateway writes at the same time: wait for its lock rather than fail at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs));
    } else {
        db.setHostName(config.host);
        if (config.port > 0)
            db.setPort(config.port);
        db.setUserName(config.user);
        db.setPassword(config.password);
        db.setDatabaseName(config.database);
    }
    if (!db.open()) {
        error = db.lastError().text();
        return false;
    }
    const QString where = m_postgres ? config.database : config.sqliteFile;
    if (!checkTables(where, error)) {
        db.close();
        return false;
    }
    m_opened = true;
    return true;
}

bool SmsdStore::checkTables(const QString &where, QString &error)
{
    // Asked of the database's catalogue: SQLite takes an unknown double-quoted name for a string,
    // so a query naming a missing column would pass and then find nothing.
    struct Needed
    {
        QString table;
        QStringList columns;
    };
    const QList<Needed> needed{
        {m_tables.outbox,
         {QStringLiteral("ID"), QStringLiteral("DestinationNumber"), QStringLiteral("Coding"), QStringLiteral("Class"),
          QStringLiteral("RelativeValidity"), QStringLiteral("Text"), QStringLiteral("CreatorID"),
          QStringLiteral("SenderID")}},
        {m_tables.sentitems, {QStringLiteral("ID"), QStringLiteral("Status"), QStringLiteral("SequencePosition")}},
        {m_tables.inbox,
         {QStringLiteral("ID"), QStringLiteral("SenderNumber"), QStringLiteral("Text"), QStringLiteral("Class"),
          QStringLiteral("UDH"), QStringLiteral("Coding"), QStringLiteral("Processed")}},
    };
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    QStringList missingTables;
    for (const Needed &n : needed) {
        bool asked = false;
        if (m_postgres) {
            q.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns "
                                     "WHERE table_name = ? AND table_schema = ANY (current_schemas(false))"));
            q.addBindValue(n.table);
            asked = q.exec();
        } else {
            asked = q.exec(QStringLiteral("PRAGMA table_info(") + quoted(n.table) + QLatin1Char(')'));
        }
        if (!asked) {
            if (isBusy(q.lastError()))
                error = QStringLiteral("база занята другой программой (") + where + QStringLiteral("): ")
                        + q.lastError().text();
            else
                error = QStringLiteral("В базе нет таблиц шлюза: ") + q.lastError().text();
            return false;
        }
        QStringList present;
        while (q.next())
            present << q.value(m_postgres ? 0 : 1).toString();
        if (present.isEmpty()) {
            missingTables << n.table;
            continue;
        }
        // SQLite's names are alike whatever their case; PostgreSQL's quoted ones are not.
        const Qt::CaseSensitivity cs = m_postgres ? Qt::CaseSensitive : Qt::CaseInsensitive;
        QStringList missing;
        for (const QString &column : n.columns) {
            if (!present.contains(column, cs))
                missing << column;
        }
        if (!missing.isEmpty()) {
            error = QStringLiteral("в таблице шлюза %1 нет столбцов: %2").arg(n.table, missing.join(QStringLiteral(", ")));
            return false;
        }
    }
    if (!missingTables.isEmpty()) {
        error = QStringLiteral("В базе нет таблиц шлюза: ") + missingTables.join(QStringLiteral(", "));
        return false;
    }
    // The columns are there; a role that may not read them is told now, not at the first send.
    for (const Needed &n : needed) {
        QStringList columns;
        for (const QString &column : n.columns)
            columns << quoted(column);
        if (!q.exec(QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(columns.join(QStringLiteral(", ")), quoted(n.table)))) {
            error = isBusy(q.lastError()) ? QStringLiteral("база занята другой программой (") + where + QStringLiteral("): ")
                                              + q.lastError().text()
                                          : QStringLiteral("таблица шлюза %1 не читается: ").arg(n.table) + q.lastError().text();
            return false;
        }
    }
    return true;
}

void SmsdStore::close()
{
    m_opened = false;
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool SmsdStore::isConnectionError(const QSqlError &error) const
{
    if (!m_postgres) {
        // QSQLITE calls any failed step a ConnectionError (a trigger's RAISE too): only a file
        // that cannot be read or opened any more (SQLITE_IOERR, SQLITE_CANTOPEN) is worth reopening.
        bool ok = false;
        const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
        return ok && (code == 10 || code == 14);
    }
    if (error.type() == QSqlError::ConnectionError)
        return true;
    // QPSQL reports a dropped server connection as a statement's error: SQLSTATE class 08, the
    // server's own shutdown or restart (57P01..57P03), or libpq's texts without an SQLSTATE.
    const QString state = error.nativeErrorCode();
    if (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") || state == QLatin1String("57P02")
        || state == QLatin1String("57P03"))
        return true;
    const QString text = error.databaseText();
    for (const char *gone : {"server closed the connection", "terminating connection", "no connection to the server",
                             "connection to server", "could not receive data from server", "could not send data to server",
                             "connection has been closed"}) {
        if (text.contains(QLatin1String(gone), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void SmsdStore::lose(const QString &why)
{
    // Closed now, so that nothing is prepared on it; the next operation opens it again.
    QSqlDatabase::database(m_connection, false).close();
    m_reopenAt = QDateTime();
    if (m_lost)
        return;
    m_lost = true;
    m_lostWhy = why;
    m_reopenWaitMs = ReopenFirstMs;
    if (m_linkHandler)
        m_linkHandler(why);
}

bool SmsdStore::ready(QString &error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (db.isOpen() && !m_lost)
        return true;
    if (!m_opened || !db.isValid()) {
        error = QStringLiteral("база шлюза не открыта");
        return false;
    }
    if (m_reopenAt.isValid() && m_now.isValid() && m_now < m_reopenAt) {
        error = m_lostWhy;
        return false;
    }
    // Reopened with the settings it was opened with from the configuration.
    db.close();
    if (!db.open()) {
        const QString why = oneLine(db.lastError());
        db.close();
        if (!m_lost) {
            m_lost = true;
            m_reopenWaitMs = ReopenFirstMs;
            if (m_linkHandler)
                m_linkHandler(why);
        }
        m_lostWhy = why;
        if (m_now.isValid())
            m_reopenAt = m_now.addMSecs(m_reopenWaitMs);
        m_reopenWaitMs = qMin(m_reopenWaitMs * 2, ReopenMostMs);
        error = why;
        return false;
    }
    const bool wasLost = m_lost;
    m_lost = false;
    m_lostWhy.clear();
    m_reopenAt = QDateTime();
    m_reopenWaitMs = 0;
    if (wasLost && m_linkHandler)
        m_linkHandler(QString());
    return true;
}

bool SmsdStore::run(QSqlQuery &q, const QString &sql, const QVariantList &values, QString &error)
{
    // Transaction control is never prepared: PostgreSQL cannot prepare BEGIN or COMMIT.
    const bool plain = values.isEmpty() && !sql.contains(QLatin1Char('?'));
    bool done = plain ? q.exec(sql) : q.prepare(sql);
    if (done && !plain) {
        for (const QVariant &value : values)
            q.addBindValue(value);
        done = q.exec();
    }
    if (done)
        return true;
    const QSqlError failure = q.lastError();
    error = failure.text();
    if (isConnectionError(failure))
        lose(oneLine(failure));
    return false;
}

qint64 SmsdStore::queue(const QString &number, const QByteArray &userData, QString &error)
{
    if (!ready(error))
        return -1;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // The column names are quoted: PostgreSQL's gammu schema keeps them in mixed case.
    // NULL SenderID: any of the gateways on this database may send it.
    if (!run(q,
             QStringLiteral("INSERT INTO %1 (\"DestinationNumber\", \"Coding\", \"Class\", \"RelativeValidity\", \"Text\", "
                            "\"CreatorID\", \"SenderID\") VALUES (?, '8bit', 2, 167, ?, ?, ?) RETURNING \"ID\"")
                 .arg(quoted(m_tables.outbox)),
             {number, QString::fromLatin1(userData.toHex().toUpper()), creator(),
              m_phoneId.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(m_phoneId)},
             error))
        return -1;
    if (!q.next()) {
        error = q.lastError().text();
        return -1;
    }
    return q.value(0).toLongLong();
}

SmsdStore::Status SmsdStore::status(qint64 id)
{
    // The gateway adds the sentitems row before it removes the outbox row: asked in this order,
    // a message is never seen in neither.
    QString error;
    if (!ready(error))
        return {SendState::Unknown, error};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q, QStringLiteral("SELECT \"ID\" FROM %1 WHERE \"ID\" = ?").arg(quoted(m_tables.outbox)), {id}, error))
        return {SendState::Unknown, error};
    if (q.next())
        return {SendState::Waiting, {}};
    if (!run(q,
             QStringLiteral("SELECT \"Status\" FROM %1 WHERE \"ID\" = ? ORDER BY \"SequencePosition\"")
                 .arg(quoted(m_tables.sentitems)),
             {id}, error))
        return {SendState::Unknown, error};
    if (!q.next())
        return {SendState::Gone, {}};
    const QString status = q.value(0).toString();
    return {isSentStatus(status) ? SendState::Sent : SendState::Failed, status};
}

bool SmsdStore::withdraw(qint64 id)
{
    QString error;
    if (!ready(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return run(q, QStringLiteral("DELETE FROM %1 WHERE \"ID\" = ?").arg(quoted(m_tables.outbox)), {id}, error)
           && q.numRowsAffected() > 0;
}

bool SmsdStore::unprocessed(QList<InboxRow> &rows, QString &error)
{
    rows.clear();
    if (!ready(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("SELECT \"ID\", \"SenderNumber\", \"Text\", \"Class\", \"UDH\" FROM %1 "
                            "WHERE \"Processed\" = 'false' AND \"Coding\" = '8bit' ORDER BY \"ID\"")
                 .arg(quoted(m_tables.inbox)),
             {}, error))
        return false;
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})*$"));
    while (q.next()) {
        // A text that is not whole hex octets is no message of this system's.
        const QString text = q.value(2).toString();
        if (!hex.match(text).hasMatch())
            continue;
        rows.append({q.value(0).toLongLong(), q.value(1).toString(), QByteArray::fromHex(text.toLatin1()),
                     q.value(3).isNull() ? -1 : q.value(3).toInt(), q.value(4).toString()});
    }
    return true;
}

bool SmsdStore::beginClaims(QString &error)
{
    if (!ready(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // SQLite: the write lock from the start, so two polls never read the same rows as unclaimed.
    // PostgreSQL: a lock of the program's own for the transaction, the halves included.
    if (!m_postgres)
        return run(q, QStringLiteral("BEGIN IMMEDIATE"), {}, error);
    if (!run(q, QStringLiteral("BEGIN"), {}, error))
        return false;
    if (run(q, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(ClaimLock), {}, error))
        return true;
    QString ignored;
    run(q, QStringLiteral("ROLLBACK"), {}, ignored);
    return false;
}

bool SmsdStore::endClaims(bool keep, QString &error)
{
    if (!ready(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (keep && run(q, QStringLiteral("COMMIT"), {}, error))
        return true;
    QString why;
    run(q, QStringLiteral("ROLLBACK"), {}, why);
    return !keep;
}

SmsdStore::Claim SmsdStore::claim(qint64 id, QString &error)
{
    if (!ready(error))
        return Claim::Failed;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("UPDATE %1 SET \"Processed\" = 'true' WHERE \"ID\" = ? AND \"Processed\" = 'false'")
                 .arg(quoted(m_tables.inbox)),
             {id}, error))
        return Claim::Failed;
    if (q.numRowsAffected() == 1)
        return Claim::Taken;
    // Nothing changed: taken by another, or ignored by a trigger that leaves the row as it was.
    if (!run(q, QStringLiteral("SELECT \"Processed\" FROM %1 WHERE \"ID\" = ?").arg(quoted(m_tables.inbox)), {id},
             error))
        return Claim::Failed;
    if (q.next() && q.value(0).toString() == QLatin1String("false")) {
        error = QStringLiteral("строка не изменилась");
        return Claim::Refused;
    }
    return Claim::Foreign;
}

bool SmsdStore::release(qint64 id, QString &error)
{
    if (!ready(error))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    return run(q, QStringLiteral("UPDATE %1 SET \"Processed\" = 'false' WHERE \"ID\" = ?").arg(quoted(m_tables.inbox)),
               {id}, error)
           && changedOne(q, error);
}

bool SmsdStore::changedOne(QSqlQuery &q, QString &error)
{
    if (q.numRowsAffected() < 1) {
        // A trigger that ignores the change, or another user who took the row meanwhile.
        error = QStringLiteral("строка не изменилась");
        return false;
    }
    return true;
}

SmsdStore::GatewayLife SmsdStore::life()
{
    // Fresh: written within one status period and half a minute; the database's own clock
    // decides, as it wrote the row. A gateway that never refreshes its row is judged by the row alone.
    const QString fresh = m_statusFrequency <= 0 ? QStringLiteral("1 = 1")
                          : m_postgres
                              ? QStringLiteral("\"TimeOut\" >= LOCALTIMESTAMP - interval '%1 seconds'").arg(m_statusFrequency + 30)
                              : QStringLiteral("\"TimeOut\" >= datetime('now', '-%1 seconds')").arg(m_statusFrequency + 30);
    QString error;
    if (!ready(error))
        return {Life::Unknown, error};
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!run(q,
             QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN %1 THEN 1 ELSE 0 END), MAX(\"TimeOut\") FROM %2")
                 .arg(fresh, quoted(m_tables.phones)),
             {}, error))
        return {Life::Unknown, error};
    if (!q.next())
        return {Life::Unknown, q.lastError().text()};
    if (q.value(0).toLongLong() == 0)
        return {Life::NoPhone, {}};
    const QString lastSeen = q.value(2).toString().replace(QLatin1Char('T'), QLatin1Char(' '));
    return {q.value(1).toLongLong() > 0 ? Life::Alive : Life::Stale, lastSeen};
}

QString SmsdStore::creator()
{
    return Workstation::name();
}

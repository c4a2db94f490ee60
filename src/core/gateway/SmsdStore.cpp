#include "core/gateway/SmsdStore.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSysInfo>
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
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

qint64 SmsdStore::queue(const QString &number, const QByteArray &userData, QString &error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    // The column names are quoted: PostgreSQL's gammu schema keeps them in mixed case.
    q.prepare(QStringLiteral("INSERT INTO %1 (\"DestinationNumber\", \"Coding\", \"Class\", \"RelativeValidity\", \"Text\", "
                             "\"CreatorID\", \"SenderID\") VALUES (?, '8bit', 2, 167, ?, ?, ?) RETURNING \"ID\"")
                  .arg(quoted(m_tables.outbox)));
    q.addBindValue(number);
    q.addBindValue(QString::fromLatin1(userData.toHex().toUpper()));
    q.addBindValue(creator());
    // NULL: any of the gateways on this database may send it.
    q.addBindValue(m_phoneId.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(m_phoneId));
    if (!q.exec() || !q.next()) {
        error = q.lastError().text();
        return -1;
    }
    return q.value(0).toLongLong();
}

SmsdStore::Status SmsdStore::status(qint64 id)
{
    // The gateway adds the sentitems row before it removes the outbox row: asked in this order,
    // a message is never seen in neither.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT \"ID\" FROM %1 WHERE \"ID\" = ?").arg(quoted(m_tables.outbox)));
    q.addBindValue(id);
    if (!q.exec())
        return {SendState::Unknown, q.lastError().text()};
    if (q.next())
        return {SendState::Waiting, {}};
    q.prepare(QStringLiteral("SELECT \"Status\" FROM %1 WHERE \"ID\" = ? ORDER BY \"SequencePosition\"")
                  .arg(quoted(m_tables.sentitems)));
    q.addBindValue(id);
    if (!q.exec())
        return {SendState::Unknown, q.lastError().text()};
    if (!q.next())
        return {SendState::Gone, {}};
    const QString status = q.value(0).toString();
    return {isSentStatus(status) ? SendState::Sent : SendState::Failed, status};
}

bool SmsdStore::withdraw(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE \"ID\" = ?").arg(quoted(m_tables.outbox)));
    q.addBindValue(id);
    return q.exec() && q.numRowsAffected() > 0;
}

bool SmsdStore::unprocessed(QList<InboxRow> &rows, QString &error)
{
    rows.clear();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT \"ID\", \"SenderNumber\", \"Text\", \"Class\", \"UDH\" FROM %1 "
                               "WHERE \"Processed\" = 'false' AND \"Coding\" = '8bit' ORDER BY \"ID\"")
                    .arg(quoted(m_tables.inbox)))) {
        error = q.lastError().text();
        return false;
    }
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

bool SmsdStore::mayMark(qint64 id, QString &error)
{
    // Processed stays as it is: only whether the row may be changed is learned.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE %1 SET \"Processed\" = 'false' WHERE \"ID\" = ? AND \"Processed\" = 'false'")
                  .arg(quoted(m_tables.inbox)));
    q.addBindValue(id);
    return changedOne(q, error);
}

bool SmsdStore::markProcessed(qint64 id, QString &error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE %1 SET \"Processed\" = 'true' WHERE \"ID\" = ?").arg(quoted(m_tables.inbox)));
    q.addBindValue(id);
    return changedOne(q, error);
}

bool SmsdStore::changedOne(QSqlQuery &q, QString &error)
{
    if (!q.exec()) {
        error = q.lastError().text();
        return false;
    }
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
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT COUNT(*), SUM(CASE WHEN %1 THEN 1 ELSE 0 END), MAX(\"TimeOut\") FROM %2")
                    .arg(fresh, quoted(m_tables.phones)))
        || !q.next())
        return {Life::Unknown, q.lastError().text()};
    if (q.value(0).toLongLong() == 0)
        return {Life::NoPhone, {}};
    const QString lastSeen = q.value(2).toString().replace(QLatin1Char('T'), QLatin1Char(' '));
    return {q.value(1).toLongLong() > 0 ? Life::Alive : Life::Stale, lastSeen};
}

QString SmsdStore::creator()
{
    static const QString name = QStringLiteral("kvrsetup@") + QSysInfo::machineHostName();
    return name;
}

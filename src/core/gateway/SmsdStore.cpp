#include "core/gateway/SmsdStore.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QAtomicInt s_connections;

// The column names are quoted: PostgreSQL's gammu schema keeps them in mixed case.
const QString kQueue = QStringLiteral(
    "INSERT INTO outbox (\"DestinationNumber\", \"Coding\", \"Class\", \"RelativeValidity\", \"Text\", \"CreatorID\") "
    "VALUES (?, '8bit', 2, 167, ?, 'kvrsetup') RETURNING \"ID\"");

bool isSentStatus(const QString &status)
{
    return status == QLatin1String("SendingOK") || status == QLatin1String("SendingOKNoReport")
           || status == QLatin1String("DeliveryOK") || status == QLatin1String("DeliveryPending")
           || status == QLatin1String("DeliveryUnknown");
}

} // namespace

SmsdStore::SmsdStore() : m_connection(QStringLiteral("smsd-%1").arg(s_connections.fetchAndAddRelaxed(1))) {}

SmsdStore::~SmsdStore()
{
    close();
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
    if (config.driver == SmsdConfig::Driver::Sqlite) {
        db.setDatabaseName(config.sqliteFile);
        // The gateway writes at the same time: wait for its lock rather than fail at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
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
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("SELECT \"ID\" FROM outbox WHERE 1 = 0"))
        || !check.exec(QStringLiteral("SELECT \"ID\", \"Status\" FROM sentitems WHERE 1 = 0"))
        || !check.exec(QStringLiteral("SELECT \"ID\", \"Processed\" FROM inbox WHERE 1 = 0"))) {
        error = QStringLiteral("В базе нет таблиц шлюза: ") + check.lastError().text();
        db.close();
        return false;
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
    q.prepare(kQueue);
    q.addBindValue(number);
    q.addBindValue(QString::fromLatin1(userData.toHex().toUpper()));
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
    q.prepare(QStringLiteral("SELECT \"ID\" FROM outbox WHERE \"ID\" = ?"));
    q.addBindValue(id);
    if (!q.exec())
        return {SendState::Unknown, q.lastError().text()};
    if (q.next())
        return {SendState::Waiting, {}};
    q.prepare(QStringLiteral("SELECT \"Status\" FROM sentitems WHERE \"ID\" = ? ORDER BY \"SequencePosition\""));
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
    q.prepare(QStringLiteral("DELETE FROM outbox WHERE \"ID\" = ?"));
    q.addBindValue(id);
    return q.exec() && q.numRowsAffected() > 0;
}

bool SmsdStore::unprocessed(QList<InboxRow> &rows, QString &error)
{
    rows.clear();
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(QStringLiteral("SELECT \"ID\", \"SenderNumber\", \"Text\", \"Class\", \"UDH\" FROM inbox "
                               "WHERE \"Processed\" = 'false' AND \"Coding\" = '8bit' ORDER BY \"ID\""))) {
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

bool SmsdStore::markProcessed(qint64 id, QString &error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("UPDATE inbox SET \"Processed\" = 'true' WHERE \"ID\" = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        error = q.lastError().text();
        return false;
    }
    return true;
}

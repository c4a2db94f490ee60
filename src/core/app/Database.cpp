#include "core/app/Database.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt g_connectionCounter;
const QString kSelectRecords = QStringLiteral("SELECT Id, Name, PhoneNumber FROM objects ORDER BY Id");
} // namespace

Database::Database() : m_connection(QStringLiteral("kvr_addressbook_%1").arg(g_connectionCounter.fetchAndAddRelaxed(1)))
{
}

Database::~Database()
{
    close();
}

namespace {
// Opens and checks the address book on an added connection; false with the driver's text on failure.
bool openAndCheck(const QString &connection, const QString &path, QString &errorText)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.setDatabaseName(path);
    // A book locked by another program gives up after a second instead of holding the window.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=1000"));
    if (!db.open()) {
        errorText = db.lastError().text().trimmed();
        return false;
    }
    QSqlQuery q(db);
    // Opening succeeds on any file; the first read tells whether it is a database at all.
    bool ok = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    if (ok && !db.tables().contains(QStringLiteral("objects")))
        ok = q.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS objects (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, PhoneNumber TEXT)"));
    // Where each terminal's last firmware load stopped (ResumePoints).
    if (ok)
        ok = q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS resume_points (Number TEXT PRIMARY KEY, Mode TEXT, "
                                   "Files TEXT, Bank INTEGER, Address INTEGER)"));
    // What was done to which terminal, and when (OperationHistory).
    if (ok)
        ok = q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS history (Id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                   "Time TEXT, Operation TEXT, Terminal TEXT, Number TEXT, Port TEXT, Result TEXT, "
                                   "Detail TEXT)"));
    if (ok)
        ok = q.exec(kSelectRecords);
    if (!ok)
        errorText = q.lastError().text().trimmed();
    return ok;
}
} // namespace

bool Database::open(const QString &path, QString &errorText)
{
    close();
    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (openAndCheck(m_connection, path, errorText))
        return true;
    if (errorText.isEmpty())
        errorText = QStringLiteral("unknown error");
    close();
    return false;
}

void Database::close()
{
    if (!QSqlDatabase::contains(m_connection))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool Database::isOpen() const
{
    return QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen();
}

QList<Database::Record> Database::records() const
{
    QList<Record> out;
    QString ignored;
    readRecords(out, ignored);
    return out;
}

bool Database::readRecords(QList<Record> &out, QString &errorText) const
{
    out.clear();
    if (!isOpen()) {
        errorText = QStringLiteral("database not open");
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    if (!q.exec(kSelectRecords)) {
        errorText = q.lastError().text().trimmed();
        return false;
    }
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return true;
}

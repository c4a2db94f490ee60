#include "core/app/Database.h"

#include <QAtomicInt>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInt g_connectionCounter;
QAtomicInt g_busyTimeoutMs = 10000;
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
// SQLite's answer to a write on a file that cannot be written.
bool isReadOnlyError(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("8");
}

// Opens and checks the address book on an added connection; false with the driver's text on failure.
// A book that cannot be written (a read-only share, another user's file) still opens to be read.
bool openAndCheck(const QString &connection, const QString &path, QString &errorText, bool &readOnly)
{
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.setDatabaseName(path);
    // A book locked by another program is waited for a while, then said, instead of holding the window.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Database::busyTimeoutMs()));
    if (!db.open()) {
        errorText = db.lastError().text().trimmed();
        return false;
    }
    QSqlQuery q(db);
    // Opening succeeds on any file; the first read tells whether it is a database at all.
    bool ok = q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    const QStringList tables = ok ? db.tables() : QStringList();
    // Only missing tables are made: a book from an earlier version gains them where it can be written.
    const struct
    {
        const char *name;
        const char *create;
    } wanted[] = {
        {"objects", "CREATE TABLE objects (Id INTEGER PRIMARY KEY AUTOINCREMENT, Name TEXT, PhoneNumber TEXT)"},
        // Where each terminal's last firmware load stopped (ResumePoints).
        {"resume_points", "CREATE TABLE resume_points (Number TEXT PRIMARY KEY, Mode TEXT, Files TEXT, Bank INTEGER, "
                          "Address INTEGER)"},
        // The files each terminal's last dialled load completed with (ResumePoints).
        {"finished_loads", "CREATE TABLE finished_loads (Number TEXT PRIMARY KEY, Mode TEXT, Files TEXT)"},
        // What was done to which terminal, and when (OperationHistory).
        {"history", "CREATE TABLE history (Id INTEGER PRIMARY KEY AUTOINCREMENT, Time TEXT, Operation TEXT, "
                    "Terminal TEXT, Number TEXT, Port TEXT, Result TEXT, Detail TEXT)"},
    };
    for (const auto &table : wanted) {
        if (!ok || tables.contains(QLatin1String(table.name)))
            continue;
        ok = q.exec(QLatin1String(table.create));
        if (!ok && isReadOnlyError(q.lastError()) && qstrcmp(table.name, "objects") != 0) {
            // Without them the book still lists; the history and resume points are not kept.
            readOnly = true;
            ok = true;
        }
    }
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
    m_readOnly = false;
    if (openAndCheck(m_connection, path, errorText, m_readOnly))
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

int Database::busyTimeoutMs()
{
    return g_busyTimeoutMs.loadRelaxed();
}

void Database::setBusyTimeoutMs(int ms)
{
    g_busyTimeoutMs.storeRelaxed(ms);
}

void Database::setWriteFailureHandler(std::function<void(const QString &error)> handler)
{
    m_writeFailure = std::move(handler);
    m_writeFailureTold = false;
}

void Database::reportWriteFailure(const QString &error)
{
    if (m_writeFailureTold || !m_writeFailure)
        return;
    m_writeFailureTold = true;
    m_writeFailure(error);
}

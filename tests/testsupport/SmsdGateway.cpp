#include "SmsdGateway.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

namespace {

QAtomicInt s_gateways;

const QString kSqliteSchema = QStringLiteral("/usr/share/doc/gammu-smsd/examples/sqlite.sql");
const QString kPostgresSchema = QStringLiteral("/usr/share/doc/gammu-smsd/examples/pgsql.sql");
const QString kUser = QStringLiteral("smsd");

// The example schema, one statement at a time (a trigger's body holds semicolons of its own).
QStringList statements(const QString &text)
{
    QStringList out;
    QString current;
    bool inTrigger = false;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (t.startsWith(QLatin1String("--")) || (t.isEmpty() && current.isEmpty()))
            continue;
        current += line + QLatin1Char('\n');
        if (t.startsWith(QLatin1String("CREATE TRIGGER"), Qt::CaseInsensitive))
            inTrigger = true;
        const bool ends = inTrigger ? t.compare(QLatin1String("END;"), Qt::CaseInsensitive) == 0 : t.endsWith(QLatin1Char(';'));
        if (ends) {
            out << current;
            current.clear();
            inTrigger = false;
        }
    }
    return out;
}

// The newest PostgreSQL server's programs installed; empty when none.
QString postgresBin()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    while (!found.isEmpty()) {
        const QString bin = versions.filePath(found.takeLast() + QStringLiteral("/bin"));
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/pg_ctl")))
            return bin;
    }
    return {};
}

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

} // namespace

SmsdGateway::SmsdGateway(Store store)
    : m_store(store), m_connection(QStringLiteral("smsd-gateway-check-%1").arg(s_gateways.fetchAndAddRelaxed(1)))
{
}

SmsdGateway::~SmsdGateway()
{
    for (QProcess *p : {&m_network, &m_smsd}) {
        if (p->state() != QProcess::NotRunning) {
            p->terminate();
            if (!p->waitForFinished(5000)) {
                p->kill();
                p->waitForFinished(3000);
            }
        }
    }
    if (QSqlDatabase::contains(m_connection)) {
        QSqlDatabase::database(m_connection, false).close();
        QSqlDatabase::removeDatabase(m_connection);
    }
    if (m_serverStarted) {
        QString ignored;
        runPostgresTool(QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("pgdata")), QStringLiteral("-m"),
                         QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")},
                        true, ignored);
    }
}

QString SmsdGateway::smsdProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("gammu-smsd"));
}

bool SmsdGateway::available(Store store, QString &why)
{
    if (smsdProgram().isEmpty()) {
        why = QStringLiteral("gammu-smsd is not installed (scripts/install-deps.sh installs it)");
        return false;
    }
    if (store == Store::Sqlite) {
        if (!QFile::exists(kSqliteSchema)) {
            why = QStringLiteral("the example schema ") + kSqliteSchema + QStringLiteral(" is missing");
            return false;
        }
        return true;
    }
    if (postgresBin().isEmpty() || QStandardPaths::findExecutable(QStringLiteral("psql")).isEmpty()) {
        why = QStringLiteral("no PostgreSQL server installed (package postgresql)");
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        why = QStringLiteral("no Qt PostgreSQL driver (package libqt6sql6-psql)");
        return false;
    }
    if (runsAsRoot() && (!::getpwnam("postgres") || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty())) {
        why = QStringLiteral("running as root without a postgres user to run the server as");
        return false;
    }
    if (!QFile::exists(kPostgresSchema)) {
        why = QStringLiteral("the example schema ") + kPostgresSchema + QStringLiteral(" is missing");
        return false;
    }
    return true;
}

bool SmsdGateway::runPostgresTool(const QString &tool, const QStringList &args, bool asServerUser, QString &why)
{
    const QString program = tool == QLatin1String("psql") ? QStandardPaths::findExecutable(tool)
                                                          : postgresBin() + QLatin1Char('/') + tool;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    // The server refuses to run as root.
    if (asServerUser && runsAsRoot())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                                                      program} + args);
    else
        p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        why = tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    return true;
}

bool SmsdGateway::makeSqlite(QString &why)
{
    QFile schema(kSqliteSchema);
    if (!schema.open(QIODevice::ReadOnly)) {
        why = schema.errorString();
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_dir.filePath(QStringLiteral("smsd.db")));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        why = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    for (const QString &statement : statements(QString::fromUtf8(schema.readAll()))) {
        if (!q.exec(statement)) {
            why = q.lastError().text() + QStringLiteral(": ") + statement;
            return false;
        }
    }
    return true;
}

bool SmsdGateway::makePostgres(QString &why)
{
    if (runsAsRoot()) {
        const struct passwd *pw = ::getpwnam("postgres");
        if (!pw || ::chown(QFile::encodeName(folder()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            why = QStringLiteral("cannot give the test folder to the postgres user");
            return false;
        }
    }
    const QString data = m_dir.filePath(QStringLiteral("pgdata"));
    if (!runPostgresTool(QStringLiteral("initdb"),
                         {QStringLiteral("-D"), data, QStringLiteral("--auth=trust"), QStringLiteral("-U"),
                          QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                          QStringLiteral("--locale=C")},
                         true, why))
        return false;
    // No TCP port: only a socket in the test's folder, so that tests never meet another server.
    if (!runPostgresTool(QStringLiteral("pg_ctl"),
                         {QStringLiteral("-D"), data, QStringLiteral("-o"),
                          QStringLiteral("-c listen_addresses='' -k ") + folder(), QStringLiteral("-l"),
                          m_dir.filePath(QStringLiteral("postgres.log")), QStringLiteral("-w"), QStringLiteral("start")},
                         true, why))
        return false;
    m_serverStarted = true;
    if (!runPostgresTool(QStringLiteral("psql"),
                         {QStringLiteral("-h"), folder(), QStringLiteral("-U"), QStringLiteral("postgres"),
                          QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-c"),
                          QStringLiteral("CREATE ROLE smsd LOGIN PASSWORD 'smsd'"), QStringLiteral("-c"),
                          QStringLiteral("CREATE DATABASE smsd OWNER smsd")},
                         false, why))
        return false;
    // The example's "CREATE EXTENSION plpgsql" fails for an owner that is no superuser; the
    // extension is there anyway, and the tables are checked below.
    if (!runPostgresTool(QStringLiteral("psql"),
                         {QStringLiteral("-q"), QStringLiteral("-h"), folder(), QStringLiteral("-U"), kUser,
                          QStringLiteral("-d"), kUser, QStringLiteral("-f"), kPostgresSchema},
                         false, why))
        return false;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
    db.setHostName(folder());
    db.setUserName(kUser);
    db.setPassword(kUser);
    db.setDatabaseName(kUser);
    if (!db.open()) {
        why = db.lastError().text();
        return false;
    }
    if (rows(QStringLiteral("SELECT COUNT(*) FROM outbox")) != QStringList{QStringLiteral("0")}) {
        why = QStringLiteral("the example schema made no outbox");
        return false;
    }
    return true;
}

bool SmsdGateway::start(const QStringList &kvrsimOptions, QString &why)
{
    if (!prepare(why))
        return false;
    const bool postgres = m_store == Store::Postgres;
    m_smsd.setProcessChannelMode(QProcess::MergedChannels);
    m_smsd.start(smsdProgram(), {QStringLiteral("-c"), configPath()});
    const QString networkDatabase = postgres ? QStringLiteral("postgresql://smsd:smsd@/smsd?host=") + folder()
                                             : m_dir.filePath(QStringLiteral("smsd.db"));
    m_network.setProcessChannelMode(QProcess::MergedChannels);
    m_network.start(QStringLiteral(KVRSIM_PATH),
                    QStringList{QStringLiteral("--smsd-network"), networkDatabase} + kvrsimOptions);
    if (!m_smsd.waitForStarted(5000) || !m_network.waitForStarted(5000)) {
        why = QStringLiteral("gammu-smsd or kvrsim did not start");
        return false;
    }
    return true;
}

bool SmsdGateway::prepare(QString &why)
{
    if (!available(m_store, why))
        return false;
    const bool postgres = m_store == Store::Postgres;
    if (!(postgres ? makePostgres(why) : makeSqlite(why)))
        return false;
    QDir(folder()).mkdir(QStringLiteral("phone"));
    QFile config(configPath());
    if (!config.open(QIODevice::WriteOnly)) {
        why = config.errorString();
        return false;
    }
    const QString database =
        postgres ? QStringLiteral("driver = native_pgsql\nhost = %1\nuser = smsd\npassword = smsd\ndatabase = smsd\n").arg(folder())
                 : QStringLiteral("driver = sqlite3\ndbdir = %1/\ndatabase = smsd.db\n").arg(folder());
    // A pass every second, so that tests do not wait for an idle gateway.
    config.write(QStringLiteral("[gammu]\nmodel = dummy\nconnection = none\ndevice = %1\n\n[smsd]\nservice = sql\n%2"
                                "logfile = %3\ndebuglevel = 1\ncommtimeout = 1\nsendtimeout = 5\nloopsleep = 1\n"
                                "checksecurity = 0\ncheckbattery = 0\nchecksignal = 0\n")
                     .arg(m_dir.filePath(QStringLiteral("phone")), database, m_dir.filePath(QStringLiteral("smsd.log")))
                     .toUtf8());
    config.close();
    return true;
}

QStringList SmsdGateway::rows(const QString &sql) const
{
    QStringList out;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    if (!q.exec(sql))
        return {QStringLiteral("error: ") + q.lastError().text()};
    while (q.next()) {
        QStringList columns;
        for (int i = 0; i < q.record().count(); ++i)
            columns << q.value(i).toString();
        out << columns.join(QLatin1Char('|'));
    }
    return out;
}

bool SmsdGateway::exec(const QString &sql) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return q.exec(sql);
}

bool SmsdGateway::deliver(const QString &sender, const QByteArray &userData, const QString &inbox) const
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("INSERT INTO \"%1\" (\"Text\", \"SenderNumber\", \"Coding\", \"UDH\", \"SMSCNumber\", \"Class\", "
                             "\"TextDecoded\", \"RecipientID\") VALUES (?, ?, '8bit', '', '+79168999100', 2, '', '')")
                  .arg(inbox));
    q.addBindValue(QString::fromLatin1(userData.toHex().toUpper()));
    q.addBindValue(sender);
    return q.exec();
}

bool SmsdGateway::passOutbox(const QString &status, const QString &outbox, const QString &sentitems) const
{
    return exec(QStringLiteral("INSERT INTO \"%1\" (\"Text\", \"UDH\", \"ID\", \"SenderID\", \"CreatorID\", \"Status\", "
                               "\"DestinationNumber\", \"Coding\", \"Class\", \"RelativeValidity\") "
                               "SELECT COALESCE(\"Text\", ''), COALESCE(\"UDH\", ''), \"ID\", '', \"CreatorID\", '%3', "
                               "\"DestinationNumber\", \"Coding\", \"Class\", \"RelativeValidity\" FROM \"%2\"")
                    .arg(sentitems, outbox, status))
           && exec(QStringLiteral("DELETE FROM \"%1\"").arg(outbox));
}

bool SmsdGateway::renameTables(const QString &prefix, QString &why)
{
    QString section = QStringLiteral("\n[tables]\n");
    for (const QString &table : {QStringLiteral("inbox"), QStringLiteral("outbox"), QStringLiteral("sentitems"),
                                 QStringLiteral("phones"), QStringLiteral("outbox_multipart"), QStringLiteral("gammu")}) {
        if (!exec(QStringLiteral("ALTER TABLE %1 RENAME TO \"%2%1\"").arg(table, prefix))) {
            why = QStringLiteral("cannot rename ") + table;
            return false;
        }
        section += QStringLiteral("%1 = %2%1\n").arg(table, prefix);
    }
    QFile config(configPath());
    if (!config.open(QIODevice::Append)) {
        why = config.errorString();
        return false;
    }
    config.write(section.toUtf8());
    return true;
}

bool SmsdGateway::serverControl(const QString &action, QString &why)
{
    if (!m_serverStarted) {
        why = QStringLiteral("no PostgreSQL server of the test's own");
        return false;
    }
    // No TCP port: only a socket in the test's folder, so that tests never meet another server.
    // Fast: the sessions are ended by the server, as a restart in the field ends them.
    return runPostgresTool(QStringLiteral("pg_ctl"),
                           {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("pgdata")), QStringLiteral("-o"),
                            QStringLiteral("-c listen_addresses='' -k ") + folder(), QStringLiteral("-l"),
                            m_dir.filePath(QStringLiteral("postgres.log")), QStringLiteral("-m"), QStringLiteral("fast"),
                            QStringLiteral("-w"), action},
                           true, why);
}

bool SmsdGateway::reopenCheck(QString &why)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.close();
    if (!db.open()) {
        why = db.lastError().text();
        return false;
    }
    return true;
}

bool SmsdGateway::restartServer(QString &why)
{
    return serverControl(QStringLiteral("restart"), why) && reopenCheck(why);
}

bool SmsdGateway::stopServer(QString &why)
{
    if (!serverControl(QStringLiteral("stop"), why))
        return false;
    QSqlDatabase::database(m_connection, false).close();
    return true;
}

bool SmsdGateway::startServer(QString &why)
{
    return serverControl(QStringLiteral("start"), why) && reopenCheck(why);
}

QString SmsdGateway::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("smsd.log")));
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    return text + QString::fromUtf8(const_cast<QProcess &>(m_network).readAll());
}

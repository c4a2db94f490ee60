#include "SmsdGateway.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QVariant>

namespace {

const QString kConnection = QStringLiteral("smsd-gateway-check");

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

} // namespace

SmsdGateway::SmsdGateway() = default;

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
    if (QSqlDatabase::contains(kConnection))
        QSqlDatabase::removeDatabase(kConnection);
}

QString SmsdGateway::smsdProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("gammu-smsd"));
}

QString SmsdGateway::schemaPath()
{
    const QString path = QStringLiteral("/usr/share/doc/gammu-smsd/examples/sqlite.sql");
    return QFile::exists(path) ? path : QString();
}

bool SmsdGateway::start(const QStringList &kvrsimOptions, QString &why)
{
    if (smsdProgram().isEmpty() || schemaPath().isEmpty()) {
        why = QStringLiteral("gammu-smsd or its example schema is not installed");
        return false;
    }
    QFile schema(schemaPath());
    if (!schema.open(QIODevice::ReadOnly)) {
        why = schema.errorString();
        return false;
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), kConnection);
        db.setDatabaseName(databasePath());
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
    }
    QDir(folder()).mkdir(QStringLiteral("phone"));
    QFile config(configPath());
    if (!config.open(QIODevice::WriteOnly))
        return false;
    // A pass every second, so that tests do not wait for an idle gateway.
    config.write(QStringLiteral("[gammu]\nmodel = dummy\nconnection = none\ndevice = %1\n\n"
                                "[smsd]\nservice = sql\ndriver = sqlite3\ndbdir = %2\ndatabase = smsd.db\n"
                                "logfile = %3\ndebuglevel = 1\ncommtimeout = 1\nsendtimeout = 5\nloopsleep = 1\n"
                                "checksecurity = 0\ncheckbattery = 0\nchecksignal = 0\n")
                     .arg(m_dir.filePath(QStringLiteral("phone")), folder() + QLatin1Char('/'),
                          m_dir.filePath(QStringLiteral("smsd.log")))
                     .toUtf8());
    config.close();
    m_smsd.setProcessChannelMode(QProcess::MergedChannels);
    m_smsd.start(smsdProgram(), {QStringLiteral("-c"), configPath()});
    m_network.setProcessChannelMode(QProcess::MergedChannels);
    m_network.start(QStringLiteral(KVRSIM_PATH),
                    QStringList{QStringLiteral("--smsd-network"), databasePath()} + kvrsimOptions);
    if (!m_smsd.waitForStarted(5000) || !m_network.waitForStarted(5000)) {
        why = QStringLiteral("gammu-smsd or kvrsim did not start");
        return false;
    }
    return true;
}

QStringList SmsdGateway::rows(const QString &sql) const
{
    QStringList out;
    QSqlQuery q(QSqlDatabase::database(kConnection));
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
    QSqlQuery q(QSqlDatabase::database(kConnection));
    return q.exec(sql);
}

QString SmsdGateway::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("smsd.log")));
    QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    return text + QString::fromUtf8(const_cast<QProcess &>(m_network).readAll());
}

#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A gammu-smsd gateway for one test: the real gammu-smsd with gammu's dummy phone over a
// database made from the Debian example schema, and kvrsim playing the network behind it (the
// terminals answer into the inbox). The database is an SQLite file, or a PostgreSQL server of
// the test's own (a fresh cluster on a socket in the test's folder, stopped at the end).
class SmsdGateway
{
public:
    enum class Store { Sqlite, Postgres };

    explicit SmsdGateway(Store store = Store::Sqlite);
    ~SmsdGateway();

    // Whether this machine has what the store needs; why not otherwise.
    static bool available(Store store, QString &why);

    // Makes the database and starts gammu-smsd and the network; kvrsimOptions are kvrsim's
    // (--terminal, --sms-delay, --smsd-refuse). False with why.
    bool start(const QStringList &kvrsimOptions, QString &why);
    // The database and the configuration only, as a gateway whose gammu-smsd is stopped: what
    // goes into the outbox stays there.
    bool prepare(QString &why);

    QString configPath() const { return m_dir.filePath(QStringLiteral("smsdrc")); }
    QString folder() const { return m_dir.path(); }

    // One query on the gateway's database for the test's checks: the rows, columns joined by "|".
    QStringList rows(const QString &sql) const;
    bool exec(const QString &sql) const;
    // A terminal's answer put into the inbox as the network would (kvrsim's row).
    bool deliver(const QString &sender, const QByteArray &userData, const QString &inbox = QStringLiteral("inbox")) const;
    // What a gammu-smsd that has taken the outbox does: its rows move to sentitems with status.
    bool passOutbox(const QString &status = QStringLiteral("SendingOKNoReport"), const QString &outbox = QStringLiteral("outbox"),
                    const QString &sentitems = QStringLiteral("sentitems")) const;
    // gammu's tables renamed to prefix + their name, and the configuration's [tables] section
    // saying so (after prepare()).
    bool renameTables(const QString &prefix, QString &why);
    // The PostgreSQL server stopped, its sessions ended, and started again; the fixture's own
    // connection is opened anew. False with why.
    bool restartServer(QString &why);
    // The PostgreSQL server stopped (its sessions ended), and started again later with the
    // fixture's own connection opened anew. False with why.
    bool stopServer(QString &why);
    bool startServer(QString &why);
    // The gateway's and the network's output so far.
    QString log() const;

private:
    static QString smsdProgram();
    bool makeSqlite(QString &why);
    bool makePostgres(QString &why);
    // A PostgreSQL program, run as the postgres user when the test runs as root; false with its output.
    bool runPostgresTool(const QString &tool, const QStringList &args, bool asServerUser, QString &why);
    // pg_ctl with the cluster, its socket folder and its log; action: start, stop or restart.
    bool serverControl(const QString &action, QString &why);
    bool reopenCheck(QString &why);

    Store m_store;
    QString m_connection;
    QTemporaryDir m_dir;
    QProcess m_smsd;
    QProcess m_network;
    bool m_serverStarted = false;
};

#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A gammu-smsd gateway for one test: the real gammu-smsd with gammu's dummy phone over an
// SQLite database made from the Debian example schema, and kvrsim playing the network behind
// it (the terminals answer into the inbox).
class SmsdGateway
{
public:
    SmsdGateway();
    ~SmsdGateway();

    // Where gammu-smsd and its example schema are; empty when not installed.
    static QString smsdProgram();
    static QString schemaPath();

    // Makes the database and starts gammu-smsd and the network; kvrsimOptions are kvrsim's
    // (--terminal, --sms-delay, --smsd-refuse). False with why.
    bool start(const QStringList &kvrsimOptions, QString &why);

    QString configPath() const { return m_dir.filePath(QStringLiteral("smsdrc")); }
    QString databasePath() const { return m_dir.filePath(QStringLiteral("smsd.db")); }
    QString folder() const { return m_dir.path(); }

    // One query on the gateway's database for the test's checks: the rows, columns joined by "|".
    QStringList rows(const QString &sql) const;
    bool exec(const QString &sql) const;
    // The gateway's and the network's output so far.
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_smsd;
    QProcess m_network;
};

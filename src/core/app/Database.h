#pragma once

#include <QList>
#include <QString>

#include <functional>

// The address book database: an SQLite file with table objects(Id, Name, PhoneNumber).
class Database
{
public:
    struct Record
    {
        qint64 Id = 0;
        QString Name;
        QString PhoneNumber;
    };

    Database();
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    // How long a book locked by another program is waited for (10 s; tests of the lock shorten it).
    static int busyTimeoutMs();
    static void setBusyTimeoutMs(int ms);

    // Opens (creating when new) and checks the table. On failure errorText holds the driver's description.
    bool open(const QString &path, QString &errorText);
    // Opened from a file that cannot be written, without the tables a later version added.
    bool isReadOnly() const { return m_readOnly; }
    void close();
    bool isOpen() const;
    QString connectionName() const { return m_connection; }

    // Who hears of a history row that could not be written: told once per open book, so a run of
    // failures is said once, not lost and not repeated for every row.
    void setWriteFailureHandler(std::function<void(const QString &error)> handler);
    void reportWriteFailure(const QString &error);

    // Records in Id order.
    QList<Record> records() const;
    // The same, false with the driver's text when the table cannot be read (locked, damaged).
    bool readRecords(QList<Record> &out, QString &errorText) const;

private:
    QString m_connection;
    bool m_readOnly = false;
    std::function<void(const QString &)> m_writeFailure;
    bool m_writeFailureTold = false;
};

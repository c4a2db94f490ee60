#pragma once

#include <QList>
#include <QString>

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

    // Opens (creating when new) and checks the table. On failure errorText holds the driver's description.
    bool open(const QString &path, QString &errorText);
    void close();
    bool isOpen() const;
    QString connectionName() const { return m_connection; }

    // Records in Id order.
    QList<Record> records() const;
    // The same, false with the driver's text when the table cannot be read (locked, damaged).
    bool readRecords(QList<Record> &out, QString &errorText) const;

private:
    QString m_connection;
};

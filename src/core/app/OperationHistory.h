#pragma once

#include "core/app/Database.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What was done to which terminal, and when: every load, profile send and read, GPRS send, and
// every confirmation or profile a poll receives, kept in Data.db beside the address book so the
// window and the command-line tool share it.
class OperationHistory
{
public:
    // Unknown: a word in the table this program does not know (a newer version's, or damage).
    enum class Operation { Upload, SendProfile, ReadProfile, SendGprs, Confirmation, ProfileReceived, Unknown };
    enum class Result { Ok, Failed };

    struct Entry
    {
        QDateTime time; // UTC
        Operation operation = Operation::Upload;
        QString terminal; // the address book's name, when known
        QString number;
        QString port;
        Result result = Result::Ok;
        QString detail;
        QString storedOperation{}; // the word as the table has it, when read from it
    };
    struct Filter
    {
        QString terminal;     // exact name; empty: any
        QString number;       // any form of the same subscriber; empty: any
        QDate since;          // UTC day; invalid: from the beginning
        bool failedOnly = false;
    };

    explicit OperationHistory(Database &db) : m_db(db) {}

    // The address book's name of the subscriber, or "".
    static QString bookName(const Database &db, const QString &number);
    // False with errorText when the database cannot be written.
    bool record(const Entry &entry, QString &errorText);
    // The same, now, with the terminal's name from the address book when none is given; a
    // failure to keep it is not the operation's, so it is only returned.
    bool recordNow(Operation operation, const QString &number, const QString &port, Result result,
                   const QString &detail, const QString &terminal = QString());
    // Newest first; empty with *error set when the table cannot be read.
    QList<Entry> entries(const Filter &filter, QString *error = nullptr) const;
    QList<Entry> entries() const;
    // The numbers whose last run of operation failed, newest first.
    QStringList lastFailed(Operation operation) const;
    // The same, false with error when the table cannot be read.
    bool lastFailed(Operation operation, QStringList &failed, QString &error) const;

    // The words the table stores and prints: "upload", "send-profile", ... and "ok"/"failed".
    static QString operationText(Operation operation);
    // How an entry's operation is printed: its word, the stored word for one unknown here, or "?".
    static QString shownOperation(const Entry &entry);
    static QString resultText(Result result);

private:
    Database &m_db;
};

#pragma once

#include "core/app/Database.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>

#include <functional>

// The terminals' address book over the table objects of Data.db: records in Id order (the
// order the link window's grid shows and its edit command counts in), the smallest free Id
// for a new record, edit by grid position, delete by Id. Every change is one transaction:
// on a database error the book stays as it was and errorText holds the driver's text.
class AddressBook
{
public:
    static constexpr int MaxId = 9999;

    enum class Result { Done, Full, NotFound, Failed };

    explicit AddressBook(Database &db) : m_db(db) {}

    QList<Database::Record> records() const { return m_db.records(); }
    bool readRecords(QList<Database::Record> &out, QString &errorText) const { return m_db.readRecords(out, errorText); }
    // The smallest Id in 1..MaxId not taken; 0 when all are.
    static qint64 freeId(const QList<Database::Record> &records);

    Result add(const QString &name, const QString &phone, QString &errorText, qint64 *newId = nullptr);
    // row: 1-based position in records().
    Result editAt(int row, const QString &name, const QString &phone, QString &errorText);
    Result editId(qint64 id, const QString &name, const QString &phone, QString &errorText);
    Result remove(qint64 id, QString &errorText);

    // The first record with this name (case as stored); an Id of 0 when none.
    Database::Record findByName(const QString &name) const;
    // Every record with this name.
    QList<Database::Record> allNamed(const QString &name) const;

    // Why a record cannot be stored: "Введите название терминала" for an empty name,
    // "Неверный номер телефона" for a number that cannot be dialled; empty when it can.
    static QString refusal(const QString &name, const QString &phone);

private:
    // One change under the database's write lock: committed when change returns Done, else rolled back.
    Result inTransaction(const std::function<Result(QSqlDatabase &, QString &)> &change, QString &errorText);
    Result run(const QString &sql, const QList<QVariant> &values, QString &errorText);

    Database &m_db;
};

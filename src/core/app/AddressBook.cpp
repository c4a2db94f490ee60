#include "core/app/AddressBook.h"

#include "core/common/PhoneNumber.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

qint64 AddressBook::freeId(const QList<Database::Record> &records)
{
    QSet<qint64> taken;
    for (const Database::Record &r : records)
        taken.insert(r.Id);
    for (qint64 id = 1; id <= MaxId; ++id) {
        if (!taken.contains(id))
            return id;
    }
    return 0;
}

AddressBook::Result AddressBook::inTransaction(const std::function<Result(QSqlDatabase &, QString &)> &change,
                                              QString &errorText)
{
    if (!m_db.isOpen()) {
        errorText = QStringLiteral("database not open");
        return Result::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(m_db.connectionName(), false);
    // The write lock is taken before anything is read, so that another program's change cannot come
    // between the read and the write; the driver's busy time-out waits for it meanwhile.
    QSqlQuery begin(db);
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        errorText = begin.lastError().text().trimmed();
        return Result::Failed;
    }
    Result r = change(db, errorText);
    QSqlQuery end(db);
    if (r == Result::Done && end.exec(QStringLiteral("COMMIT")))
        return r;
    if (r == Result::Done) {
        errorText = end.lastError().text().trimmed();
        r = Result::Failed;
    }
    end.exec(QStringLiteral("ROLLBACK"));
    if (r == Result::Failed && errorText.isEmpty())
        errorText = QStringLiteral("unknown error");
    return r;
}

AddressBook::Result AddressBook::run(const QString &sql, const QList<QVariant> &values, QString &errorText)
{
    return inTransaction(
        [&](QSqlDatabase &db, QString &error) {
            QSqlQuery q(db);
            bool ok = q.prepare(sql);
            for (const QVariant &v : values)
                q.addBindValue(v);
            ok = ok && q.exec();
            if (!ok) {
                error = q.lastError().text().trimmed();
                return Result::Failed;
            }
            return q.numRowsAffected() == 1 ? Result::Done : Result::NotFound;
        },
        errorText);
}

AddressBook::Result AddressBook::add(const QString &name, const QString &phone, QString &errorText, qint64 *newId)
{
    qint64 id = 0;
    const Result r = inTransaction(
        [&](QSqlDatabase &db, QString &error) {
            QSqlQuery q(db);
            QList<Database::Record> all;
            if (!q.exec(QStringLiteral("SELECT Id FROM objects"))) {
                error = q.lastError().text().trimmed();
                return Result::Failed;
            }
            while (q.next())
                all.append({q.value(0).toLongLong(), QString(), QString()});
            q.finish();
            id = freeId(all);
            if (id == 0)
                return Result::Full;
            if (!q.prepare(QStringLiteral("INSERT INTO objects (Id, Name, PhoneNumber) VALUES (?, ?, ?)"))) {
                error = q.lastError().text().trimmed();
                return Result::Failed;
            }
            q.addBindValue(id);
            q.addBindValue(name);
            q.addBindValue(PhoneNumber::normalized(phone)); // kept in the one form it is sent in
            if (!q.exec()) {
                error = q.lastError().text().trimmed();
                return Result::Failed;
            }
            return Result::Done;
        },
        errorText);
    if (r == Result::Done && newId)
        *newId = id;
    return r;
}

AddressBook::Result AddressBook::editAt(int row, const QString &name, const QString &phone, QString &errorText)
{
    QList<Database::Record> all;
    if (!m_db.readRecords(all, errorText))
        return Result::Failed;
    if (row < 1 || row > all.size())
        return Result::NotFound;
    return editId(all[row - 1].Id, name, phone, errorText);
}

AddressBook::Result AddressBook::editId(qint64 id, const QString &name, const QString &phone, QString &errorText)
{
    return run(QStringLiteral("UPDATE objects SET Name = ?, PhoneNumber = ? WHERE Id = ?"), {name, PhoneNumber::normalized(phone), id},
               errorText);
}

AddressBook::Result AddressBook::remove(qint64 id, QString &errorText)
{
    return run(QStringLiteral("DELETE FROM objects WHERE Id = ?"), {id}, errorText);
}

QString AddressBook::refusal(const QString &name, const QString &phone)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("Введите название терминала");
    if (const QString why = PhoneNumber::problem(phone); !why.isEmpty())
        return QStringLiteral("Неверный номер телефона: ") + why;
    return QString();
}

QList<Database::Record> AddressBook::allNamed(const QString &name) const
{
    QList<Database::Record> out;
    for (const Database::Record &r : records()) {
        if (r.Name == name)
            out << r;
    }
    return out;
}

Database::Record AddressBook::findByName(const QString &name) const
{
    for (const Database::Record &r : records()) {
        if (r.Name == name)
            return r;
    }
    return {};
}

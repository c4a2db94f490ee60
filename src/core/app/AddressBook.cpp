#include "core/app/AddressBook.h"

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

AddressBook::Result AddressBook::run(const QString &sql, const QList<QVariant> &values, QString &errorText)
{
    if (!m_db.isOpen()) {
        errorText = QStringLiteral("database not open");
        return Result::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(m_db.connectionName(), false);
    if (!db.transaction()) {
        errorText = db.lastError().text().trimmed();
        return Result::Failed;
    }
    QSqlQuery q(db);
    bool ok = q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    ok = ok && q.exec();
    const int affected = ok ? q.numRowsAffected() : 0;
    if (ok && affected == 1 && db.commit())
        return Result::Done;
    errorText = (ok ? db.lastError() : q.lastError()).text().trimmed();
    db.rollback();
    if (ok && affected != 1)
        return Result::NotFound;
    if (errorText.isEmpty())
        errorText = QStringLiteral("unknown error");
    return Result::Failed;
}

AddressBook::Result AddressBook::add(const QString &name, const QString &phone, QString &errorText, qint64 *newId)
{
    QList<Database::Record> all;
    if (!m_db.readRecords(all, errorText))
        return Result::Failed;
    const qint64 id = freeId(all);
    if (id == 0)
        return Result::Full;
    const Result r = run(QStringLiteral("INSERT INTO objects (Id, Name, PhoneNumber) VALUES (?, ?, ?)"),
                         {id, name, phone}, errorText);
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
    return run(QStringLiteral("UPDATE objects SET Name = ?, PhoneNumber = ? WHERE Id = ?"), {name, phone, id},
               errorText);
}

AddressBook::Result AddressBook::remove(qint64 id, QString &errorText)
{
    return run(QStringLiteral("DELETE FROM objects WHERE Id = ?"), {id}, errorText);
}

Database::Record AddressBook::findByName(const QString &name) const
{
    for (const Database::Record &r : records()) {
        if (r.Name == name)
            return r;
    }
    return {};
}

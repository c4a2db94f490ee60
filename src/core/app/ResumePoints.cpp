#include "core/app/ResumePoints.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString modeText(ResumePoints::Mode mode)
{
    return mode == ResumePoints::Mode::Linear ? QStringLiteral("linear") : QStringLiteral("banked");
}

QString modeWords(ResumePoints::Mode mode)
{
    return mode == ResumePoints::Mode::Linear ? QStringLiteral("без банков") : QStringLiteral("по банкам");
}

} // namespace

QString ResumePoints::fingerprint(const QStringList &paths)
{
    QStringList lines;
    for (const QString &path : paths) {
        if (path.trimmed().isEmpty()) {
            lines << QString();
            continue;
        }
        QFile f(path);
        QCryptographicHash hash(QCryptographicHash::Sha256);
        const bool read = QFileInfo(path).isFile() && f.open(QIODevice::ReadOnly) && hash.addData(&f);
        lines << QFileInfo(path).fileName() + QLatin1Char('|')
                     + (read ? QString::number(f.size()) + QLatin1Char('|') + QString::fromLatin1(hash.result().toHex())
                             : QStringLiteral("unreadable"));
    }
    return lines.join(QLatin1Char('\n'));
}

bool ResumePoints::write(const QString &sql, const QVariantList &values, QString &errorText)
{
    if (!m_db.isOpen()) {
        errorText = QStringLiteral("база не открыта");
        return false;
    }
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(sql);
    for (const QVariant &value : values)
        q.addBindValue(value);
    if (q.exec())
        return true;
    errorText = q.lastError().text().trimmed();
    return false;
}

bool ResumePoints::store(const Point &point, QString &errorText)
{
    return write(QStringLiteral("INSERT OR REPLACE INTO resume_points (Number, Mode, Files, Bank, Address) "
                                "VALUES (?, ?, ?, ?, ?)"),
                 {point.number.trimmed(), modeText(point.mode), point.files, point.bank, point.address}, errorText);
}

bool ResumePoints::find(const QString &number, Point &point) const
{
    if (!m_db.isOpen())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("SELECT Mode, Files, Bank, Address FROM resume_points WHERE Number = ?"));
    q.addBindValue(number.trimmed());
    if (!q.exec() || !q.next())
        return false;
    point.number = number.trimmed();
    point.mode = q.value(0).toString() == QLatin1String("linear") ? Mode::Linear : Mode::Banked;
    point.files = q.value(1).toString();
    point.bank = q.value(2).toInt();
    point.address = q.value(3).toInt();
    return true;
}

bool ResumePoints::remove(const QString &number, QString &errorText)
{
    return write(QStringLiteral("DELETE FROM resume_points WHERE Number = ?"), {number.trimmed()}, errorText);
}

bool ResumePoints::finish(const Point &point, QString &errorText)
{
    return remove(point.number, errorText)
           && write(QStringLiteral("INSERT OR REPLACE INTO finished_loads (Number, Mode, Files) VALUES (?, ?, ?)"),
                    {point.number.trimmed(), modeText(point.mode), point.files}, errorText);
}

bool ResumePoints::forgetFinished(const QString &number, QString &errorText)
{
    return write(QStringLiteral("DELETE FROM finished_loads WHERE Number = ?"), {number.trimmed()}, errorText);
}

bool ResumePoints::finished(const Point &current) const
{
    Point stopped;
    if (!m_db.isOpen() || find(current.number, stopped))
        return false;
    QSqlQuery q(QSqlDatabase::database(m_db.connectionName(), false));
    q.prepare(QStringLiteral("SELECT Mode, Files FROM finished_loads WHERE Number = ?"));
    q.addBindValue(current.number.trimmed());
    if (!q.exec() || !q.next())
        return false;
    const Mode mode = q.value(0).toString() == QLatin1String("linear") ? Mode::Linear : Mode::Banked;
    // A file that cannot be read now matches nothing (its line says "unreadable").
    return mode == current.mode && q.value(1).toString() == current.files
           && !current.files.contains(QLatin1String("|unreadable"));
}

QString ResumePoints::difference(const Point &stored, const Point &current)
{
    if (stored.mode != current.mode)
        return QStringLiteral("прерванная загрузка шла ") + modeWords(stored.mode) + QStringLiteral(", эта ")
               + modeWords(current.mode);
    const QStringList was = stored.files.split(QLatin1Char('\n'));
    const QStringList now = current.files.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < std::max(was.size(), now.size()); ++i) {
        const QStringList a = i < was.size() ? was.at(i).split(QLatin1Char('|')) : QStringList();
        const QStringList b = i < now.size() ? now.at(i).split(QLatin1Char('|')) : QStringList();
        if (a == b)
            continue;
        const QString which = QStringLiteral("файл %1").arg(i + 1);
        if (a.value(0) != b.value(0))
            return which + QStringLiteral(": был ") + (a.value(0).isEmpty() ? QStringLiteral("не задан") : a.value(0))
                   + QStringLiteral(", теперь ") + (b.value(0).isEmpty() ? QStringLiteral("не задан") : b.value(0));
        if (a.value(1) != b.value(1))
            return which + QStringLiteral(" ") + b.value(0) + QStringLiteral(": размер был ") + a.value(1)
                   + QStringLiteral(", теперь ") + b.value(1);
        return which + QStringLiteral(" ") + b.value(0) + QStringLiteral(": содержимое изменилось");
    }
    return QString();
}

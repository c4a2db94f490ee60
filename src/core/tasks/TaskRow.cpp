#include "core/tasks/TaskRow.h"

#include <QCryptographicHash>
#include <QFile>

TaskRow::TaskRow(const QString &connection, const Clock &clock, const TaskBook::NewTask &task, QString failedDetail)
    : m_detail(std::move(failedDetail))
{
    if (connection.isEmpty())
        return;
    m_book.emplace(connection, clock);
    QString error;
    const std::optional<qint64> id = m_book->ensureSchema(error) ? m_book->create(task, error) : std::nullopt;
    if (id)
        m_id = *id;
    else
        m_problem = error;
}

TaskRow::~TaskRow()
{
    if (m_id <= 0)
        return;
    QString error;
    if (m_confirmed)
        m_book->markConfirmed(m_id, m_detail, error);
    else
        m_book->markFailed(m_id, m_detail, error);
}

void TaskRow::confirm(const QString &detail)
{
    m_confirmed = true;
    m_detail = detail;
}

QString TaskRow::filesSha256(const QStringList &paths)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString &path : paths) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || !hash.addData(&f))
            return {};
    }
    return QString::fromLatin1(hash.result().toHex());
}

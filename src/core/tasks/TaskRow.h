#pragma once

#include "core/tasks/TaskBook.h"

#include <QString>

#include <optional>

class Clock;

// The task of an operation that sends no packets of its own (a firmware load over a data call):
// made as the operation begins, concluded when the operation's frame goes, on every path (its
// end, a break, its owner going). It says "failed" with its detail until told otherwise.
class TaskRow
{
public:
    // connection: the database the tasks are kept in; empty: none are kept.
    TaskRow(const QString &connection, const Clock &clock, const TaskBook::NewTask &task, QString failedDetail);
    ~TaskRow();
    TaskRow(const TaskRow &) = delete;
    TaskRow &operator=(const TaskRow &) = delete;

    void confirm(const QString &detail);
    void setFailure(const QString &detail) { m_detail = detail; }
    // Why the task could not be made or concluded ("" when all went well).
    QString problem() const { return m_problem; }
    qint64 id() const { return m_id; }

    // SHA-256 of the files' contents one after another, as hex; "" when one cannot be read.
    static QString filesSha256(const QStringList &paths);

private:
    std::optional<TaskBook> m_book;
    qint64 m_id = 0;
    bool m_confirmed = false;
    QString m_detail;
    QString m_problem;
};

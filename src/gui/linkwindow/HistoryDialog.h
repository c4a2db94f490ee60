#pragma once

#include <QDialog>

class Database;
class QTableWidget;
class TaskBook;

// One terminal's history, newest first, read-only: what was loaded into it or sent to it, what
// it answered, through which port and with what result; and its tasks (tasks: where the SMS jobs
// keep them, nullptr when none are kept), with their status and who made them.
class HistoryDialog : public QDialog
{
    Q_OBJECT
public:
    HistoryDialog(Database &database, TaskBook *tasks, const QString &name, const QString &number,
                  QWidget *parent = nullptr);

    // The words the window shows for an operation and a result.
    static QString operationCaption(int operation);
    static QString statusCaption(int status);

private:
    QTableWidget *table(const QString &objectName, const QStringList &headers);
    // The tasks' page; the why when they cannot be read.
    QString fillTasks(TaskBook &tasks, const QString &number);

    QTableWidget *m_tblHistory = nullptr;
    QTableWidget *m_tblTasks = nullptr;
};

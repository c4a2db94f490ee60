#pragma once

#include <QDialog>

class Database;
class QTableWidget;

// One terminal's history, newest first, read-only: what was loaded into it or sent to it, what
// it answered, through which port and with what result.
class HistoryDialog : public QDialog
{
    Q_OBJECT
public:
    HistoryDialog(Database &database, const QString &name, const QString &number, QWidget *parent = nullptr);

    // The words the window shows for an operation and a result.
    static QString operationCaption(int operation);

private:
    QTableWidget *m_tblHistory = nullptr;
};

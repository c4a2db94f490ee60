#pragma once

#include "core/app/OperationHistory.h"

// The history row of one operation, written when the operation's frame goes, on every path: run
// to its end, broken off, or cut short. It says "failed" with its detail until told otherwise.
class HistoryRow
{
public:
    HistoryRow(Database *db, OperationHistory::Operation operation, QString number, QString port,
               QString failedDetail, QString terminal = QString())
        : m_db(db), m_operation(operation), m_number(std::move(number)), m_port(std::move(port)),
          m_detail(std::move(failedDetail)), m_terminal(std::move(terminal))
    {
    }
    ~HistoryRow()
    {
        if (m_db && m_keep)
            OperationHistory(*m_db).recordNow(m_operation, m_number, m_port, m_result, m_detail, m_terminal);
    }
    HistoryRow(const HistoryRow &) = delete;
    HistoryRow &operator=(const HistoryRow &) = delete;

    void set(OperationHistory::Result result, const QString &detail)
    {
        m_result = result;
        m_detail = detail;
    }
    // Nothing happened that the history keeps (a refused input).
    void discard() { m_keep = false; }

private:
    Database *m_db;
    OperationHistory::Operation m_operation;
    QString m_number;
    QString m_port;
    QString m_detail;
    QString m_terminal;
    OperationHistory::Result m_result = OperationHistory::Result::Failed;
    bool m_keep = true;
};

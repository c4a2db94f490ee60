#pragma once
#include <QObject>

// The task tables: a task's life and its packets, the races two workstations may run, what a
// half-sent profile and a retry need, and the schema on SQLite and PostgreSQL.
class TestTaskBook : public QObject
{
    Q_OBJECT
private slots:
    void taskLifeAndLateConfirmation();
    void cancelOnlyWhileNothingWent();
    void halfSentProfileIsFound();
    void halfSentProfileIsCompletedOnce();
    void secondClaimerLoses();
    void retryableSkipsConfirmedSince();
    void schemaAndHalves();
    void postgres();
};

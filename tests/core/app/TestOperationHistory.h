#pragma once
#include <QObject>

// The history of operations in Data.db: what is kept, the filters and their order, and the
// terminals whose last run failed.
class TestOperationHistory : public QObject
{
    Q_OBJECT
private slots:
    void recordsAndFilters();
    void lastFailedPerSubscriber();
    void unknownWordsAndUnreadableTables();
};

#pragma once
#include <QObject>

// The file forms without prompts: block sums, form by length, the change rule.
class TestSettingsFiles : public QObject
{
    Q_OBJECT
private slots:
    void fileBlockSum();
    void formByLength();
    void changeRule();
    void hugeRecordFileReadOnlyAsFarAsARecordGoes();
};

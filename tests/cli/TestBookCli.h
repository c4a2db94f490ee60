#pragma once
#include <QObject>

// kvrsetup-cli book and history on Data.db of the application folder.
class TestBookCli : public QObject
{
    Q_OBJECT
private slots:
    void addListEditDelete();
    void refusals();
    void concurrentAddsAllLand();
    void historyUnknownAndUnreadable();
};

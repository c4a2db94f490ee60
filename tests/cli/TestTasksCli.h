#pragma once
#include <QObject>

// kvrsetup-cli tasks on Data.db and on a gateway's database.
class TestTasksCli : public QObject
{
    Q_OBJECT
private slots:
    void listCancelAndGet();
    void cancelTakesBackFromTheGateway();
};

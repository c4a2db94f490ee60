#pragma once
#include <QObject>

// The address book over Data.db: the Id rule, edit by position, delete by Id, errors that lose nothing.
class TestAddressBook : public QObject
{
    Q_OBJECT
private slots:
    void idRule();
    void fullBookRefusesAndKeepsAll();
    void editByPositionDeleteById();
    void readOnlyBookFromBeforeOpens();
    void lockedDatabaseLosesNothing();
};

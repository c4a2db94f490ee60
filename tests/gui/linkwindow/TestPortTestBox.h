#pragma once
#include <QObject>

// The test area of the link window on its own: what it hands on when a line is sent or the
// log is cleared.
class TestPortTestBox : public QObject
{
    Q_OBJECT
private slots:
    void sendsTheTypedLine();
    void clearEmptiesTheTrafficLog();
};

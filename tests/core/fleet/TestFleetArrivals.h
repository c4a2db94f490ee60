#pragma once
#include <QObject>

// A fleet run on a modem line that announces stored messages: the store is polled soon after
// an announcement, between operations, once for several.
class TestFleetArrivals : public QObject
{
    Q_OBJECT
private slots:
    void announcementIsPolledBeforeThePeriod();
    void announcementsDuringAPairMakeOnePollAfterIt();
};

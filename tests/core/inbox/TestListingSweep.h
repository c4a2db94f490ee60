#pragma once
#include <QObject>

class TestListingSweep : public QObject
{
    Q_OBJECT
private slots:
    void halvesSurviveBetweenRuns();
    void oldHalvesDropped();
    void newRequestNeverJoinsAnEarlierHalf();
    void junkLeavesTheStoreOnTheSecondListing();
    void plantedLinkRefused();
    void receiverTakesLongListings();
};

#pragma once
#include <QObject>

class TestControlTable : public QObject
{
    Q_OBJECT
private slots:
    void nextField();
    void visibleByteLine();
    void hiddenLineAndServiceMode();
    void hiddenDefaults_data();
    void hiddenDefaults();
    void errorTexts_data();
    void errorTexts();
    void errorKeepsEarlierEntriesAndAppends();
    void defaultsForMissingFields();
    void commaSplitsLine();
    void fixedWidths();
    void typeNamesParsedToTypes();
    void eventRuns();
    void readsCodePage1251File();
    void shippedDemoTableParses();
    void unreadableOrEmptyFileRefused();
};

#pragma once
#include <QObject>

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void serviceModeSwitch();
    void missingConstIniFallsBackOnce();
    void constIniNamesMissingTable();
    void noTableAtAll();
    void tableThatDoesNotParse();
    void databaseErrors_data();
    void databaseErrors();
    void databaseCreatedAndRecordsInIdOrder();
    void defaultIniMissing();
    void defaultIniRoundTrip();
    void defaultIniPartial();
    void defaultIniTextsReadBackWhole();
    void defaultIniLoadsDataFileByLength_data();
    void defaultIniLoadsDataFileByLength();
    void defaultIniNamesMissingDataFile();
    void shutDownAsksNothingForHiddenDefaults();
};

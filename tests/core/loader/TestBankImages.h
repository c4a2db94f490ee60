#pragma once
#include <QObject>

// Reading firmware image files into the four bank records.
class TestBankImages : public QObject
{
    Q_OBJECT
private slots:
    void bankedFirstFile_data();
    void bankedFirstFile();
    void bankedSecondAndThirdFiles();
    void bankedMissingSecondFileSkipsThird();
    void bankedOverLongSecondFileStillReadsThird();
    void bankedShortSecondFileCountsAsEmpty();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void recordsClearedBeforeEachLoad();
    void linearFile();
    void bytesOutsideTheRecordAreZero();
};

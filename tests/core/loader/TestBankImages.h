#pragma once
#include <QObject>

// Reading firmware image files into the four bank records.
class TestBankImages : public QObject
{
    Q_OBJECT
private slots:
    void bankedFirstFile_data();
    void bankedFirstFile();
    void bankedUpperHalves_data();
    void bankedUpperHalves();
    void refusedBeforeAnythingIsSent_data();
    void refusedBeforeAnythingIsSent();
    void recordsClearedBeforeEachLoad();
    void linearFileFillsTheRecord();
};

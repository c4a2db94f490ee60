#pragma once
#include <QObject>

class TestClsReceive : public QObject
{
    Q_OBJECT
private slots:
    void echoedOk();
    void connectCutToSeven();
    void longWords_data();
    void longWords();
    void informationLineWaitsForFinalWord();
    void ringAlone();
    void shortLineNotCut();
    void firstLineOfBuffer();
    void dataModeExpectOne();
    void dataModeLengthRule();
    void dataModeLastEqualWins();
    void dataModeDoesNotCutLines();
    void bufferFull();
    void dataAnswersNeverFillTheBuffer();
    void lineTooLong();
    void exitByUserStopsScan();
    void smsListing();
    void smsListingRefused_data();
    void smsListingRefused();
};

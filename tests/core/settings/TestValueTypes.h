#pragma once
#include <QObject>

class TestValueTypes : public QObject
{
    Q_OBJECT
private slots:
    void typeRanges_data();
    void typeRanges();
    void tableLimits();
    void storeAndDisplay_data();
    void storeAndDisplay();
    void paramValidateNormalises();
    void mbyteKeepsOtherBits();
    void stringAndBit();
    void masks();
};

#pragma once
#include <QObject>

class TestTextAndNumbers : public QObject
{
    Q_OBJECT
private slots:
    void readingRule();
    void codePage1251();
    void numberFormat();
    void numericTest_data();
    void numericTest();
    void rounding();
    void localeDecimalSeparator();
};

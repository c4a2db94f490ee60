#pragma once
#include <QObject>

class TestMdlStrings : public QObject
{
    Q_OBJECT
private slots:
    void byteToHex_data();
    void byteToHex();
    void trimCrLf_data();
    void trimCrLf();
};

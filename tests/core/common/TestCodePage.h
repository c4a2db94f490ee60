#pragma once
#include <QObject>

class TestCodePage : public QObject
{
    Q_OBJECT
private slots:
    void ansiRoundTrip();
    void ansiCyrillic();
};

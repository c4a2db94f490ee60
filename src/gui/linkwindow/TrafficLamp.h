#pragma once

#include <QLineEdit>

// A Tx or Rx lamp: a read-only box with its caption, green while lit and white otherwise.
class TrafficLamp : public QLineEdit
{
    Q_OBJECT
public:
    TrafficLamp(const QString &caption, QWidget *parent = nullptr);

    void setLit(bool on);
};

#pragma once

#include <QWidget>

class LogBox;
class TrafficLamp;

// The link's state over the firmware mode: the caption "Состояние", the Tx/Rx lamps lblTx and
// lblRX, and the state log txtinfo under them.
class LinkStateView : public QWidget
{
    Q_OBJECT
public:
    explicit LinkStateView(QWidget *parent = nullptr);

    void appendInfo(const QString &text);
    void setLamps(bool tx, bool rx);
    void clearLog();

private:
    LogBox *m_txtinfo = nullptr;
    TrafficLamp *m_lblTx = nullptr;
    TrafficLamp *m_lblRX = nullptr;
};

#pragma once

#include "core/link/LinkDisplay.h"

#include <QGroupBox>

class LogBox;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The test area FraTest, "Com порт": the traffic log txtInOut, a line typed in txtsend and sent
// with cmdSend or Enter, the echo switch chkEcho, cmdClear and Command1 that stops a scenario.
// It shows and forwards; what a send or a stop does is the window's business.
class PortTestBox : public QGroupBox
{
    Q_OBJECT
public:
    explicit PortTestBox(QWidget *parent = nullptr);

    // Received text red, sent text blue, the link's own marks black.
    void showTraffic(const QString &text, LinkDisplay::Traffic kind);
    void clearLog();

signals:
    void sendRequested(const QString &text);
    void echoToggled(bool on);
    // cmdClear emptied the traffic log; the window's other logs go with it.
    void logsCleared();
    void stopScenarioRequested();

private:
    LogBox *m_txtInOut = nullptr;
    QLineEdit *m_txtsend = nullptr;
    QPushButton *m_cmdSend = nullptr;
    QCheckBox *m_chkEcho = nullptr;
    QPushButton *m_cmdClear = nullptr;
    QPushButton *m_command1 = nullptr;
};

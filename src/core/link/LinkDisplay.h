#pragma once

#include "core/common/Clock.h"

#include <QObject>
#include <QString>

// What a link shows an operator: the traffic log (received text gathered per drain, sent
// text, marks), the state logs and the Tx/Rx lamps. The window and the command-line tool
// render its signals.
class LinkDisplay : public QObject
{
    Q_OBJECT
public:
    enum class Traffic { Received, Sent, Mark };
    Q_ENUM(Traffic)

    explicit LinkDisplay(QObject *parent = nullptr);

    void setClock(Clock *clock) { m_rxLampTimer.setClock(clock); }
    // chkEcho: sent text is shown too.
    void setEcho(bool on) { m_echo = on; }
    bool echo() const { return m_echo; }

    // Log helpers for every part of the link.
    void appendInfo(const QString &text) { emit infoLine(text); }
    void appendCmdInfo(const QString &text) { emit cmdInfoLine(text); }
    void logMark(const QString &text) { show(text, Traffic::Mark); }
    // Received text waits until the drain of the port is over; anything else shown meanwhile
    // comes after it.
    void gather(const QString &text) { m_pendingReceived += text; }
    void flushReceived();
    void show(const QString &text, Traffic kind);

    bool txLamp() const { return m_txLamp; }
    bool rxLamp() const { return m_rxLamp; }
    void setLamps(bool tx, bool rx);
    // Bytes came: Rx lights, and stays lit a moment so an operator can see it.
    void receiving();

signals:
    // Text for the traffic log txtInOut, already formatted for the receiver's mode.
    void traffic(const QString &text, LinkDisplay::Traffic kind);
    // A line for txtinfo (ends with "\r\n" as written by the exchanges).
    void infoLine(const QString &text);
    // A line for txtCmdInfo.
    void cmdInfoLine(const QString &text);
    void lampsChanged(bool tx, bool rx);

private:
    bool m_echo = false;
    QString m_pendingReceived;
    bool m_txLamp = false;
    bool m_rxLamp = false;
    ClockTimer m_rxLampTimer{this};
};

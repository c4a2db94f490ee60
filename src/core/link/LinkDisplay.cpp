#include "core/link/LinkDisplay.h"

LinkDisplay::LinkDisplay(QObject *parent) : QObject(parent)
{
    m_rxLampTimer.setInterval(150);
    m_rxLampTimer.setHandler([this] { setLamps(m_txLamp, false); });
}

void LinkDisplay::flushReceived()
{
    if (m_pendingReceived.isEmpty())
        return;
    const QString text = m_pendingReceived;
    m_pendingReceived.clear();
    emit traffic(text, Traffic::Received);
}

void LinkDisplay::show(const QString &text, Traffic kind)
{
    flushReceived();
    if (!text.isEmpty())
        emit traffic(text, kind);
}

void LinkDisplay::setLamps(bool tx, bool rx)
{
    if (tx == m_txLamp && rx == m_rxLamp)
        return;
    m_txLamp = tx;
    m_rxLamp = rx;
    emit lampsChanged(tx, rx);
}

void LinkDisplay::receiving()
{
    setLamps(false, true);
    m_rxLampTimer.start();
}

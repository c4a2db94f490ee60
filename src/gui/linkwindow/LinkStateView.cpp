#include "gui/linkwindow/LinkStateView.h"

#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/Named.h"
#include "gui/linkwindow/TrafficLamp.h"

#include <QGridLayout>
#include <QLabel>

LinkStateView::LinkStateView(QWidget *parent) : QWidget(parent)
{
    auto *stateCaption = new QLabel(QStringLiteral("Состояние"), this);
    m_txtinfo = named(new LogBox(this), QStringLiteral("txtinfo"));
    m_lblTx = named(new TrafficLamp(QStringLiteral("Tx"), this), QStringLiteral("lblTx"));
    m_lblRX = named(new TrafficLamp(QStringLiteral("Rx"), this), QStringLiteral("lblRX"));
    auto *layout = new QGridLayout(this);
    // No margins of its own: it lines up with the rest of the mode's frame.
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(stateCaption, 0, 0);
    layout->addWidget(m_lblTx, 0, 2);
    layout->addWidget(m_lblRX, 0, 3);
    layout->addWidget(m_txtinfo, 1, 0, 1, 4);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(1, 1);
}

void LinkStateView::appendInfo(const QString &text)
{
    m_txtinfo->appendText(text);
}

void LinkStateView::setLamps(bool tx, bool rx)
{
    m_lblTx->setLit(tx);
    m_lblRX->setLit(rx);
}

void LinkStateView::clearLog()
{
    m_txtinfo->clearLog();
}

#include "gui/linkwindow/PortTestBox.h"

#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/Named.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

PortTestBox::PortTestBox(QWidget *parent) : QGroupBox(QStringLiteral("Com порт"), parent)
{
    setObjectName(QStringLiteral("FraTest"));
    m_txtInOut = named(new LogBox(this), QStringLiteral("txtInOut"));
    m_txtsend = named(new QLineEdit(this), QStringLiteral("txtsend"));
    m_cmdSend = named(new QPushButton(QStringLiteral("Послать"), this), QStringLiteral("cmdSend"));
    m_chkEcho = named(new QCheckBox(QStringLiteral("Эхо"), this), QStringLiteral("chkEcho"));
    m_cmdClear = named(new QPushButton(QStringLiteral("Clear"), this), QStringLiteral("cmdClear"));
    m_command1 = named(new QPushButton(QStringLiteral("Прервать сценарий"), this), QStringLiteral("Command1"));
    // Enter in txtsend sends the line; no button of the window takes it over.
    m_cmdSend->setAutoDefault(false);
    m_cmdClear->setAutoDefault(false);
    m_command1->setAutoDefault(false);
    auto *sendCaption = new QLabel(QStringLiteral("Передаваемые данные"), this);
    sendCaption->setBuddy(m_txtsend);
    auto *layout = new QGridLayout(this);
    layout->addWidget(m_txtInOut, 0, 0, 1, 4);
    layout->addWidget(sendCaption, 1, 0, 1, 4);
    layout->addWidget(m_txtsend, 2, 0, 1, 3);
    layout->addWidget(m_cmdSend, 2, 3);
    layout->addWidget(m_chkEcho, 3, 0);
    layout->addWidget(m_cmdClear, 3, 2);
    layout->addWidget(m_command1, 3, 3);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(0, 1);

    const auto send = [this] { emit sendRequested(m_txtsend->text()); };
    connect(m_cmdSend, &QPushButton::clicked, this, send);
    connect(m_txtsend, &QLineEdit::returnPressed, this, send);
    connect(m_chkEcho, &QCheckBox::toggled, this, &PortTestBox::echoToggled);
    connect(m_cmdClear, &QPushButton::clicked, this, [this] {
        clearLog();
        emit logsCleared();
    });
    connect(m_command1, &QPushButton::clicked, this, &PortTestBox::stopScenarioRequested);
}

void PortTestBox::showTraffic(const QString &text, LinkDisplay::Traffic kind)
{
    const QColor color = kind == LinkDisplay::Traffic::Received ? QColor(255, 0, 0)
                         : kind == LinkDisplay::Traffic::Sent   ? QColor(0, 0, 255)
                                                                : QColor(0, 0, 0);
    m_txtInOut->appendText(text, color);
}

void PortTestBox::clearLog()
{
    m_txtInOut->clearLog();
}

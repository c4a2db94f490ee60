#include "TestPortTestBox.h"

#include "ControlLookup.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/PortTestBox.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

void TestPortTestBox::sendsTheTypedLine()
{
    PortTestBox box;
    QSignalSpy sent(&box, &PortTestBox::sendRequested);
    auto *line = findControl<QLineEdit>(&box, QStringLiteral("txtsend"));
    QTest::keyClicks(line, QStringLiteral("AT+GMX"));
    QTest::mouseClick(findControl<QPushButton>(&box, QStringLiteral("cmdSend")), Qt::LeftButton);
    // Enter sends the same line again: it stays typed for another try.
    QTest::keyClick(line, Qt::Key_Return);
    QCOMPARE(sent.size(), 2);
    QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("AT+GMX"));
    QCOMPARE(sent.at(1).at(0).toString(), QStringLiteral("AT+GMX"));
}

void TestPortTestBox::clearEmptiesTheTrafficLog()
{
    PortTestBox box;
    QSignalSpy cleared(&box, &PortTestBox::logsCleared);
    auto *log = findControl<LogBox>(&box, QStringLiteral("txtInOut"));
    box.showTraffic(QStringLiteral("OK\r\n"), LinkDisplay::Traffic::Received);
    QCOMPARE(log->logText(), QStringLiteral("OK\n"));
    QTest::mouseClick(findControl<QPushButton>(&box, QStringLiteral("cmdClear")), Qt::LeftButton);
    QCOMPARE(log->logText(), QString());
    QCOMPARE(cleared.size(), 1);
}

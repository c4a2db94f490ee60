#include "TestLinkWindow.h"

#include "LinkWindowFixture.h"
#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "core/app/AppState.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/frmLink.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

namespace {

struct Window : LinkWindowFixture
{
    QString info() { return child<LogBox>("txtinfo")->logText(); }
    int visibleFrames()
    {
        int n = 0;
        for (int i = 0; i < 3; ++i)
            n += w.modeFrame(i)->isVisibleTo(&w) ? 1 : 0;
        return n;
    }
};

// Colour of the text fragment of the log that contains text.
QColor colourOf(LogBox *box, const QString &text)
{
    box->flush();
    for (QTextBlock b = box->document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(text))
                return it.fragment().charFormat().foreground().color();
        }
    }
    return QColor();
}

} // namespace

void TestLinkWindow::checkAgainstSimulator()
{
    SimModem sim;
    QVERIFY(sim.start());
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    QVERIFY(t.w.modemReady());
    QCOMPARE(t.info(), QStringLiteral("Проверка отклика модема\nМодем в командном режимн\nПроверка типа модема\n"
                                      "Модем KVRSIM GSM MODEM, REVISION 1.0\n"));
    QCOMPARE(t.child<QLabel>("lblInfo")->text(), sim.path() + QStringLiteral(",9600,n,8,1"));
    QVERIFY(!t.child<QFrame>("Frawait")->isVisible());
    QVERIFY(t.child<QRadioButton>("OptIndex_0")->isChecked());
    QVERIFY(t.w.modeFrame(0)->isVisible());
    QCOMPARE(t.visibleFrames(), 1);
    QVERIFY(t.prompts.shown.isEmpty());
    QTRY_COMPARE(sim.received(), QByteArray("AT\rATI\r"));
    // Lamps end white (the Rx lamp stays lit a moment after the last byte, so an operator sees it).
    QTRY_COMPARE(t.child<QLineEdit>("lblRX")->palette().color(QPalette::Base), QColor(Qt::white));
    QTRY_COMPARE(t.child<QLineEdit>("lblTx")->palette().color(QPalette::Base), QColor(Qt::white));
}

void TestLinkWindow::checkAgainstSilentModem()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--silent")}));
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    QVERIFY(!t.w.modemReady());
    QCOMPARE(t.info(), QStringLiteral("Проверка отклика модема\nТаймаут на ответ \n"
                                      "Нет отклика модема, проверьте скорости и подключения \n"));
    QVERIFY(!t.child<QFrame>("Frawait")->isVisible());
    QTest::qWait(100);
    QCOMPARE(sim.received(), QByteArray("AT\r"));
    QCOMPARE(colourOf(t.child<LogBox>("txtInOut"), QStringLiteral("TIMEOUT")), QColor(0, 0, 0));
}

void TestLinkWindow::portThatCannotOpen()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    t.state.serial.baudRate = 19200;
    t.state.serial.parity = QLatin1Char('e');
    t.state.serial.dataBits = 7;
    t.state.serial.stopBits = 2;
    QVERIFY(t.runCheck());
    QCOMPARE(t.prompts.texts(),
             QStringList{QStringLiteral("не верны параметры последовательного порта, проверьте настройки")});
    QCOMPARE(t.child<QLabel>("lblInfo")->text(), QStringLiteral("/nonexistent/ttyKVR,19200,e,7,2"));
    QVERIFY(!t.w.modemReady());
    QVERIFY(t.info().endsWith(QStringLiteral("Нет отклика модема, проверьте скорости и подключения \n")));
}

void TestLinkWindow::modesShowOneFrame()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    QVERIFY(t.runCheck());
    QTest::mouseClick(t.child<QRadioButton>("OptIndex_0"), Qt::LeftButton);
    QTest::mouseClick(t.child<QRadioButton>("OptIndex_2"), Qt::LeftButton);
    QCOMPARE(t.visibleFrames(), 1);
    QVERIFY(t.w.modeFrame(2)->isVisible());
    QCOMPARE(t.w.link().port().route(), LinkExchange::Route::AddressBook);
    QTest::mouseClick(t.child<QRadioButton>("OptIndex_0"), Qt::LeftButton);
    QCOMPARE(t.visibleFrames(), 1);
    QVERIFY(t.w.modeFrame(0)->isVisible());
    QCOMPARE(t.w.link().port().route(), LinkExchange::Route::Receiver);
    t.child<QRadioButton>("OptIndex_1")->click();
    QVERIFY(t.w.modeFrame(1)->isVisible());
    QCOMPARE(t.visibleFrames(), 1);
}

void TestLinkWindow::modeGuardKeepsFrame()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    QVERIFY(t.runCheck());
    // A profile scenario waits in the queue; the operator declines to stop it on the switch.
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("89161234567"));
    t.child<QPushButton>("cmdSendProfile")->click();
    const qsizetype asked = t.prompts.shown.size();
    t.child<QRadioButton>("OptIndex_1")->click();
    QCOMPARE(t.prompts.shown.size(), asked + 1);
    QVERIFY(t.w.modeFrame(0)->isVisible());
    QCOMPARE(t.visibleFrames(), 1);
    // The option shows mode 1 and received bytes follow the option.
    QVERIFY(t.child<QRadioButton>("OptIndex_1")->isChecked());
    QCOMPARE(t.w.link().port().route(), LinkExchange::Route::Scenario);
}

void TestLinkWindow::testAreaSendsAndLogsInColour()
{
    SimModem sim;
    QVERIFY(sim.start());
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    auto *log = t.child<LogBox>("txtInOut");
    t.child<QCheckBox>("chkEcho")->setChecked(true);
    QTest::keyClicks(t.child<QLineEdit>("txtsend"), QStringLiteral("AT+GMX"));
    QTest::mouseClick(t.child<QPushButton>("cmdSend"), Qt::LeftButton);
    QTRY_COMPARE(sim.received(), QByteArray("AT\rATI\rAT+GMX\r"));
    QTRY_VERIFY(log->logText().contains(QStringLiteral("ERROR")));
    QCOMPARE(colourOf(log, QStringLiteral("ERROR")), QColor(255, 0, 0));
    QCOMPARE(colourOf(log, QStringLiteral("AT+GMX")), QColor(0, 0, 255));
}

void TestLinkWindow::clearEmptiesLogs()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    QVERIFY(t.runCheck());
    t.w.link().display().appendCmdInfo(QStringLiteral("x\r\n"));
    t.w.link().display().logMark(QStringLiteral("HEADER"));
    QVERIFY(!t.info().isEmpty());
    QTest::mouseClick(t.child<QPushButton>("cmdClear"), Qt::LeftButton);
    QCOMPARE(t.info(), QString());
    QCOMPARE(t.child<LogBox>("txtInOut")->logText(), QString());
    QCOMPARE(t.child<LogBox>("txtCmdInfo")->logText(), QString());
}

void TestLinkWindow::closingDuringCheck()
{
    // A modem that answers the probe but takes its time over everything else:
    // the window is closed while it waits for the type answer.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--delay"), QStringLiteral("200")}));
    Window t;
    t.state.serial.port = sim.path();
    QTimer::singleShot(250, &t.w, [&] { t.w.close(); });
    t.w.show();
    QTRY_VERIFY_WITH_TIMEOUT(!t.w.isVisible(), 5000);
    QTRY_VERIFY(!t.w.modemCheckRunning());
    // The check was abandoned where it waited: nothing runs on the line any more.
    QVERIFY(t.w.line().isIdle());
    QVERIFY(!t.w.link().exchangeWaiting());
    QVERIFY(!t.w.port().isOpen());
}

void TestLinkWindow::escapeKeepsWindowOpen()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    QVERIFY(t.runCheck());
    QTest::keyClick(&t.w, Qt::Key_Escape);
    QTest::keyClick(t.child<QLineEdit>("txtsend"), Qt::Key_Escape);
    QVERIFY(t.w.isVisible());
    t.w.close();
    QVERIFY(!t.w.isVisible());
}

void TestLinkWindow::lostPortShown()
{
    SimModem sim;
    QVERIFY(sim.start());
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    QVERIFY(t.w.modemReady());
    sim.command("unplug");
    QTRY_VERIFY(t.child<QLabel>("lblInfo")->text().contains(QStringLiteral("порт потерян")));
    QVERIFY(t.info().contains(QStringLiteral("Порт потерян: устройство отключено")));
    QVERIFY(!t.w.port().isOpen());
    // The controls that need the port say so, in Russian, rather than do nothing.
    t.prompts.shown.clear();
    t.child<QPushButton>("cmdSend")->click();
    t.child<QPushButton>("cmdLoad")->click();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("+79161234567"));
    t.child<QPushButton>("btSaveSMSToFile")->click();
    QCOMPARE(t.prompts.texts(), QStringList(3, QStringLiteral("Порт потерян: устройство отключено")));
}

void TestLinkWindow::halvesOnResize()
{
    Window t;
    t.state.serial.port = QStringLiteral("/nonexistent/ttyKVR");
    QVERIFY(t.runCheck());
    const QSize smallest = t.w.minimumSizeHint();
    // Every control stays on a 1024x768 screen, title bar and frame included; the window opens
    // inside the screen it is on.
    QVERIFY2(smallest.width() <= 1012 && smallest.height() <= 728,
             qPrintable(QStringLiteral("%1x%2").arg(smallest.width()).arg(smallest.height())));
    const QSize free = QGuiApplication::primaryScreen()->availableGeometry().size();
    QVERIFY(t.w.width() <= qMax(free.width(), smallest.width()) && t.w.height() <= qMax(free.height(), smallest.height()));
    for (int mode = 0; mode < 3; ++mode) {
        t.child<QRadioButton>(QStringLiteral("OptIndex_%1").arg(mode))->click();
        for (QSize size : {QSize(1100, 700), QSize(1400, 900), smallest}) {
            t.w.resize(size);
            QTest::qWait(20);
            size = t.w.size();
            auto *data = t.child<QGroupBox>("fraData");
            auto *test = t.child<QGroupBox>("FraTest");
            auto *link = t.child<QGroupBox>("fraLink");
            QVERIFY2(qAbs(data->width() - link->width()) <= 1, qPrintable(QStringLiteral("mode %1").arg(mode)));
            QVERIFY(qAbs(data->width() - size.width() / 2) < 20);
            QCOMPARE(test->width(), data->width());
            QVERIFY(qAbs(data->height() - test->height()) <= 1);
            QVERIFY(data->height() > size.height() * 0.4);
            QCOMPARE(test->y(), data->geometry().bottom() + 1 + t.w.layout()->spacing());
            QVERIFY(link->x() > data->geometry().right());
            QVERIFY(link->height() > size.height() * 0.9);
            QCOMPARE(t.child<QFrame>("Frawait")->geometry(), t.w.rect());
            // Nothing in the mode shown is squeezed below the size its caption needs.
            const QWidget *page = t.child<QGroupBox>(QStringLiteral("FraIndex_%1").arg(mode));
            for (const auto *control : page->findChildren<QWidget *>()) {
                if (!control->isVisible() || !(qobject_cast<const QAbstractButton *>(control) ||
                                               qobject_cast<const QLabel *>(control)))
                    continue;
                // A width fixed by the window only has to hold its caption.
                const bool fixed = control->minimumWidth() == control->maximumWidth();
                const QSize need = fixed ? control->fontMetrics().size(0, control->property("text").toString())
                                         : control->minimumSizeHint();
                const int needHeight = control->hasHeightForWidth() ? control->heightForWidth(control->width())
                                                                    : need.height();
                QVERIFY2(control->width() >= need.width() && control->height() >= needHeight,
                         qPrintable(QStringLiteral("mode %1 at %2x%3: %4 \"%5\"")
                                        .arg(mode)
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(control->objectName(), control->property("text").toString())));
            }
        }
    }
}

void TestLinkWindow::logBoxLines()
{
    LogBox box;
    box.appendText(QStringLiteral("AT\r\r\nOK\r\n"), Qt::red);
    box.appendText(QStringLiteral("x\ny"), Qt::blue);
    QCOMPARE(box.logText(), QStringLiteral("AT\n\nOK\nx\ny"));
    box.clearLog();
    box.appendText(QString(LogBox::MaxLineLength + 10, QLatin1Char('A')));
    box.flush();
    QCOMPARE(box.document()->blockCount(), 2);
    QCOMPARE(box.document()->firstBlock().length() - 1, LogBox::MaxLineLength);
}

void TestLinkWindow::logBoxKeepsNewestLines()
{
    LogBox box;
    for (int i = 0; i < LogBox::MaxLines + 500; ++i)
        box.appendText(QStringLiteral("line %1\r\n").arg(i));
    box.flush();
    QCOMPARE(box.document()->blockCount(), LogBox::MaxLines);
    // The newest lines stay, in order: the last full line, then the empty line after it.
    QVERIFY(box.toPlainText().endsWith(QStringLiteral("line %1\n").arg(LogBox::MaxLines + 499)));
    QVERIFY(box.toPlainText().startsWith(QStringLiteral("line 501\n")));
}

#include "TestProfilePanel.h"

#include "LinkWindowFixture.h"
#include "RunTask.h"
#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "SmsTestSupport.h"
#include "SmsdGateway.h"
#include "core/pdu/GprsRecord.h"
#include "core/gateway/GatewayTransfer.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/common/PhoneNumber.h"
#include "core/link/LinkExchange.h"
#include "core/route/ProfileTransfer.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/ProfilePanel.h"
#include "gui/linkwindow/frmLink.h"

#include <QCheckBox>
#include <QGroupBox>
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Window : LinkWindowFixture
{
    void fillGprs()
    {
        child<QLineEdit>("txtgprsAPN")->setText(QStringLiteral("internet"));
        child<QLineEdit>("txtgprsIP")->setText(QStringLiteral("10.0.0.1"));
        child<QLineEdit>("txtgprsPORT")->setText(QStringLiteral("1000"));
    }
    ProfileTransfer &transfer() { return w.profilePanel().transfer(); }
    QString cmdInfo() { return child<LogBox>("txtCmdInfo")->logText(); }
};

// The caption a label gives its buddy.
QString captionOf(QWidget *top, QWidget *buddy)
{
    for (QLabel *label : top->findChildren<QLabel *>()) {
        if (label->buddy() == buddy)
            return label->text();
    }
    return QString();
}

} // namespace

void TestProfilePanel::controlsAndCaptions()
{
    Window t;
    QVERIFY(t.w.modeFrame(1)->isAncestorOf(&t.w.profilePanel()));
    QVERIFY(t.w.modeFrame(1)->isAncestorOf(t.child<LogBox>("txtCmdInfo")));
    const struct
    {
        const char *name;
        const char *text;
    } buttons[] = {{"cmdSendProfile", "Загрузить профиль в терминал"},
                   {"cmdReceiveProfile", "Считать профиль с терминал"},
                   {"btSendSMS", "Загрузить профиль в терминал"},
                   {"btSaveSMSToFile", "Считать профиль с терминала"},
                   {"btSendGPRS", "Загрузить настройки GPRS в терминал"},
                   {"chkProfileLoadType_0", "СМС"},
                   {"chkProfileLoadType_1", "Дата "},
                   {"chkSMSMode", "При поступлении СМС информировать оборудование"},
                   {"Check1", "Постоянно опрашивать модем для считывания профиля и получения подтверждения настроек GPRS"}};
    for (const auto &b : buttons)
        QCOMPARE(t.child<QWidget>(b.name)->property("text").toString(), QString::fromUtf8(b.text));
    QVERIFY(t.child<QPushButton>("btOpenFile"));
    // No behaviour is given for it: it stays off and says why.
    QVERIFY(!t.child<QPushButton>("cmdReceiveProfile")->isEnabled());
    QVERIFY(!t.child<QPushButton>("cmdReceiveProfile")->toolTip().isEmpty());

    const struct
    {
        const char *name;
        const char *caption;
        const char *text;
        int limit;
    } boxes[] = {{"txtProfileNumber", "№ тел-на ", "", 32767},
                 {"txtSMSCNumber", "№ SMS центра, если используется", "", 32767},
                 {"edFilePath", "Выбор профильного файла для отправки:", "", 32767},
                 {"txtgprsAPN", "Точка доступа (APN)", "", 60},
                 {"txtgprsNAME", "Имя пользователя", "", 14},
                 {"txtgprsPASS", "Пароль", "", 14},
                 {"txtgprsIP", "Адрес сервера", "", 32767},
                 {"txtgprsPORT", "Порт", "", 32767}};
    for (const auto &b : boxes) {
        auto *box = t.child<QLineEdit>(b.name);
        QCOMPARE(captionOf(&t.w, box), QString::fromUtf8(b.caption));
        QCOMPARE(box->text(), QString::fromUtf8(b.text));
        QCOMPARE(box->maxLength(), b.limit);
    }
    // No carrier's values prefilled: hints only, and the password is not shown.
    QVERIFY(!t.child<QLineEdit>("txtgprsAPN")->placeholderText().isEmpty());
    QCOMPARE(t.child<QLineEdit>("txtgprsPASS")->echoMode(), QLineEdit::Password);
    auto *gprs = t.child<QPushButton>("btSendGPRS")->parentWidget();
    QCOMPARE(qobject_cast<QGroupBox *>(gprs)->title(), QStringLiteral("Параметры GPRS"));
    QVERIFY(gprs->isAncestorOf(t.child<QLineEdit>("txtgprsPORT")));
    QVERIFY(t.transfer().tmrSecond().isActive());
    QCOMPARE(t.transfer().Timer1().interval(), 10000);
    auto *check1 = t.child<QCheckBox>("Check1");
    check1->setChecked(true);
    QVERIFY(t.transfer().Timer1().isActive());
    check1->setChecked(false);
    QVERIFY(!t.transfer().Timer1().isActive());
    // The long caption wraps when narrow, and a click on its second line still toggles.
    QVERIFY(check1->heightForWidth(220) >= 2 * check1->fontMetrics().height());
    QCOMPARE(check1->heightForWidth(2000), check1->sizeHint().height());
    check1->resize(220, check1->heightForWidth(220));
    QTest::mouseClick(check1, Qt::LeftButton, {}, QPoint(200, check1->height() - 4));
    QVERIFY(check1->isChecked());
    check1->setChecked(false);

    // The load-type boxes are a pair, from a click or from code alike.
    t.w.profilePanel().Form_Activate();
    auto *sms = t.child<QCheckBox>("chkProfileLoadType_0");
    auto *data = t.child<QCheckBox>("chkProfileLoadType_1");
    QVERIFY(sms->isChecked() && !data->isChecked());
    QTest::mouseClick(data, Qt::LeftButton);
    QVERIFY(data->isChecked() && !sms->isChecked());
    data->setChecked(false);
    QVERIFY(sms->isChecked());
}

void TestProfilePanel::refusalsShown()
{
    Window t;
    // Without a chosen file the send says so; a file that is no data file is not taken.
    t.child<QPushButton>("btSendSMS")->click();
    QCOMPARE(t.prompts.texts(), QStringList{QStringLiteral("Не выбран профильный файл")});
    const QString good = t.dir.filePath(QStringLiteral("good.bin"));
    QVERIFY(writeBytes(good, SmsTest::profileFile(3) + QByteArray(130, '\x01')));
    t.prompts.paths << good;
    t.child<QPushButton>("btOpenFile")->click();
    QCOMPARE(t.prompts.dialogFilters.last().first().description, QStringLiteral("Профильный файл"));
    for (const int size : {0, 100, 261, 40000}) {
        const QString wrong = t.dir.filePath(QStringLiteral("w%1.bin").arg(size));
        QVERIFY(writeBytes(wrong, QByteArray(size, '\x7F')));
        t.prompts.paths << wrong;
        t.child<QPushButton>("btOpenFile")->click();
        QCOMPARE(t.prompts.texts().last(),
                 QStringLiteral("Файл %1 не является профильным файлом (%2 байт)").arg(wrong).arg(size));
    }
    // The earlier choice stays.
    QCOMPARE(t.child<QLineEdit>("edFilePath")->text(), good);
    QCOMPARE(t.w.profilePanel().profileFileData(), SmsTest::profileFile(3));
    t.prompts.shown.clear();
    t.child<QPushButton>("btSaveSMSToFile")->click();
    t.fillGprs();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("+7916x"));
    t.child<QPushButton>("btSendGPRS")->click();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("+7916"));
    t.child<QLineEdit>("txtgprsIP")->setText(QStringLiteral("10.0.0.256"));
    t.child<QPushButton>("btSendGPRS")->click();
    t.child<QLineEdit>("txtProfileNumber")->clear();
    t.child<QPushButton>("cmdSendProfile")->click();
    // An empty number is just refused; a wrong one says what is expected after the usual text.
    QCOMPARE(t.prompts.texts(), (QStringList{QStringLiteral("Неверный номер телефона"),
                                             QStringLiteral("Номер телефона не задан или неверный: ") + PhoneNumber::expected(),
                                             QStringLiteral("Неверно задан IP адрес") + GprsRecord::addressExpected(QStringLiteral("10.0.0.256")),
                                             QStringLiteral("Не введен номер телефона")}));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(t.prompts.shown.at(i).title, QString());
        QCOMPARE(t.prompts.shown.at(i).icon, UserPrompts::Icon::None);
    }
    QCOMPARE(t.prompts.shown.at(3).title, QStringLiteral("Ошибка"));
    QCOMPARE(t.prompts.shown.at(3).icon, UserPrompts::Icon::Warning);
    QVERIFY(t.transfer().activeScenarios().isEmpty());
}

void TestProfilePanel::sendAndConfirmFromWindow()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--terminal"), QStringLiteral("+71234567890"), QStringLiteral("--sms-delay"),
                       QStringLiteral("0")}));
    SystemClock fast(0.02); // the poll every 200 ms; it outlives the window
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    t.transfer().setClock(&fast);
    QTest::mouseClick(t.child<QRadioButton>("OptIndex_1"), Qt::LeftButton);
    QVERIFY(t.w.modeFrame(1)->isVisible());
    const QString file = t.dir.filePath(QStringLiteral("p.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(5)));
    t.prompts.paths << file;
    t.child<QPushButton>("btOpenFile")->click();
    QCOMPARE(t.child<QLineEdit>("edFilePath")->text(), file);
    QCOMPARE(t.w.profilePanel().profileFileData(), SmsTest::profileFile(5));
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("+71234567890"));
    t.child<QPushButton>("btSendSMS")->click();
    t.fillGprs();
    t.child<QPushButton>("btSendGPRS")->click();
    QVERIFY(t.prompts.shown.isEmpty());
    t.child<QCheckBox>("Check1")->setChecked(true);
    QTRY_COMPARE(t.cmdInfo(), QStringLiteral("Профиль отправлен на номер +71234567890\n"
                                             "Параметры GPRS отправлены на номер +71234567890\n"
                                             "Пакет 0x33h загружен в терминал: +71234567890\n"
                                             "Пакет 0x35h загружен в терминал: +71234567890\n"
                                             "Параметры GPRS загружены в терминал: +71234567890\n"));
    QVERIFY(!t.child<LogBox>("txtinfo")->logText().contains(QStringLiteral("не позволяет")));
    QTRY_VERIFY(sim.events().contains(QStringLiteral("# sms deleted 3")));

    // A read with polling off polls by itself until the profile is saved, then stops again.
    t.child<QCheckBox>("Check1")->setChecked(false);
    t.child<QPushButton>("btSaveSMSToFile")->click();
    QVERIFY(t.transfer().Timer1().isActive());
    QTRY_VERIFY_WITH_TIMEOUT(t.cmdInfo().contains(QStringLiteral("Сохранен профильный файл от терминала: +71234567890")),
                             20000);
    QTRY_VERIFY(!t.transfer().Timer1().isActive());
    QVERIFY(!t.child<QCheckBox>("Check1")->isChecked());
}

void TestProfilePanel::pollKeepsTheShownMode()
{
    SimModem sim;
    QVERIFY(sim.start());
    Window t;
    t.state.serial.port = sim.path();
    QVERIFY(t.runCheck());
    // A scenario queued from the profile mode; then the operator goes back to the firmware mode.
    t.child<QRadioButton>("OptIndex_1")->click();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("89161234567"));
    t.child<QPushButton>("cmdSendProfile")->click();
    t.child<QRadioButton>("OptIndex_0")->click();
    QCOMPARE(t.transfer().activeScenarios().size(), 1);
    QVERIFY(t.w.modeFrame(0)->isVisible());

    // The poll lists the store whatever mode is shown, and leaves the shown mode alone.
    const ProfileTransfer::PollResult poll = runTask(t.transfer().pollMessages());
    QVERIFY(poll.ran && poll.listed);
    QVERIFY(t.prompts.shown.isEmpty());
    QVERIFY(t.w.modeFrame(0)->isVisible());
    QVERIFY(t.child<QRadioButton>("OptIndex_0")->isChecked());
    QCOMPARE(t.transfer().activeScenarios().size(), 1);

    // The operator's own switch asks; No keeps the frame.
    t.child<QRadioButton>("OptIndex_1")->click();
    QCOMPARE(t.prompts.shown.size(), 1);
    QCOMPARE(t.prompts.shown.at(0).text, QStringLiteral("Выполняется сценарий для телефона 89161234567, прекратить?"));
    QCOMPARE(t.prompts.shown.at(0).title, QStringLiteral("ПРЕДУПРЕЖДЕНИЕ"));
    QVERIFY(t.w.modeFrame(0)->isVisible());

    // Closing the window drops the scenario and empties the queue.
    t.w.close();
    QTRY_VERIFY(t.transfer().transmitQueue().isEmpty() && t.transfer().activeScenarios().isEmpty());
}

void TestProfilePanel::runningScenarioQuestion()
{
    Window t;
    // The window's line is the firmware loader's: the scenarios' sends wait in the queue.
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("89161234567"));
    t.child<QPushButton>("cmdSendProfile")->click();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("89169876543"));
    t.child<QPushButton>("cmdSendProfile")->click();
    QCOMPARE(t.prompts.shown.size(), 1);
    QCOMPARE(t.prompts.shown.at(0).text, QStringLiteral("Идет диалог с номером 89161234567, прекратить"));
    QCOMPARE(t.prompts.shown.at(0).title, QStringLiteral("Внимание"));
    QCOMPARE(t.prompts.shown.at(0).buttons, UserPrompts::Buttons::YesNo);
    QCOMPARE(t.transfer().runningScenario(), QStringLiteral("89161234567"));
    // Yes: the running one goes before the new one starts.
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    t.child<QPushButton>("cmdSendProfile")->click();
    QCOMPARE(t.transfer().runningScenario(), QStringLiteral("89169876543"));
    QCOMPARE(t.transfer().activeScenarios().size(), 1);
    // A number that cannot be sent to is said before anything is asked.
    t.child<QLineEdit>("txtProfileNumber")->clear();
    t.child<QPushButton>("cmdSendProfile")->click();
    QCOMPARE(t.prompts.shown.size(), 3);
    QCOMPARE(t.prompts.shown.at(2).text, QStringLiteral("Не введен номер телефона"));
}

void TestProfilePanel::throughAGateway()
{
    QString why;
    if (!SmsdGateway::available(SmsdGateway::Store::Sqlite, why))
        QSKIP(qPrintable(why));
    SmsdGateway gw;
    QVERIFY2(gw.start({QStringLiteral("--terminal"), QStringLiteral("+71234567890"), QStringLiteral("--sms-delay"),
                       QStringLiteral("0")},
                      why),
             qPrintable(why));
    SimModem sim;
    QVERIFY(sim.start());
    SystemClock fast(0.1); // the poll every second
    QTemporaryDir dir;
    AppState state(dir.path());
    state.serial.port = sim.path();
    state.serial.smsGateway = gw.configPath();
    ScriptedPrompts prompts;
    frmLink w(state, prompts);
    auto *gateway = qobject_cast<GatewayTransfer *>(w.profilePanel().route());
    QVERIFY(gateway);
    gateway->setClock(&fast);
    QSignalSpy checked(&w, &frmLink::modemCheckFinished);
    w.show();
    QVERIFY(checked.wait(15000));
    QVERIFY(findControl<LogBox>(&w, QStringLiteral("txtinfo"))
                ->logText()
                .contains(QStringLiteral("SMS профилей идут через шлюз gammu-smsd: ") + gw.configPath()));
    QTest::mouseClick(findControl<QRadioButton>(&w, QStringLiteral("OptIndex_1")), Qt::LeftButton);
    findControl<QLineEdit>(&w, QStringLiteral("txtProfileNumber"))->setText(QStringLiteral("+71234567890"));
    findControl<QPushButton>(&w, QStringLiteral("btSaveSMSToFile"))->click();
    findControl<QCheckBox>(&w, QStringLiteral("Check1"))->setChecked(true);
    const QString saved = dir.filePath(QStringLiteral("BIN/1234567890.bin"));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(saved), 30000);
    QTRY_VERIFY(findControl<LogBox>(&w, QStringLiteral("txtCmdInfo"))
                    ->logText()
                    .startsWith(QStringLiteral("Запрос профиля отправлен на номер +71234567890\n"
                                               "Сохранен профильный файл от терминала: +71234567890, файл ")));
    QCOMPARE(readBytes(saved).size(), 260);
    QVERIFY(prompts.shown.isEmpty());
    // Not a message through the modem: its line was only checked.
    QVERIFY(!sim.received().contains("AT+CMGS"));
    QCOMPARE(gw.rows(QStringLiteral("SELECT COUNT(*) FROM sentitems")).value(0), QStringLiteral("2"));
}

void TestProfilePanel::closingDuringProfileSend()
{
    // The network takes its time over each message: the window is closed between the two packets.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--network-delay"), QStringLiteral("400")}));
    Window t;
    t.state.serial.port = sim.path();
    Database db;
    QString error;
    QVERIFY(db.open(t.dir.filePath(QStringLiteral("Data.db")), error));
    t.state.database = &db;
    QVERIFY(t.runCheck());
    QTest::mouseClick(t.child<QRadioButton>("OptIndex_1"), Qt::LeftButton);
    const QString file = t.dir.filePath(QStringLiteral("p.bin"));
    QVERIFY(writeBytes(file, SmsTest::profileFile(5)));
    t.prompts.paths << file;
    t.child<QPushButton>("btOpenFile")->click();
    t.child<QLineEdit>("txtProfileNumber")->setText(QStringLiteral("+71234567890"));
    QSignalSpy finished(&t.w, &QDialog::finished);
    t.child<QPushButton>("btSendSMS")->click();
    QTRY_VERIFY_WITH_TIMEOUT(sim.received().count("AT+CMGS=") == 1, 10000);
    // No keeps the window and the send; Yes lets the second packet go, then closes.
    t.prompts.answers << UserPrompts::Answer::No << UserPrompts::Answer::Yes;
    t.w.close();
    QVERIFY(t.w.isVisible());
    t.w.close();
    QCOMPARE(t.prompts.texts(), (QStringList{QStringLiteral("Идет отправка профиля. Прервать и закрыть окно?"),
                                             QStringLiteral("Идет отправка профиля. Прервать и закрыть окно?")}));
    QVERIFY(t.w.isVisible());
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 10000);
    QCOMPARE(sim.received().count("AT+CMGS="), 2);
    QVERIFY(t.cmdInfo().contains(QStringLiteral("Профиль отправлен на номер +71234567890")));
    const QList<OperationHistory::Entry> rows = OperationHistory(db).entries();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.at(0).operation, OperationHistory::Operation::SendProfile);
    QCOMPARE(rows.at(0).result, OperationHistory::Result::Ok);
    t.state.database = nullptr;
}

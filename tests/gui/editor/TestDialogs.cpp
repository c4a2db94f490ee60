#include "TestDialogs.h"

#include "EditorTestSupport.h"
#include "ScriptedPrompts.h"
#include "core/app/ConfigPaths.h"
#include "gui/editor/frmCommSetup.h"
#include "gui/editor/frmLoadFile.h"
#include "gui/app/QtPrompts.h"
#include "core/settings/SettingsFiles.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <QLineEdit>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>

namespace {
QComboBox *list(QWidget *d, const char *name) { return child<QComboBox>(d, QLatin1String(name)); }

QStringList shown(QWidget *d)
{
    QStringList out;
    for (const char *name : {"cmbPortNumber", "cmbSpeed", "cmbParity", "cmbNumBits", "cmbStopBits"})
        out << list(d, name)->currentText();
    return out;
}

void choose(QComboBox *box, const QString &text)
{
    const int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
}
} // namespace

void TestDialogs::commSetupShowsDefaults()
{
    SerialSettings s;
    const QStringList devices{QStringLiteral("/dev/ttyUSB0")};
    frmCommSetup d(s, nullptr, &devices);
    QCOMPARE(d.windowTitle(), QStringLiteral("Настройки связи"));
    QCOMPARE(shown(&d), QStringList({QStringLiteral("1"), QStringLiteral("9600"), QStringLiteral("n"),
                                     QStringLiteral("8"), QStringLiteral("1")}));
    QCOMPARE(list(&d, "cmbPortNumber")->count(), 41);
    QCOMPARE(list(&d, "cmbPortNumber")->itemText(0), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(list(&d, "cmbSpeed")->count(), 7);
    QCOMPARE(list(&d, "cmbParity")->count(), 3);
    QCOMPARE(child<QPushButton>(&d, QStringLiteral("cmdOK"))->text(), QStringLiteral("Установить"));
    QCOMPARE(child<QPushButton>(&d, QStringLiteral("cmdCancel"))->text(), QStringLiteral("Отмена"));
}

void TestDialogs::commSetupStoresChoice()
{
    SerialSettings s;
    const QStringList none;
    {
        frmCommSetup d(s, nullptr, &none);
        choose(list(&d, "cmbPortNumber"), QStringLiteral("40"));
        choose(list(&d, "cmbSpeed"), QStringLiteral("19200"));
        choose(list(&d, "cmbParity"), QStringLiteral("o"));
        choose(list(&d, "cmbNumBits"), QStringLiteral("7"));
        choose(list(&d, "cmbStopBits"), QStringLiteral("2"));
        child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
    }
    QCOMPARE(s.port, QStringLiteral("40"));
    QCOMPARE(s.baudRate, 19200);
    QCOMPARE(s.parity, QLatin1Char('o'));
    QCOMPARE(s.dataBits, 7);
    QCOMPARE(s.stopBits, 2);
    frmCommSetup again(s, nullptr, &none);
    QCOMPARE(shown(&again), QStringList({QStringLiteral("40"), QStringLiteral("19200"), QStringLiteral("o"),
                                         QStringLiteral("7"), QStringLiteral("2")}));
    QVERIFY(child<QRadioButton>(&again, QStringLiteral("optModem"))->isChecked());
    QVERIFY(!child<QLineEdit>(&again, QStringLiteral("txtGatewayConfig"))->isEnabled());

    // The profile SMS through a gateway: its file is kept; the modem again forgets it.
    child<QRadioButton>(&again, QStringLiteral("optGateway"))->setChecked(true);
    child<QLineEdit>(&again, QStringLiteral("txtGatewayConfig"))->setText(QStringLiteral(" /etc/gammu-smsdrc "));
    child<QPushButton>(&again, QStringLiteral("cmdOK"))->click();
    QCOMPARE(s.smsGateway, QStringLiteral("/etc/gammu-smsdrc"));
    frmCommSetup third(s, nullptr, &none);
    QVERIFY(child<QRadioButton>(&third, QStringLiteral("optGateway"))->isChecked());
    QCOMPARE(child<QLineEdit>(&third, QStringLiteral("txtGatewayConfig"))->text(), QStringLiteral("/etc/gammu-smsdrc"));
    child<QRadioButton>(&third, QStringLiteral("optModem"))->setChecked(true);
    child<QPushButton>(&third, QStringLiteral("cmdOK"))->click();
    QCOMPARE(s.smsGateway, QString());

    // A name Default.ini (code page 1251) cannot hold is refused: the dialog stays, nothing changes.
    ScriptedPrompts prompts;
    frmCommSetup fourth(s, nullptr, &none, &prompts);
    child<QRadioButton>(&fourth, QStringLiteral("optGateway"))->setChecked(true);
    const QString foreign = QStringLiteral("/etc/smsd\u2713rc");
    child<QLineEdit>(&fourth, QStringLiteral("txtGatewayConfig"))->setText(foreign);
    child<QPushButton>(&fourth, QStringLiteral("cmdOK"))->click();
    QCOMPARE(fourth.result(), int(QDialog::Rejected));
    QCOMPARE(prompts.texts(), QStringList{ConfigPaths::refusal(foreign, QStringLiteral("Default.ini"))});
    QCOMPARE(s.smsGateway, QString());
    // The gateway chosen with no file: said, and the dialog stays rather than keep the modem.
    prompts.shown.clear();
    child<QLineEdit>(&fourth, QStringLiteral("txtGatewayConfig"))->clear();
    child<QPushButton>(&fourth, QStringLiteral("cmdOK"))->click();
    QCOMPARE(fourth.result(), int(QDialog::Rejected));
    QCOMPARE(prompts.texts(), QStringList{QStringLiteral("Не указан файл настроек шлюза gammu-smsd: укажите его или выберите модем")});
}

void TestDialogs::commSetupCancelKeepsValues()
{
    SerialSettings s;
    s.port = QStringLiteral("3");
    const QStringList none;
    frmCommSetup d(s, nullptr, &none);
    choose(list(&d, "cmbPortNumber"), QStringLiteral("7"));
    choose(list(&d, "cmbSpeed"), QStringLiteral("2400"));
    choose(list(&d, "cmbParity"), QStringLiteral("e"));
    child<QPushButton>(&d, QStringLiteral("cmdCancel"))->click();
    QCOMPARE(d.result(), int(QDialog::Rejected));
    QCOMPARE(s.port, QStringLiteral("3"));
    QCOMPARE(s.baudRate, 9600);
    QCOMPARE(s.parity, QLatin1Char('n'));
}

void TestDialogs::commSetupShowsValueWithoutItem()
{
    SerialSettings s;
    s.baudRate = 115200;
    s.port = QStringLiteral("/dev/ttyACM3");
    s.stopBits = 3;
    const QStringList none;
    frmCommSetup d(s, nullptr, &none);
    QCOMPARE(shown(&d), QStringList({QStringLiteral("/dev/ttyACM3"), QStringLiteral("115200"), QStringLiteral("n"),
                                     QStringLiteral("8"), QStringLiteral("3")}));
    child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
    QCOMPARE(s.baudRate, 115200);
    QCOMPARE(s.port, QStringLiteral("/dev/ttyACM3"));
    QCOMPARE(s.stopBits, 3);
}

void TestDialogs::commSetupTakesDevicePath()
{
    SerialSettings s;
    const QStringList devices{QStringLiteral("/dev/ttyUSB0")};
    {
        frmCommSetup d(s, nullptr, &devices);
        choose(list(&d, "cmbPortNumber"), QStringLiteral("/dev/ttyUSB0"));
        child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
    }
    QCOMPARE(s.port, QStringLiteral("/dev/ttyUSB0"));
    {
        frmCommSetup d(s, nullptr, &devices);
        QComboBox *port = list(&d, "cmbPortNumber");
        QVERIFY(port->isEditable());
        d.show(); // wide enough for a device path, and for the caption beside the title bar's buttons
        QVERIFY(port->lineEdit()->width() > port->fontMetrics().horizontalAdvance(QStringLiteral("/dev/serial/by-id/usb-Modem-if00")));
        QVERIFY(d.width() >= d.fontMetrics().horizontalAdvance(d.windowTitle()) + 120);
        port->setEditText(QStringLiteral("/dev/ttyS9"));
        child<QPushButton>(&d, QStringLiteral("cmdOK"))->click();
    }
    QCOMPARE(s.port, QStringLiteral("/dev/ttyS9"));
}

void TestDialogs::loadFileNewClearsImage()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[5] = 1;
    env.state.CurrentImage.Description = QStringLiteral("d");
    int refreshed = 0;
    frmLoadFile d(env.state, env.prompts, [&] { ++refreshed; });
    QCOMPARE(d.windowTitle(), QStringLiteral("Загрузка файла данных, соответствующих новой таблтице"));
    QCOMPARE(child<QPushButton>(&d, QStringLiteral("cmdNew"))->text(), QStringLiteral("Новый"));
    child<QPushButton>(&d, QStringLiteral("cmdNew"))->click();
    QCOMPARE(refreshed, 1);
    QVERIFY(env.state.CurrentImage == SettingsImage());
    QVERIFY(env.state.SavedImage == SettingsImage());
    QCOMPARE(env.state.DataFilePath, env.state.appPath(QStringLiteral("new.bin")));
    QVERIFY(env.state.caption().contains(QStringLiteral("new.bin")));
    QCOMPARE(d.result(), int(QDialog::Accepted));
}

void TestDialogs::loadFileLoadLoadsFile()
{
    EditorEnv env;
    SettingsImage image;
    image.Block2[7] = 0x55;
    const QString path = env.state.appPath(QStringLiteral("x.bin"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SettingsFiles::buildFile(image, 2));
    }
    // Nothing unsaved (the image already holds the table's hidden default): no save offer.
    env.state.CurrentImage.Block1[40] = 7;
    env.state.SavedImage = env.state.CurrentImage;
    int refreshed = 0;
    frmLoadFile d(env.state, env.prompts, [&] { ++refreshed; });
    QCOMPARE(child<QPushButton>(&d, QStringLiteral("cmdLoad"))->text(), QStringLiteral("Загрузить"));
    d.show();
    child<QPushButton>(&d, QStringLiteral("cmdLoad"))->click(); // cancelled: the dialog stays for "Новый"
    QVERIFY(refreshed == 0 && d.isVisible());
    env.prompts.paths.enqueue(path);
    child<QPushButton>(&d, QStringLiteral("cmdLoad"))->click();
    QCOMPARE(refreshed, 1);
    QCOMPARE(int(env.state.CurrentImage.Block2[7]), 0x55);
    QCOMPARE(env.state.DataFilePath, path);
    QCOMPARE(env.prompts.dialogTitles.last(), QStringLiteral("Укажите директорию и файл с базой"));
    QVERIFY(env.prompts.shown.isEmpty());
}

void TestDialogs::messageBoxKeysKeepWork()
{
    QtPrompts prompts;
    // The key goes to the box once it is up.
    auto press = [](Qt::Key key) {
        QTimer::singleShot(0, [key] {
            QWidget *box = QApplication::activeModalWidget();
            QVERIFY(qobject_cast<QMessageBox *>(box));
            QTest::keyClick(box, key);
        });
    };
    // Esc on the save offer keeps the work: Cancel, not No.
    press(Qt::Key_Escape);
    QCOMPARE(prompts.message(QStringLiteral("Сохранить данные"), QString(), UserPrompts::Icon::Question,
                             UserPrompts::Buttons::YesNoCancel),
             UserPrompts::Answer::Cancel);
    // Enter on a question whose Yes cannot be taken back answers No.
    press(Qt::Key_Return);
    QCOMPARE(prompts.message(QStringLiteral("Все данные будут обнулены, продолить"), QString(),
                             UserPrompts::Icon::Warning, UserPrompts::Buttons::YesNoDefaultNo),
             UserPrompts::Answer::No);
}

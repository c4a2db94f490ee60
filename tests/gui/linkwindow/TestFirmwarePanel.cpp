#include "TestFirmwarePanel.h"

#include "LinkWindowFixture.h"
#include "RunTask.h"
#include "FirmwareFixture.h"
#include "ScriptedPrompts.h"
#include "SimModem.h"
#include "TestFiles.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/ResumePoints.h"
#include "core/app/StartUp.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"
#include "gui/linkwindow/LogBox.h"
#include "gui/linkwindow/frmLink.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QDir>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace FirmwareFixture;

namespace {

struct Window : LinkWindowFixture
{
    QString info() { return child<LogBox>("txtinfo")->logText(); }
    QStringList pages()
    {
        QStringList items;
        auto *list = child<QComboBox>("cmbPageAdr");
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }
    bool open(const QString &port)
    {
        // The link's pauses and time-outs at a tenth; kvrsim's escape guard (50 ms) fits in them.
        w.link().setTimeScale(0.1);
        state.serial.port = port;
        QSignalSpy finished(&w, &frmLink::modemCheckFinished);
        w.show();
        return finished.wait(15000);
    }
    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        return writeBytes(path, bytes) ? path : QString();
    }
};

QString lines(const QStringList &l)
{
    return l.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

const QStringList kHungUp{QStringLiteral("Проверка командного режима"),
                          QStringLiteral("Сценарий окончен, модем в командном режиме"), QStringLiteral("Труба положена")};

} // namespace

void TestFirmwarePanel::listsAndModes()
{
    Window t;
    t.state.firmwarePaths[0] = QStringLiteral("/fw/a.BIN");
    t.state.firmwarePaths[2] = QStringLiteral("/fw/c.BIN");
    QVERIFY(t.open(QStringLiteral("/nonexistent/ttyKVR")));
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_0")->text(), QStringLiteral("/fw/a.BIN"));
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_1")->text(), QString());
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_2")->text(), QStringLiteral("/fw/c.BIN"));
    QCOMPARE(t.child<QLabel>("lblPercent")->text(), QString());
    auto *bank = t.child<QComboBox>("cmbBank");
    QCOMPARE(bank->count(), 4);
    QCOMPARE(bank->itemText(3), QStringLiteral("3"));
    QCOMPARE(bank->currentText(), QStringLiteral("0"));

    QStringList banked;
    for (int a = 0; a <= 0x7C00; a += 0x400)
        banked << QString::number(a, 16).toUpper();
    QCOMPARE(t.pages(), banked);
    QCOMPARE(t.child<QComboBox>("cmbPageAdr")->currentText(), QStringLiteral("2800"));

    auto *linear = t.child<QCheckBox>("chkWOBank");
    QCOMPARE(linear->text(), QStringLiteral("Безбанковая загрузка одного файла"));
    QTest::mouseClick(linear, Qt::LeftButton);
    QCOMPARE(t.pages().size(), 128);
    QCOMPARE(t.pages().first(), QStringLiteral("0"));
    QCOMPARE(t.pages().at(1), QStringLiteral("200"));
    QCOMPARE(t.pages().last(), QStringLiteral("FE00"));
    QCOMPARE(t.child<QComboBox>("cmbPageAdr")->currentText(), QStringLiteral("1000"));
    for (const char *name : {"txtFileUpload_1", "txtFileUpload_2", "cmdSelFiles_1", "cmdSelFiles_2"})
        QVERIFY2(!t.child<QWidget>(name)->isEnabled(), name);
    QVERIFY(t.child<QWidget>("txtFileUpload_0")->isEnabled());

    // Set from code, the box runs the same handler.
    linear->setChecked(false);
    QCOMPARE(t.pages(), banked);
    QCOMPARE(t.child<QComboBox>("cmbPageAdr")->currentText(), QStringLiteral("2800"));
    for (const char *name : {"txtFileUpload_1", "txtFileUpload_2", "cmdSelFiles_1", "cmdSelFiles_2"})
        QVERIFY2(t.child<QWidget>(name)->isEnabled(), name);

    QCOMPARE(t.child<QCheckBox>("chkLastAdr")->text(), QStringLiteral("Продолжить с последнего переданного блока блока"));
    QCOMPARE(t.child<QPushButton>("cmdLoad")->text(), QStringLiteral("Загрузить"));
    QCOMPARE(t.child<QPushButton>("cmdEscapeTransmit")->text(), QStringLiteral("Прервать передачу"));
    QCOMPARE(t.child<QPushButton>("cmdSelFiles_0")->text(), QStringLiteral(".."));
}

void TestFirmwarePanel::chooseFiles()
{
    Window t;
    QVERIFY(t.open(QStringLiteral("/nonexistent/ttyKVR")));
    t.prompts.paths.enqueue(QStringLiteral("/fw/second.BIN"));
    QTest::mouseClick(t.child<QPushButton>("cmdSelFiles_1"), Qt::LeftButton);
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_1")->text(), QStringLiteral("/fw/second.BIN"));
    QCOMPARE(t.state.firmwarePaths[1], QStringLiteral("/fw/second.BIN"));
    QCOMPARE(t.prompts.dialogFolders, QStringList{t.state.appPath(QStringLiteral("data"))});
    QCOMPARE(t.prompts.dialogFilters.size(), 1);
    const auto filters = t.prompts.dialogFilters.first();
    QCOMPARE(filters.size(), 2);
    QCOMPARE(filters[0].description, QStringLiteral("Файл загружаемой программой"));
    QCOMPARE(filters[0].pattern, QStringLiteral("*.BIN"));
    QCOMPARE(filters[1].description, QStringLiteral("Все файлы"));
    QCOMPARE(filters[1].pattern, QStringLiteral("*.*"));

    // Cancel changes nothing.
    QTest::mouseClick(t.child<QPushButton>("cmdSelFiles_1"), Qt::LeftButton);
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_1")->text(), QStringLiteral("/fw/second.BIN"));
    QCOMPARE(t.prompts.dialogTitles.size(), 2);

    // A path that Default.ini (code page 1251) could not keep is refused with a message.
    const int shownBefore = t.prompts.shown.size();
    t.prompts.paths.enqueue(QStringLiteral("/fw/прошивка中.BIN"));
    QTest::mouseClick(t.child<QPushButton>("cmdSelFiles_1"), Qt::LeftButton);
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_1")->text(), QStringLiteral("/fw/second.BIN"));
    QCOMPARE(t.state.firmwarePaths[1], QStringLiteral("/fw/second.BIN"));
    QCOMPARE(t.prompts.shown.size(), shownBefore + 1);
    QVERIFY(t.prompts.shown.last().text.contains(QStringLiteral("Default.ini")));
}

void TestFirmwarePanel::pathsAndPositionThroughDefaultIni()
{
    Window t;
    Database db;
    ScriptedPrompts startPrompts;
    AppState before(t.dir.path());
    before.firmwarePaths[0] = QStringLiteral("/fw/a.BIN");
    before.lastBank = 2;
    before.lastPageAddress = 0x1C00;
    QVERIFY(StartUp(before, startPrompts, db).WriteDefaultIni());

    // A run: Default.ini read, the window shows the paths, the operator edits one, the window closes.
    StartUp(t.state, startPrompts, db).LoadDefaults();
    QVERIFY(t.open(QStringLiteral("/nonexistent/ttyKVR")));
    QCOMPARE(t.child<QLineEdit>("txtFileUpload_0")->text(), QStringLiteral("/fw/a.BIN"));
    t.child<QLineEdit>("txtFileUpload_2")->setText(QStringLiteral("/fw/c.BIN"));
    t.w.reject();
    QCOMPARE(t.state.firmwarePaths[2], QStringLiteral("/fw/c.BIN"));

    // Written at the end of the run, read by the next one.
    QVERIFY(StartUp(t.state, startPrompts, db).WriteDefaultIni());
    AppState next(t.dir.path());
    StartUp(next, startPrompts, db).LoadDefaults();
    QCOMPARE(next.firmwarePaths[0], QStringLiteral("/fw/a.BIN"));
    QCOMPARE(next.firmwarePaths[1], QString());
    QCOMPARE(next.firmwarePaths[2], QStringLiteral("/fw/c.BIN"));
    QCOMPARE(next.lastBank, qint16(2));
    QCOMPARE(next.lastPageAddress, 0x1C00);
    QVERIFY(startPrompts.shown.isEmpty());
}

void TestFirmwarePanel::loadAgainstSimulator()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"), QStringLiteral("50")}));
    Window t;
    const QByteArray f1 = pattern(36000, 1);
    t.state.firmwarePaths[0] = t.file(QStringLiteral("1.BIN"), f1);
    t.state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t.open(sim.path()));
    t.child<QComboBox>("cmbPageAdr")->setCurrentText(QStringLiteral("7800"));

    auto *load = t.child<QPushButton>("cmdLoad");
    bool disabledDuringLoad = false;
    QObject::connect(&t.w.link().display(), &LinkDisplay::infoLine, [&](const QString &line) {
        if (line.startsWith(QStringLiteral("Доставлен пакет"))) {
            disabledDuringLoad = !load->isEnabled() && !t.child<QProgressBar>("prgLoad")->isHidden();
            // The operator looks at the address book meanwhile: only the view changes.
            t.child<QRadioButton>("OptIndex_2")->click();
        }
    });
    // Nothing happens until the operator says Yes to the question that names number and files.
    t.prompts.shown.clear();
    QTest::mouseClick(load, Qt::LeftButton);
    const QString question = QStringLiteral("Загрузить ПО в терминал без имени, номер 5551234?\r\n")
                             + QDir::toNativeSeparators(t.state.firmwarePaths[0])
                             + QStringLiteral("\r\nЗагрузка с блока 7800H банка 0");
    QCOMPARE(t.prompts.texts(), QStringList{question});
    QCOMPARE(t.prompts.shown.last().buttons, UserPrompts::Buttons::YesNoDefaultNo);
    QTest::qWait(100);
    QVERIFY(!sim.received().contains("ATD"));
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    QTest::mouseClick(load, Qt::LeftButton);
    // The click only queued the load on the line.
    QVERIFY(!t.w.line().isIdle());
    QVERIFY(runUntilIdle(t.w.line()));
    QVERIFY(disabledDuringLoad);
    QVERIFY(load->isEnabled());
    QCOMPARE(t.child<QLabel>("lblPercent")->text(), QStringLiteral("Загружено 100%"));
    QCOMPARE(t.child<QProgressBar>("prgLoad")->value(), 100);
    QVERIFY(t.child<QProgressBar>("prgLoad")->isHidden());

    const Transfer expected = banked(f1, {}, {}, 0, 0x7800, false, false);
    QCOMPARE(t.info(), lines(QStringList{QStringLiteral("Проверка командного режима"),
                                         QStringLiteral("Проверка отклика модема"),
                                         QStringLiteral(" Режим передачи данных")}
                             + entryLines() + blockLines(expected, false) + closingLines() + kHungUp));
    QCOMPARE(t.state.lastBank, qint16(3));
    QCOMPARE(t.state.lastPageAddress, 0);
    // The traffic log was emptied when the load began: no trace of the modem check is left.
    QVERIFY(!t.child<LogBox>("txtInOut")->logText().contains(QStringLiteral("ATI")));
    QVERIFY(t.child<LogBox>("txtInOut")->logText().contains(QStringLiteral("HEADER")));
}

void TestFirmwarePanel::breakButtonDuringLoad()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"), QStringLiteral("50"), QStringLiteral("--no-ack-at"),
                       QStringLiteral("2")}));
    Window t;
    t.state.firmwarePaths[0] = t.file(QStringLiteral("1.BIN"), pattern(8192, 2));
    t.state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t.open(sim.path()));
    t.child<QComboBox>("cmbPageAdr")->setCurrentIndex(0);
    QObject::connect(&sim, &SimModem::eventArrived, [&](const QString &line) {
        if (line.contains(QLatin1String("no acknowledgement")))
            QTimer::singleShot(0, &t.w, [&] {
                QTest::mouseClick(t.child<QPushButton>("cmdEscapeTransmit"), Qt::LeftButton);
            });
    });
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    QTest::mouseClick(t.child<QPushButton>("cmdLoad"), Qt::LeftButton);
    QVERIFY(runUntilIdle(t.w.line()));
    QVERIFY(t.info().endsWith(lines(QStringList{QStringLiteral("Запрос заголовка"),
                                                QStringLiteral("Прервано пользователем "),
                                                QStringLiteral("Не получено подтверждение данных 5С")}
                                    + kHungUp)));
    // The figure reached stays, marked as broken off.
    QCOMPARE(t.child<QLabel>("lblPercent")->text(), QStringLiteral("Загружено .0%, прервано"));
    QTRY_VERIFY(sim.received().endsWith("+++AT\rATH\r+++AT\r+++AT\rATH\rATH\r"));
}

void TestFirmwarePanel::closingDuringLoad()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--guard"), QStringLiteral("50"), QStringLiteral("--no-ack-at"),
                       QStringLiteral("2")}));
    auto t = std::make_unique<Window>();
    t->state.firmwarePaths[0] = t->file(QStringLiteral("1.BIN"), pattern(8192, 3));
    t->state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t->open(sim.path()));
    // From the first block: the default start lies past an 8 KB image.
    t->child<QComboBox>("cmbPageAdr")->setCurrentIndex(0);
    QSignalSpy finished(&t->w, &QDialog::finished);
    bool stayed = false;
    QObject::connect(&sim, &SimModem::eventArrived, [&](const QString &line) {
        if (line.contains(QLatin1String("no acknowledgement")))
            QTimer::singleShot(0, &t->w, [&] {
                // No keeps the window and the load; Yes breaks the load off, then closes.
                t->w.close();
                stayed = t->w.isVisible();
                t->w.close();
            });
    });
    t->prompts.answers << UserPrompts::Answer::Yes << UserPrompts::Answer::No << UserPrompts::Answer::Yes;
    QTest::mouseClick(t->child<QPushButton>("cmdLoad"), Qt::LeftButton);
    // The block wait ended as broken off, not by its time-out, and the window closed.
    QTRY_COMPARE(finished.size(), 1);
    QVERIFY(stayed);
    QCOMPARE(t->prompts.texts().mid(1), (QStringList{QStringLiteral("Идет загрузка ПО. Прервать загрузку и закрыть окно?"),
                                                     QStringLiteral("Идет загрузка ПО. Прервать загрузку и закрыть окно?")}));
    QVERIFY(!t->w.isVisible());
    // The call did not stay up: the break escaped and hung up.
    QTRY_VERIFY(sim.received().contains("+++AT\rATH\r"));
    QVERIFY2(t->info().contains(QStringLiteral("\nНе получено подтверждение данных 5С\n")), qPrintable(t->info()));
    QVERIFY(!t->info().contains(QStringLiteral("Таймаут")));
    t.reset();
}

void TestFirmwarePanel::noLoadWithoutTheBook()
{
    // The program started without Data.db: a load would keep no resume point.
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot")}));
    Window t;
    t.state.database = nullptr;
    t.state.firmwarePaths[0] = t.file(QStringLiteral("1.BIN"), pattern(4096, 4));
    t.state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t.open(sim.path()));
    const qsizetype before = sim.received().size();
    t.prompts.shown.clear();
    QTest::mouseClick(t.child<QPushButton>("cmdLoad"), Qt::LeftButton);
    QCOMPARE(t.prompts.texts(), QStringList{QStringLiteral("Адресная книга недоступна: без нее не сохранить точку "
                                                           "продолжения, загрузка не начата")});
    QTest::qWait(200);
    QCOMPARE(sim.received().size(), before);
}

void TestFirmwarePanel::breakDuringTheCheckDialsNothing()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot")}));
    Window t;
    t.state.firmwarePaths[0] = t.file(QStringLiteral("1.BIN"), pattern(4096, 4));
    t.state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t.open(sim.path()));
    t.child<QComboBox>("cmbPageAdr")->setCurrentIndex(0);
    // From now on the modem keeps quiet: the break falls into the load's modem check.
    sim.command("silent on");
    QTRY_VERIFY(sim.events().contains(QStringLiteral("# silent on")));
    const qsizetype before = sim.received().size();
    t.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    QTest::mouseClick(t.child<QPushButton>("cmdLoad"), Qt::LeftButton);
    QTRY_VERIFY(sim.received().size() > before);
    QTest::mouseClick(t.child<QPushButton>("cmdEscapeTransmit"), Qt::LeftButton);
    QVERIFY(runUntilIdle(t.w.line()));
    QVERIFY2(t.info().contains(QStringLiteral("Прервано пользователем")), qPrintable(t.info()));
    QTest::qWait(500);
    QVERIFY2(!sim.received().contains("ATD"), sim.received().constData());
    QVERIFY(t.child<QPushButton>("cmdLoad")->isEnabled());
}

void TestFirmwarePanel::refusalsBeforeTheQuestion()
{
    SimModem sim;
    QVERIFY(sim.start({QStringLiteral("--far"), QStringLiteral("boot")}));
    Window t;
    const QString image = t.file(QStringLiteral("1.BIN"), pattern(36000, 5));
    t.state.firmwarePaths[0] = t.dir.filePath(QStringLiteral("missing.BIN"));
    t.state.terminalNumber = QStringLiteral("5551234");
    QVERIFY(t.open(sim.path()));
    auto *load = t.child<QPushButton>("cmdLoad");
    // A wrong file is said at once, not after a question answered for nothing.
    t.prompts.shown.clear();
    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(t.prompts.texts(), QStringList{QStringLiteral("Файл ") + t.state.firmwarePaths[0] + QStringLiteral("не найден")});

    // A resume without a stored point is refused, and the box stays ticked to be mended.
    t.child<QLineEdit>("txtFileUpload_0")->setText(image);
    auto *resume = t.child<QCheckBox>("chkLastAdr");
    resume->setChecked(true);
    t.prompts.shown.clear();
    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(t.prompts.texts(), QStringList{QStringLiteral("Для номера 5551234 нет сохраненной точки продолжения: "
                                                           "начните загрузку с выбранного адреса")});
    QVERIFY(resume->isChecked());

    // With a point kept for these files the question says where the load goes on from.
    QString error;
    QVERIFY(ResumePoints(*t.state.database)
                .store({QStringLiteral("5551234"), ResumePoints::Mode::Banked, ResumePoints::fingerprint({image, QString(), QString()}), 0, 0x1C00},
                       error));
    t.prompts.shown.clear();
    t.prompts.answers.enqueue(UserPrompts::Answer::No);
    QTest::mouseClick(load, Qt::LeftButton);
    QCOMPARE(t.prompts.texts().size(), 1);
    QVERIFY2(t.prompts.texts().first().endsWith(QStringLiteral("\r\nПродолжение загрузки с блока 1C00H банка 0")),
             qPrintable(t.prompts.texts().first()));
    // And from the first block of bank 0 it starts over.
    resume->setChecked(false);
    t.child<QComboBox>("cmbPageAdr")->setCurrentIndex(0);
    t.prompts.shown.clear();
    t.prompts.answers.enqueue(UserPrompts::Answer::No);
    QTest::mouseClick(load, Qt::LeftButton);
    QVERIFY(t.prompts.texts().first().endsWith(QStringLiteral("\r\nЗагрузка с начала")));
    QVERIFY(!sim.received().contains("ATD"));
}

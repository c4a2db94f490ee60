#include "TestMainWindow.h"

#include "EditorTestSupport.h"
#include "TestFiles.h"
#include "core/app/DataFileFlows.h"
#include "core/app/Database.h"
#include "core/app/StartUp.h"
#include "gui/editor/frmMain.h"
#include "core/settings/EventMasks.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <QStatusBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
// A shown and active window whose hooks never open modal windows.
struct Window
{
    EditorEnv &env;
    frmMain w;
    QStringList hookCalls;

    explicit Window(EditorEnv &e) : env(e), w(e.state, e.prompts)
    {
        w.showCommSetup = [this] { hookCalls << QStringLiteral("comm"); };
        w.showLoadFile = [this] { hookCalls << QStringLiteral("load"); };
        w.showLinkWindow = [this] { hookCalls << QStringLiteral("link"); };
        w.shutDown = [this] {
            hookCalls << QStringLiteral("shutdown");
            return true;
        };
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            qWarning("window not active");
    }
    QTableView *grid() { return child<QTableView>(&w, QStringLiteral("flexmain")); }
    QCheckBox *box(const char *name, int i)
    {
        return child<QCheckBox>(&w, QLatin1String(name) + QLatin1Char('_') + QString::number(i));
    }
    QLineEdit *txt(int i) { return child<QLineEdit>(&w, QStringLiteral("txtParam_%1").arg(i)); }
    void select(int event)
    {
        const int r = rowOfEvent(grid(), event);
        QVERIFY(r >= 0);
        selectCell(grid(), r, 1);
        QCOMPARE(w.CurrentEvent(), event);
    }
    void trigger(const char *action) { child<QAction>(&w, QLatin1String(action))->trigger(); }
    auto &b1() { return env.state.CurrentImage.Block1; }
};

void leave(QLineEdit *box, QWidget *next, const QString &text)
{
    box->setFocus();
    QVERIFY(box->hasFocus());
    box->setText(text);
    next->setFocus();
}
} // namespace

void TestMainWindow::controlsHaveTheirNames()
{
    EditorEnv env;
    Window win(env);
    QCOMPARE(win.w.objectName(), QStringLiteral("frmMain"));
    for (int i = 0; i < 8; ++i) {
        QVERIFY(win.txt(i));
        QVERIFY(win.box("chkParam", i));
        QVERIFY(child<QLabel>(&win.w, QStringLiteral("lblTxtParam_%1").arg(i)));
        QVERIFY(child<QLabel>(&win.w, QStringLiteral("lblCHKParam_%1").arg(i)));
    }
    const QString masks[4] = {QStringLiteral("Журнал"), QStringLiteral("Авто/GPRS"), QStringLiteral("Тревожный режим"),
                              QStringLiteral("Информационный")};
    for (int k = 0; k < 4; ++k)
        QCOMPARE(win.box("chkMask", k)->text(), masks[k]);
    for (int r = 0; r < 9; ++r) {
        QVERIFY(win.box("chkAuto", r));
        QVERIFY(win.box("chkAlarm", r));
        QVERIFY(win.box("chkInfo", r));
        QVERIFY(child<QLabel>(&win.w, QStringLiteral("lblMaskName_%1").arg(r)));
    }
    QVERIFY(!win.box("chkAuto", 0)->isEnabled());
    QCOMPARE(win.box("chkAlarm", 0)->checkState(), Qt::PartiallyChecked);
    for (const char *name : {"cmbFilter", "txtHelp", "txtInfo", "txtFileDescription", "fraParameters", "Frame1",
                             "cmdSave", "optTypeDevice_0", "optTypeDevice_1", "lblAvto", "lblAlarm", "lblInfo"})
        QVERIFY2(win.w.findChild<QWidget *>(QLatin1String(name)), name);
    const QStringList actions = {QStringLiteral("mnuLoad|Загрузить"), QStringLiteral("mnu_Export|Сохранить"),
                                 QStringLiteral("mnuPrint|Печать"), QStringLiteral("mnuExit|Выход"),
                                 QStringLiteral("mnu_ChngTable|Сменить управляющую таблицу"),
                                 QStringLiteral("mnuCom|Настройки связи"),
                                 QStringLiteral("mnu_GPSLINK|Удаленная загрузка ПО"),
                                 QStringLiteral("mnuClear|Очистить все данные"), QStringLiteral("mnu_about|About"),
                                 QStringLiteral("mnu_HelpM|Справка")};
    for (const QString &a : actions) {
        auto *action = child<QAction>(&win.w, a.section(QLatin1Char('|'), 0, 0));
        QVERIFY(action);
        QCOMPARE(action->text().remove(QLatin1Char('&')), a.section(QLatin1Char('|'), 1)); // "&": the mnemonic
    }
    // The keys operators know from other programs.
    QCOMPARE(child<QAction>(&win.w, QStringLiteral("mnuLoad"))->shortcut(), QKeySequence(QKeySequence::Open));
    QCOMPARE(child<QAction>(&win.w, QStringLiteral("mnu_Export"))->shortcut(), QKeySequence(QKeySequence::Save));
    QCOMPARE(child<QAction>(&win.w, QStringLiteral("mnu_HelpM"))->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(win.w.windowTitle(), QStringLiteral("Настройки терминала"));
}

void TestMainWindow::gridShowsEventsAndHiddenColumns()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[2] = 0x02; // journal of event 9
    Window win(env);
    QTableView *g = win.grid();
    QCOMPARE(columnCount(g), 8);
    QCOMPARE(rowCount(g), 4);
    QVERIFY(g->isColumnHidden(0));
    QVERIFY(g->isColumnHidden(6));
    QVERIFY(g->isColumnHidden(7));
    const QStringList headers = {QStringLiteral("F"), QStringLiteral("Событие"), QStringLiteral("Журн."),
                                 QStringLiteral("Авт."), QStringLiteral("Трев."), QStringLiteral("Инфо")};
    for (int c = 0; c < 6; ++c)
        QCOMPARE(headerText(g, c), headers[c]);
    QCOMPARE(cell(g, 0, 1), QStringLiteral("№5 Event five"));
    QCOMPARE(cell(g, 1, 1), QStringLiteral("№9 Event nine"));
    QCOMPARE(cell(g, 1, 2), QStringLiteral("ДА"));
    QCOMPARE(cell(g, 1, 3), QStringLiteral("-"));
    QCOMPARE(cell(g, 1, 6), QStringLiteral("2"));
    QCOMPARE(cell(g, 1, 7), QStringLiteral("9"));
    QCOMPARE(currentRow(g), 0);
    QCOMPARE(win.w.CurrentRow(), 1);
    QVERIFY(!child<QLineEdit>(&win.w, QStringLiteral("txtFileDescription"))->isEnabled());
    QVERIFY(!win.w.notinlist(QStringLiteral("GRP2")));
    QVERIFY(win.w.notinlist(QStringLiteral("grp2")));
}

void TestMainWindow::serviceModeShowsMarkColumn()
{
    EditorEnv env;
    env.state.ServiceMode = true;
    QString error;
    QVERIFY(env.state.table.ParseControlTableText(editorTestTable(), true, error));
    Window win(env);
    QTableView *g = win.grid();
    QVERIFY(!g->isColumnHidden(0));
    QVERIFY(child<QLineEdit>(&win.w, QStringLiteral("txtFileDescription"))->isEnabled());
    QVERIFY(!cellIcon(g, 0, 0).isNull());
    // The hidden line of event 9 is part of its row; the row mark follows the first line.
    const int r = rowOfEvent(g, 9);
    QVERIFY(!cellIcon(g, r, 0).isNull());
}

void TestMainWindow::panelShowsSummaryExample()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[0x1A] = 30;
    env.state.CurrentImage.Block1[0x1B] = 0x05;
    Window win(env);
    QCOMPARE(child<QLineEdit>(&win.w, QStringLiteral("txtInfo"))->text(), QStringLiteral("S№ 5    1A:1E  1B:5   "));
    QCOMPARE(win.txt(0)->text(), QStringLiteral("30"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblTxtParam_0"))->text(), QStringLiteral("Val A"));
    QVERIFY(win.box("chkParam", 0)->isChecked());
    QCOMPARE(child<QPlainTextEdit>(&win.w, QStringLiteral("txtHelp"))->toPlainText(), QStringLiteral("Help of five"));
    win.select(63);
    QCOMPARE(child<QLineEdit>(&win.w, QStringLiteral("txtInfo"))->text(), QStringLiteral("S№ 63    "));
    QVERIFY(win.txt(0)->isHidden());
    QVERIFY(win.box("chkParam", 0)->isHidden());
}

void TestMainWindow::panelOrderBitByteBitByteBit()
{
    EditorEnv env;
    Window win(env);
    win.select(9);
    QCOMPARE(win.w.CheckMap(), (QVector<int>{2, 4, 6}));
    QCOMPARE(win.w.TextMap(), (QVector<int>{3, 5}));
    QApplication::processEvents();
    child<QWidget>(&win.w, QStringLiteral("panelParameters"))->layout()->activate();
    QWidget *order[5] = {win.box("chkParam", 0), win.txt(0), win.box("chkParam", 1), win.txt(1),
                         win.box("chkParam", 2)};
    for (int i = 0; i < 5; ++i)
        QVERIFY(!order[i]->isHidden());
    for (int i = 1; i < 5; ++i)
        QVERIFY2(order[i]->geometry().top() > order[i - 1]->geometry().bottom(), qPrintable(order[i]->objectName()));
    QVERIFY(win.txt(2)->isHidden());
    QVERIFY(win.box("chkParam", 3)->isHidden());
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblCHKParam_1"))->text(), QStringLiteral("B1"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblTxtParam_1"))->text(), QStringLiteral("V1"));
}

void TestMainWindow::panelGrowsBeyondEightSlots()
{
    QString text;
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("1~3~%1~G~Many~~BYTE~~v%2\r\n").arg(30 + i).arg(i);
    for (int i = 0; i < 9; ++i)
        text += QStringLiteral("1~3~%1~G~Many~~BIT~1~b%2\r\n").arg(50 + i).arg(i);
    EditorEnv env(text);
    QVERIFY(env.parsed);
    env.state.CurrentImage.Block1[39] = 77;
    Window win(env);
    QCOMPARE(win.w.TextMap().size(), 10);
    QCOMPARE(win.w.CheckMap().size(), 9);
    QVERIFY(win.txt(9));
    QVERIFY(!win.txt(9)->isHidden());
    QCOMPARE(win.txt(9)->text(), QStringLiteral("77"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblTxtParam_9"))->text(), QStringLiteral("v9"));
    win.box("chkParam", 8)->setChecked(true);
    QCOMPARE(int(win.b1()[58]), 1);
    leave(win.txt(9), win.grid(), QStringLiteral("12"));
    QCOMPARE(int(win.b1()[39]), 12);
}

void TestMainWindow::stringBoxShowsItsOwnEmptyText()
{
    EditorEnv env(QStringLiteral("1~1~10~G~Number~~BYTE~~N\r\n1~2~20~G~Text~~STRING~8~Password\r\n"));
    env.state.CurrentImage.Block1[10] = 42;
    Window win(env);
    win.select(2); // the box showed "42" for event 1
    QCOMPARE(win.txt(0)->text(), QString());
    QCOMPARE(win.txt(0)->toolTip(), QStringLiteral("Текстовые значения не хранятся в настройках терминала"));
    win.select(1);
    QVERIFY(win.txt(0)->toolTip().isEmpty());
}

void TestMainWindow::journalRule()
{
    EditorEnv env;
    Window win(env);
    win.select(9);
    const int r = currentRow(win.grid());
    win.box("chkMask", 2)->click(); // alarm
    QVERIFY(win.box("chkMask", 0)->isChecked());
    QCOMPARE(int(win.b1()[EventMasks::maskByte(0, 9)]), 0x02);
    QCOMPARE(int(win.b1()[EventMasks::maskByte(2, 9)]), 0x02);
    QCOMPARE(cell(win.grid(), r, 2), QStringLiteral("ДА"));
    QCOMPARE(cell(win.grid(), r, 4), QStringLiteral("ДА"));
    QCOMPARE(cell(win.grid(), r, 3), QStringLiteral("-"));
    // The journal cannot be cleared while another flag is on.
    win.box("chkMask", 0)->click();
    QVERIFY(win.box("chkMask", 0)->isChecked());
    QCOMPARE(int(win.b1()[EventMasks::maskByte(0, 9)]), 0x02);
    QCOMPARE(cell(win.grid(), r, 2), QStringLiteral("ДА"));
}

void TestMainWindow::uncheckingAllFlagsClearsBits()
{
    EditorEnv env;
    Window win(env);
    win.select(12);
    const int r = currentRow(win.grid());
    for (int k = 1; k < 4; ++k)
        win.box("chkMask", k)->click();
    for (int k = 0; k < 4; ++k)
        QVERIFY(EventMasks::maskBit(env.state.CurrentImage, k, 12));
    for (int k : {3, 2, 1, 0})
        win.box("chkMask", k)->click();
    for (int k = 0; k < 4; ++k) {
        QVERIFY(!EventMasks::maskBit(env.state.CurrentImage, k, 12));
        QCOMPARE(cell(win.grid(), r, 2 + k), QStringLiteral("-"));
    }
}

void TestMainWindow::alarmRowFiveRule()
{
    EditorEnv env;
    Window win(env);
    win.select(12);
    auto &b2 = env.state.CurrentImage.Block2;
    win.box("chkAlarm", 5)->click();
    QCOMPARE(int(b2[26]), 0x30); // bits 4 and 5 of the alarm byte
    QCOMPARE(int(b2[25]), 0x20); // bit 5 of the Auto/GPRS byte
    QVERIFY(win.box("chkAlarm", 6)->isChecked());
    QVERIFY(!win.box("chkAuto", 6)->isChecked()); // shown only when the event is selected again
    win.box("chkAlarm", 5)->click();
    QCOMPARE(int(b2[26]), 0);
    QCOMPARE(int(b2[25]), 0);
    win.box("chkAlarm", 5)->click();
    win.select(9);
    win.select(12);
    QVERIFY(win.box("chkAuto", 6)->isChecked());
}

void TestMainWindow::event9Bytes()
{
    EditorEnv env;
    Window win(env);
    win.select(9);
    win.box("chkMask", 0)->click();
    QCOMPARE(int(win.b1()[2]), 0x02);
    win.box("chkMask", 3)->click();
    QCOMPARE(int(win.b1()[122]), 0x02);
    win.box("chkAuto", 1)->click();
    win.box("chkAlarm", 2)->click();
    win.box("chkInfo", 8)->click();
    QCOMPARE(int(env.state.CurrentImage.Block2[19]), 0x01);
    QCOMPARE(int(env.state.CurrentImage.Block2[20]), 0x02);
    QCOMPARE(int(env.state.CurrentImage.Block3[19]), 0x80);
    // Nothing else changed.
    int others = 0;
    for (int i = 0; i < SettingsImage::BlockSize; ++i) {
        others += (i != 2 && i != 122) ? win.b1()[i] : 0;
        others += (i != 19 && i != 20) ? env.state.CurrentImage.Block2[i] : 0;
        others += i != 19 ? env.state.CurrentImage.Block3[i] : 0;
    }
    QCOMPARE(others, 0);
}

void TestMainWindow::lastEventMasksFitTheFile()
{
    EditorEnv env;
    Window win(env);
    win.select(63);
    for (int k = 0; k < 4; ++k)
        QVERIFY(win.box("chkMask", k)->isEnabled());
    win.box("chkAuto", 8)->click();
    win.box("chkMask", 3)->click();
    // The last positions a data file holds.
    QCOMPARE(int(env.state.CurrentImage.Block2[127]), 0x80);
    QCOMPARE(int(env.state.CurrentImage.Block1[128]), 0x80);
}

void TestMainWindow::fillingThePanelChangesNothing()
{
    EditorEnv env;
    auto &img = env.state.CurrentImage;
    EventMasks::setMaskBit(img, 2, 9, true); // alarm without journal: filling must not apply the journal rule
    img.Block2[20] = 0x10;                   // alarm row 5 without row 6
    img.Block1[28] = 0x05;
    Window win(env);
    const SettingsImage before = img;
    win.select(9);
    QVERIFY(win.box("chkMask", 2)->isChecked());
    QVERIFY(!win.box("chkMask", 0)->isChecked());
    QVERIFY(win.box("chkAlarm", 5)->isChecked());
    QVERIFY(!win.box("chkAlarm", 6)->isChecked());
    win.select(12);
    win.select(9);
    QVERIFY(img == before);
}

void TestMainWindow::bitMask03ClearedBySave()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[27] = 0x43;
    Window win(env);
    QCheckBox *bit = win.box("chkParam", 0);
    QVERIFY(bit->isChecked());
    {
        // A box changed outside its click handler: "Сохранить" stores what the box shows.
        const QSignalBlocker block(bit);
        bit->setChecked(false);
    }
    QCOMPARE(int(win.b1()[27]), 0x43);
    child<QPushButton>(&win.w, QStringLiteral("cmdSave"))->click();
    QCOMPARE(int(win.b1()[27]), 0x40);
    bit->click();
    QCOMPARE(int(win.b1()[27]), 0x43);
    bit->click();
    QCOMPARE(int(win.b1()[27]), 0x40);
    QVERIFY(env.prompts.shown.isEmpty());
}

void TestMainWindow::saveWithTwoInvalidBoxesGivesOneMessage()
{
    EditorEnv env;
    Window win(env);
    win.select(12);
    {
        const QSignalBlocker b0(win.txt(0)), b1(win.txt(1)), b2(win.txt(2));
        win.txt(0)->setText(QStringLiteral("abc"));
        win.txt(1)->setText(QStringLiteral("55"));
        win.txt(2)->setText(QStringLiteral("256"));
    }
    win.box("chkMask", 1)->setChecked(true);
    child<QPushButton>(&win.w, QStringLiteral("cmdSave"))->click();
    QCOMPARE(env.prompts.shown.size(), 1);
    QCOMPARE(env.prompts.shown[0].text, QStringLiteral("Ошибочное значение в параметре W0\r\n"
                                                       "Ошибочное значение в параметре W2\r\n"));
    QCOMPARE(env.prompts.shown[0].buttons, UserPrompts::Buttons::Ok);
    QCOMPARE(int(win.b1()[32]), 55);
    QCOMPARE(int(win.b1()[31]), 0);
    QCOMPARE(int(win.b1()[33]), 0);
    QVERIFY(EventMasks::maskBit(env.state.CurrentImage, 0, 12));
    QCOMPARE(cell(win.grid(), currentRow(win.grid()), 3), QStringLiteral("ДА"));
    // The texts stay as typed.
    QCOMPARE(win.txt(0)->text(), QStringLiteral("abc"));
}

void TestMainWindow::leavingBoxValidatesAndStores()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[31] = 9;
    Window win(env);
    win.select(12);
    leave(win.txt(0), win.grid(), QString());
    QCOMPARE(win.txt(0)->text(), QStringLiteral("0"));
    QCOMPARE(int(win.b1()[31]), 0);
    leave(win.txt(0), win.grid(), QStringLiteral("-"));
    QCOMPARE(win.txt(0)->text(), QStringLiteral("-0"));
    leave(win.txt(1), win.grid(), QStringLiteral("12.5"));
    QCOMPARE(int(win.b1()[32]), 12);
    QVERIFY(env.prompts.shown.isEmpty());
}

void TestMainWindow::invalidBoxKeepsFocusAndRow()
{
    EditorEnv env;
    Window win(env);
    win.select(9);
    const int row = currentRow(win.grid());
    leave(win.txt(1), win.grid(), QStringLiteral("11")); // V1 allows 1..10
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Ошибочное значение в параметре V1\r\n")});
    QVERIFY(win.txt(1)->hasFocus());
    QCOMPARE(int(win.b1()[30]), 0);
    // A click on another row is not taken while the box holds the invalid text.
    const int other = rowOfEvent(win.grid(), 12);
    const QRect rect = win.grid()->visualRect(win.grid()->model()->index(other, 1));
    QTest::mouseClick(win.grid()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(currentRow(win.grid()), row);
    QCOMPARE(win.w.CurrentEvent(), 9);
    QVERIFY(win.txt(1)->hasFocus());
    QCOMPARE(env.prompts.shown.size(), 2);
    // Corrected, the box lets the focus go and the click selects the row.
    win.txt(1)->setText(QStringLiteral("7"));
    QTest::mouseClick(win.grid()->viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(int(win.b1()[30]), 7);
    QCOMPARE(win.w.CurrentEvent(), 12);
    QCOMPARE(env.prompts.shown.size(), 2);
}

void TestMainWindow::exportRunsFocusCheck()
{
    EditorEnv env;
    Window win(env);
    win.select(12);
    win.txt(0)->setFocus();
    win.txt(0)->setText(QStringLiteral("300"));
    const QString target = env.state.appPath(QStringLiteral("out.bin"));
    env.prompts.paths.enqueue(target);
    win.trigger("mnu_Export");
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Ошибочное значение в параметре W0\r\n")});
    QVERIFY(!QFile::exists(target));
    QVERIFY(env.prompts.dialogTitles.isEmpty());
    win.txt(0)->setText(QStringLiteral("200"));
    win.trigger("mnu_Export");
    QVERIFY(QFile::exists(target));
    QCOMPARE(SettingsFiles::FileLength(target), 260);
    QCOMPARE(int(win.b1()[31]), 200);
}

void TestMainWindow::filterShowsOneGroup()
{
    EditorEnv env;
    Window win(env);
    auto *filter = child<QComboBox>(&win.w, QStringLiteral("cmbFilter"));
    QCOMPARE(filter->count(), 4);
    QCOMPARE(filter->itemText(0), QStringLiteral("Все"));
    QCOMPARE(filter->itemText(1), QStringLiteral("GRP1"));
    QCOMPARE(filter->itemText(2), QStringLiteral("GRP2"));
    QCOMPARE(filter->itemText(3), QStringLiteral("GRP3"));
    win.select(63);
    filter->setCurrentIndex(2);
    QCOMPARE(rowCount(win.grid()), 2);
    QCOMPARE(cell(win.grid(), 0, 7), QStringLiteral("9"));
    QCOMPARE(cell(win.grid(), 1, 7), QStringLiteral("12"));
    QCOMPARE(currentRow(win.grid()), 0);
    QCOMPARE(win.w.CurrentEvent(), 9);
    filter->setCurrentIndex(0);
    QCOMPARE(rowCount(win.grid()), 4);
    QCOMPARE(win.w.CurrentEvent(), 5);
}

void TestMainWindow::deviceTypeChangesOnlyCaptions()
{
    EditorEnv env;
    env.state.CurrentImage.Block2[11] = 0x21;
    Window win(env);
    auto *frame = child<QGroupBox>(&win.w, QStringLiteral("Frame1"));
    QCOMPARE(frame->title(), QStringLiteral("Маска вывода устройства KVR6r"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblMaskName_2"))->text(), QStringLiteral("Высота над уровнем моря"));
    const SettingsImage before = env.state.CurrentImage;
    const bool auto1 = win.box("chkAuto", 1)->isChecked();
    child<QRadioButton>(&win.w, QStringLiteral("optTypeDevice_1"))->click();
    QCOMPARE(frame->title(), QStringLiteral("Маска вывода устройства KVR6CAN"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblMaskName_0"))->text(), QStringLiteral("Мест-е, дата, время, статус"));
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblMaskName_8"))->text(), QStringLiteral("Резерв"));
    // Each box is named by its row and column, and the names follow the device type.
    QCOMPARE(win.box("chkAlarm", 8)->accessibleName(), QStringLiteral("Резерв: Тревога/Инфо"));
    QSet<QString> names;
    for (const char *column : {"chkAuto", "chkAlarm", "chkInfo"})
        for (int r = 0; r < 9; ++r)
            names.insert(win.box(column, r)->accessibleName());
    QCOMPARE(names.size(), 27);
    QVERIFY(env.state.CurrentImage == before);
    QCOMPARE(win.box("chkAuto", 1)->isChecked(), auto1);
    QVERIFY(auto1);
    child<QRadioButton>(&win.w, QStringLiteral("optTypeDevice_0"))->click();
    QCOMPARE(child<QLabel>(&win.w, QStringLiteral("lblMaskName_8"))->text(), QStringLiteral("Параметры сост."));
}

void TestMainWindow::helpBoxTakesOnlyArrows()
{
    EditorEnv env;
    Window win(env);
    auto *help = child<QPlainTextEdit>(&win.w, QStringLiteral("txtHelp"));
    help->setFocus();
    QTest::keyClicks(help, QStringLiteral("xyz"));
    QTest::keyClick(help, Qt::Key_Delete);
    QTest::keyClick(help, Qt::Key_Backspace);
    QCOMPARE(help->toPlainText(), QStringLiteral("Help of five"));
    QVERIFY(frmMain::txtHelp_KeyDown(Qt::Key_Up));
    QVERIFY(frmMain::txtHelp_KeyDown(Qt::Key_Down));
    QVERIFY(!frmMain::txtHelp_KeyDown(Qt::Key_PageDown));
    QVERIFY(!frmMain::txtHelp_KeyDown(Qt::Key_A));
}

void TestMainWindow::saveOfferOnExitOnlyAfterEdits()
{
    EditorEnv env;
    // A data file without the hidden default byte, loaded as at start-up: untouched, nothing to ask.
    const QString data = env.state.appPath(QStringLiteral("plain.bin"));
    {
        QFile f(data);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SettingsFiles::buildFile(SettingsImage(), 2));
    }
    QVERIFY(DataFileFlows(env.state, env.prompts).loadByLength(data));
    Database db;
    StartUp startUp(env.state, env.prompts, db);
    Window win(env);
    win.w.shutDown = [&] { return startUp.ShutDown(); };
    env.state.CurrentImage.Block1[2] = 9; // an edit
    // Esc on the offer (Cancel): the program and the edit stay.
    env.prompts.answers << UserPrompts::Answer::Cancel;
    QVERIFY(!win.w.close());
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Сохранить данные")});
    QCOMPARE(env.prompts.shown[0].title, QStringLiteral("Сохранение данных"));
    QCOMPARE(env.prompts.shown[0].buttons, UserPrompts::Buttons::YesNoCancel);
    QVERIFY(win.w.isVisible());
    QCOMPARE(env.state.CurrentImage.Block1[2], quint8(9));
    // No lets the edit go and leaves.
    win.trigger("mnuExit");
    QCOMPARE(env.prompts.shown.size(), 2);
    QVERIFY(!win.w.isVisible());
    QVERIFY(QFile::exists(env.state.appPath(QStringLiteral("Default.ini"))));
}

void TestMainWindow::leavingStaysWhenTheSaveDoesNotHappen()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[3] = 1; // an edit: leaving offers to save
    Database db;
    StartUp startUp(env.state, env.prompts, db);
    Window win(env);
    win.w.shutDown = [&] { return startUp.ShutDown(); };
    // Yes, then Cancel in the file dialog (closing); Yes, then a file that cannot be written ("Выход").
    env.prompts.answers << UserPrompts::Answer::Yes << UserPrompts::Answer::Yes;
    env.prompts.paths << QString() << env.state.appPath(QStringLiteral("no-such-folder/x.bin"));
    QVERIFY(!win.w.close());
    win.trigger("mnuExit");
    QVERIFY(win.w.isVisible() && !QFile::exists(env.state.appPath(QStringLiteral("Default.ini"))));
}

void TestMainWindow::closeWithInvalidBoxStaysOpen()
{
    EditorEnv env;
    Window win(env);
    win.select(12);
    win.txt(0)->setFocus();
    win.txt(0)->setText(QStringLiteral("999"));
    QVERIFY(!win.w.close());
    QVERIFY(win.w.isVisible());
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Ошибочное значение в параметре W0\r\n")});
    QVERIFY(!win.hookCalls.contains(QStringLiteral("shutdown")));
    // "Выход" needs no focus check.
    win.trigger("mnuExit");
    QVERIFY(!win.w.isVisible());
    QCOMPARE(win.hookCalls, QStringList{QStringLiteral("shutdown")});
    QCOMPARE(env.prompts.shown.size(), 1);
}

void TestMainWindow::clearWithNoKeepsImage()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[2] = 0x02;
    env.state.CurrentImage.Block2[5] = 0x11;
    Window win(env);
    win.select(12);
    const SettingsImage before = env.state.CurrentImage;
    env.prompts.answers.enqueue(UserPrompts::Answer::No);
    win.trigger("mnuClear");
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Все данные будут обнулены, продолить")});
    QCOMPARE(env.prompts.shown[0].title, QStringLiteral("Предупреждение"));
    QCOMPARE(env.prompts.shown[0].icon, UserPrompts::Icon::Warning);
    QVERIFY(env.state.CurrentImage == before);
    QCOMPARE(currentRow(win.grid()), 0);
    QCOMPARE(win.w.CurrentEvent(), 5);
}

void TestMainWindow::clearWithYesZeroesImage()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[2] = 0x02;
    env.state.CurrentImage.Block3[130] = 0x11;
    env.state.CurrentImage.Description = QStringLiteral("old");
    Window win(env);
    QCOMPARE(cell(win.grid(), 1, 2), QStringLiteral("ДА"));
    env.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    win.trigger("mnuClear");
    QVERIFY(env.state.CurrentImage == SettingsImage());
    QCOMPARE(cell(win.grid(), 1, 2), QStringLiteral("-"));
    QCOMPARE(child<QLineEdit>(&win.w, QStringLiteral("txtFileDescription"))->text(), QString());
}

void TestMainWindow::printWritesReport()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[26] = 5;
    Window win(env);
    win.trigger("mnuPrint");
    QFile f(env.state.appPath(QStringLiteral("Report.xml")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = TextFile::decode1251(f.readAll());
    QVERIFY(text.startsWith(QStringLiteral("<?xml version=\"1.0\" encoding=\"WINDOWS-1251\"?> \r\n")));
    QVERIFY(text.contains(QStringLiteral("\r\n     <SDESCR> 5u,   </SDESCR>\r\n")));
    QVERIFY(text.endsWith(QStringLiteral("</tutorial>\r\n\r\n")));
    QCOMPARE(win.w.statusBar()->currentMessage(), QStringLiteral("Отчет записан в файл ") + f.fileName());
}

void TestMainWindow::helpDocumentsOpenedByPath()
{
    EditorEnv env;
    Window win(env);
    const QString help = env.state.appPath(QStringLiteral("help.html"));
    // Missing pages are said with their path; no viewer is asked.
    win.trigger("mnu_HelpM");
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Файл справки не найден: ") + QDir::toNativeSeparators(help)});
    QVERIFY(env.prompts.openedDocuments.isEmpty());
    env.prompts.shown.clear();

    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("about.html")), "<html/>"));
    QVERIFY(writeBytes(help, "<html/>"));
    win.trigger("mnu_about"); // no compiled help beside the program: its HTML pages
    win.trigger("mnu_HelpM");
    QCOMPARE(env.prompts.openedDocuments, QStringList({env.state.appPath(QStringLiteral("about.html")), help}));
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("help.chm")), "ITSF"));
    win.trigger("mnu_HelpM");
    QCOMPARE(env.prompts.openedDocuments.last(), env.state.appPath(QStringLiteral("help.chm")));
    QVERIFY(env.prompts.shown.isEmpty());

    // No program to show it: the operator learns where the file is.
    env.prompts.viewerPresent = false;
    QVERIFY(QFile::remove(env.state.appPath(QStringLiteral("help.chm"))));
    win.trigger("mnu_HelpM");
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Не удалось открыть справку: нет программы для просмотра. "
                                                             "Файл справки: ")
                                              + QDir::toNativeSeparators(help)});
}

void TestMainWindow::loadMenuLoadsAndRebuilds()
{
    EditorEnv env;
    SettingsImage image;
    EventMasks::setMaskBit(image, 3, 9, true);
    image.Block1[31] = 42;
    const QString path = env.state.appPath(QStringLiteral("saved.bin"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(SettingsFiles::buildFile(image, 3));
    }
    env.state.CurrentImage.Block1[100] = 1; // unsaved: the save offer comes before the load
    Window win(env);
    env.prompts.paths.enqueue(path);
    env.prompts.answers.enqueue(UserPrompts::Answer::No);
    win.trigger("mnuLoad");
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Сохранить данные")});
    QCOMPARE(env.state.DataFilePath, path);
    QCOMPARE(int(win.b1()[100]), 0);
    QCOMPARE(cell(win.grid(), rowOfEvent(win.grid(), 9), 5), QStringLiteral("ДА"));
    QVERIFY(win.w.windowTitle().contains(path));
    win.select(12);
    QCOMPARE(win.txt(0)->text(), QStringLiteral("42"));
}

void TestMainWindow::tableChangeRefusalsKeepWindow()
{
    EditorEnv env;
    for (const char *name : {"CONST.STP", "bad.stp"}) {
        QFile f(env.state.appPath(QLatin1String(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("1~1~~G~One~~X\r\n1~x~~G~Bad~~X\r\n");
    }
    Window win(env);
    win.select(9);
    env.prompts.paths.enqueue(env.state.appPath(QStringLiteral("CONST.STP")));
    win.trigger("mnu_ChngTable");
    env.prompts.paths.enqueue(env.state.appPath(QStringLiteral("bad.stp")));
    win.trigger("mnu_ChngTable");
    QCOMPARE(env.prompts.texts(), QStringList({QStringLiteral("Файл не может иметь имя 'Default.stp' & 'Const.stp'"),
                                               QStringLiteral("Не управляющая таблица")}));
    QVERIFY(win.hookCalls.isEmpty());
    QCOMPARE(env.state.table.EntryCount(), 11);
    QCOMPARE(rowCount(win.grid()), 4);
    QCOMPARE(win.w.CurrentEvent(), 9);
    // The panel still addresses the table in use.
    win.box("chkParam", 2)->click();
    QCOMPARE(int(win.b1()[28]), 0x04);
    win.select(12);
    QCOMPARE(win.w.TextMap(), (QVector<int>{7, 8, 9}));
}

void TestMainWindow::tableChangeRebuildsFilterAndGrid()
{
    EditorEnv env;
    {
        QFile f(env.state.appPath(QStringLiteral("other.stp")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(TextFile::encode1251(QStringLiteral("1~20~50~NEWGROUP~Twenty~~BYTE~~X0~0~255~0~~\r\n"
                                                    "1~21~~NEWGROUP~Twenty-one~~X\r\n")));
    }
    Window win(env);
    auto *filter = child<QComboBox>(&win.w, QStringLiteral("cmbFilter"));
    filter->setCurrentIndex(2); // a group of the old table
    env.state.CurrentImage.Block1[50] = 66;
    env.prompts.paths.enqueue(env.state.appPath(QStringLiteral("other.stp")));
    win.trigger("mnu_ChngTable");
    QCOMPARE(win.hookCalls, QStringList{QStringLiteral("load")});
    QCOMPARE(filter->count(), 2);
    QCOMPARE(filter->itemText(1), QStringLiteral("NEWGROUP"));
    QCOMPARE(filter->currentIndex(), 0);
    QCOMPARE(rowCount(win.grid()), 2);
    QCOMPARE(cell(win.grid(), 0, 1), QStringLiteral("№20 Twenty"));
    QCOMPARE(win.w.CurrentEvent(), 20);
    QCOMPARE(win.txt(0)->text(), QStringLiteral("66"));
    QVERIFY(env.prompts.shown.isEmpty());
}

void TestMainWindow::modalHooksAreCalled()
{
    EditorEnv env;
    Window win(env);
    win.trigger("mnuCom");
    win.trigger("mnu_GPSLINK");
    QCOMPARE(win.hookCalls, QStringList({QStringLiteral("comm"), QStringLiteral("link")}));
}

void TestMainWindow::descriptionReachesImageThroughUpdateData()
{
    EditorEnv env;
    env.state.ServiceMode = true;
    env.state.CurrentImage.Description = QStringLiteral("first");
    Window win(env);
    auto *desc = child<QLineEdit>(&win.w, QStringLiteral("txtFileDescription"));
    QCOMPARE(desc->text(), QStringLiteral("first"));
    desc->setText(QStringLiteral("  second  "));
    QCOMPARE(env.state.CurrentImage.Description, QStringLiteral("first"));
    win.w.UpdateData();
    QCOMPARE(env.state.CurrentImage.Description, QStringLiteral("second"));
}

void TestMainWindow::captionFollowsState()
{
    EditorEnv env;
    Window win(env);
    env.state.DataFilePath = QStringLiteral("/d/x.bin");
    env.state.setDataFileCaption();
    QCOMPARE(win.w.windowTitle(), QStringLiteral("Настройки терминала, файл /d/x.bin, управляющая таблица ")
                                      + env.state.ControlTablePath);
}

void TestMainWindow::shrinkingKeepsGridVisible()
{
    EditorEnv env;
    Window win(env);
    win.w.resize(100, 100);
    QApplication::processEvents();
    const QSize minimum = win.w.minimumSizeHint();
    QVERIFY(win.w.width() >= minimum.width());
    // The smallest window fits a 1024x768 screen with its title bar and frame.
    QVERIFY2(minimum.width() <= 1012 && minimum.height() <= 728,
             qPrintable(QStringLiteral("%1x%2").arg(minimum.width()).arg(minimum.height())));
    QTableView *g = win.grid();
    QVERIFY(g->width() >= 300);
    QVERIFY(g->height() >= 120);
    QVERIFY(g->columnWidth(1) > 100);
    QCOMPARE(win.w.CurrentEvent(), 5);
}

void TestMainWindow::menusReachableFromTheKeyboard()
{
    EditorEnv env;
    Window win(env);
    for (const QAction *a : win.w.menuBar()->findChildren<QAction *>()) // a letter to choose each with
        QVERIFY2(a->isSeparator() || a->text().contains(QLatin1Char('&')) || a->text().isEmpty(), qPrintable(a->text()));
    QTest::keyClick(win.grid(), Qt::Key_F10);
    QTRY_VERIFY(child<QMenu>(&win.w, QStringLiteral("mnuFile"))->isVisible());
    QTest::keyClick(child<QMenu>(&win.w, QStringLiteral("mnuFile")), Qt::Key_Escape);
}

void TestMainWindow::tabOrderFollowsThePanel()
{
    EditorEnv env;
    env.state.CurrentImage.Block1[30] = 5; // V1 allows 1..10
    Window win(env);
    win.select(9); // BIT, BYTE, BIT, BYTE, BIT
    child<QComboBox>(&win.w, QStringLiteral("cmbFilter"))->setFocus();
    QStringList order;
    for (int i = 0; i < 10; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(order.join(QLatin1Char(' ')), QStringLiteral("cmbFilter flexmain txtHelp chkParam_0 txtParam_0 chkParam_1 "
                                                          "txtParam_1 chkParam_2 cmdSave chkMask_0"));
}

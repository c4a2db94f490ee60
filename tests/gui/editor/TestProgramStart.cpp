#include "TestProgramStart.h"

#include "EditorTestSupport.h"
#include "TestFiles.h"
#include "core/app/Database.h"
#include "core/editor/EventGrid.h"
#include "gui/app/KvrProgram.h"
#include "gui/app/QtTranslations.h"
#include "gui/editor/frmMain.h"
#include "core/settings/SettingsFiles.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

namespace {
const QString kFallback = QStringLiteral("Не найден файл с управляющей таблицей, попытка загрузить таблицу по умолчанию");

void copyDemoTable(const QString &folder)
{
    QFile::copy(QStringLiteral(KVR_SHIPPED_DATA_DIR "/Data.ini"), folder + QStringLiteral("/Data.ini"));
}

// One run of the program's start in folder.
struct Run
{
    AppState state;
    ScriptedPrompts prompts;
    Database db;
    KvrProgram program;
    bool started = false;

    Run(const QString &folder, const QStringList &args = {})
        : state(folder), program(state, prompts, db)
    {
        started = program.start(args);
    }
};
} // namespace

void TestProgramStart::missingConstIniFallsBackOnce()
{
    QTemporaryDir dir;
    copyDemoTable(dir.path());
    {
        Run run(dir.path());
        QVERIFY(run.started);
        QVERIFY(run.program.window());
        QCOMPARE(run.prompts.texts(), QStringList{kFallback});
        QCOMPARE(run.prompts.shown[0].title, QString());
        QCOMPARE(run.prompts.shown[0].icon, UserPrompts::Icon::None);
        QCOMPARE(readBytes(dir.filePath(QStringLiteral("Const.ini"))), QByteArray("Data.ini\r\n"));
    }
    Run second(dir.path());
    QVERIFY(second.started);
    QVERIFY(second.prompts.shown.isEmpty());
    QCOMPARE(second.state.ControlTablePath, second.state.appPath(QStringLiteral("Data.ini")));
}

void TestProgramStart::constIniNamingMissingFileFallsBack()
{
    QTemporaryDir dir;
    copyDemoTable(dir.path());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("Const.ini")), "gone.stp\r\n"));
    Run run(dir.path());
    QVERIFY(run.started);
    QCOMPARE(run.prompts.texts(), QStringList{kFallback});
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("Const.ini"))), QByteArray("Data.ini\r\n"));
}

void TestProgramStart::missingTableEndsWithoutWindow()
{
    QTemporaryDir dir;
    Run run(dir.path());
    QVERIFY(!run.started);
    QVERIFY(!run.program.window());
    QCOMPARE(run.prompts.texts(), QStringList({kFallback, QStringLiteral(" Не найден файл с таблицей данных ")}));
    QCOMPARE(run.prompts.shown[1].title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(run.prompts.shown[1].icon, UserPrompts::Icon::Critical);
}

void TestProgramStart::tableThatDoesNotParseEndsWithItsError()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("Const.ini")), "bad.stp\r\n"));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("bad.stp")), "1~1~~G~One~~X\r\n1~2~~G~Two~~NOTYPE\r\n"));
    Run run(dir.path());
    QVERIFY(!run.started);
    QVERIFY(!run.program.window());
    QCOMPARE(run.prompts.texts(),
             QStringList{QStringLiteral("Ошибочный тип параметра в строке 1,тип параметра не определен\r\n")
                         + dir.filePath(QStringLiteral("bad.stp"))});
    QCOMPARE(run.prompts.shown[0].title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(run.prompts.shown[0].icon, UserPrompts::Icon::Critical);
}

void TestProgramStart::databaseErrorStartsWithoutTheBook()
{
    // The book cannot be opened: said with its path, and the editor starts without it.
    QTemporaryDir dir;
    copyDemoTable(dir.path());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("Data.db")));
    Run run(dir.path());
    QVERIFY(run.started);
    QVERIFY(run.program.window());
    // Then the first start's own word about the table.
    QCOMPARE(run.prompts.shown.size(), 3);
    QVERIFY(run.prompts.shown[0].text.startsWith(QStringLiteral("Ошибка открытия базы ")));
    QVERIFY(run.prompts.shown[0].text.size() > QStringLiteral("Ошибка открытия базы ").size());
    const QString named = QStringLiteral("Ошибка открытия базы\r\n") + dir.filePath(QStringLiteral("Data.db"))
                          + QStringLiteral("\r\nАдресная книга недоступна; программа работает без нее");
    QCOMPARE(run.prompts.shown[1].text, named);

    // A file that is not a database is the same.
    QTemporaryDir dir2;
    copyDemoTable(dir2.path());
    QVERIFY(writeBytes(dir2.filePath(QStringLiteral("Data.db")), QByteArray(2048, 'x')));
    Run run2(dir2.path());
    QVERIFY(run2.started);
    QCOMPARE(run2.prompts.shown.size(), 3);
    QVERIFY(run2.prompts.shown[1].text.startsWith(QStringLiteral("Ошибка открытия базы\r\n")));
}

void TestProgramStart::startShowsDemoTableAndLastFile()
{
    QTemporaryDir dir;
    copyDemoTable(dir.path());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("Const.ini")), "Data.ini\r\n"));
    SettingsImage image;
    image.Block1[1] = 0x01; // journal of event 0
    const QString data = dir.filePath(QStringLiteral("last.bin"));
    QVERIFY(writeBytes(data, SettingsFiles::buildFile(image, 3)));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("Default.ini")),
                       (data + QStringLiteral("\r\n 3 \r\n 19200 \r\no\r\n 7 \r\n 2 \r\n\r\n\r\n\r\n\r\n 0 \r\n 0 \r\n")).toUtf8()));
    Run run(dir.path());
    QVERIFY(run.started);
    QVERIFY(run.prompts.shown.isEmpty());
    frmMain *w = run.program.window();
    w->show();
    QCOMPARE(w->windowTitle(), QStringLiteral("Настройки терминала, файл ") + data
                                   + QStringLiteral(", управляющая таблица ") + run.state.appPath(QStringLiteral("Data.ini")));
    auto *grid = child<QTableView>(w, QStringLiteral("flexmain"));
    QCOMPARE(rowCount(grid), int(EventGrid::buildRows(run.state.table, run.state.CurrentImage, false, QString()).size()));
    QVERIFY(rowCount(grid) > 10);
    QCOMPARE(cell(grid, 0, 1), QStringLiteral("№0 Включение терминала"));
    QCOMPARE(cell(grid, 0, 2), QStringLiteral("ДА"));
    QCOMPARE(run.state.serial.baudRate, 19200);
    // Leaving through "Выход" untouched asks nothing (the demo table's hidden default is no edit),
    // and writes Default.ini.
    child<QAction>(w, QStringLiteral("mnuExit"))->trigger();
    QVERIFY(run.prompts.shown.isEmpty());
    QVERIFY(!w->isVisible());
    QVERIFY(readBytes(dir.filePath(QStringLiteral("Default.ini"))).startsWith(data.toUtf8() + "\r\n 3 \r\n 19200 \r\n"));
}

void TestProgramStart::serviceSwitchReachesWindow()
{
    QTemporaryDir dir;
    copyDemoTable(dir.path());
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("Const.ini")), "Data.ini\r\n"));
    Run run(dir.path(), {QStringLiteral("/s")});
    QVERIFY(run.started);
    QVERIFY(run.state.ServiceMode);
    frmMain *w = run.program.window();
    auto *grid = child<QTableView>(w, QStringLiteral("flexmain"));
    QVERIFY(!grid->isColumnHidden(0));
    QVERIFY(child<QLineEdit>(w, QStringLiteral("txtFileDescription"))->isEnabled());
}

void TestProgramStart::qtTextsFollowTheLocaleRussianByDefault()
{
    auto cancelText = [] { // Qt's own text on a message box button
        QMessageBox box;
        return box.addButton(QMessageBox::Cancel)->text();
    };
    // The bare "C" locale has no translation of its own: Russian. A locale Qt translates gets its own.
    for (const auto &[locale, text] : {std::pair{QLocale::c(), QStringLiteral("Отмена")},
                                       std::pair{QLocale(QLocale::German), QStringLiteral("Abbrechen")}}) {
        std::unique_ptr<QTranslator> translator(QtTranslations::install(*qApp, locale));
        QCOMPARE(cancelText(), text);
        // The file dialogs' kind of a folder, missing from Qt's Russian catalogue.
        if (locale == QLocale::c())
            QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("Папка"));
    }
    QCOMPARE(QCoreApplication::translate("QAbstractFileIconProvider", "Folder"), QStringLiteral("Folder"));
    QCOMPARE(cancelText(), QStringLiteral("Cancel")); // a deleted translator is removed again
}

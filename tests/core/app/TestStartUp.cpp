#include "TestStartUp.h"

#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "core/app/StartUp.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kTable = QStringLiteral("1~5~10~gps~Поворот~~BYTE~~Угол~0~255~10~~град\r\n"
                                      "0~5~11~gps~hidden~~BIT~2~b~~~1\r\n");

// An application folder with a table and scripted prompts; run() starts the program logic once.
struct App
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<AppState> state;
    std::unique_ptr<Database> db;

    App() { writeBytes(path("Data.ini"), TextFile::encode1251(kTable)); }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    bool run(const QStringList &args = {})
    {
        state = std::make_unique<AppState>(dir.path());
        db = std::make_unique<Database>();
        prompts.shown.clear();
        return StartUp(*state, prompts, *db).run(args);
    }
    StartUp startUp() { return StartUp(*state, prompts, *db); }
};

const QString kFallback =
    QStringLiteral("Не найден файл с управляющей таблицей, попытка загрузить таблицу по умолчанию");
} // namespace

void TestStartUp::serviceModeSwitch()
{
    QVERIFY(StartUp::serviceModeFromArguments({QStringLiteral("/S")}));
    QVERIFY(StartUp::serviceModeFromArguments({QStringLiteral("/s")}));
    QVERIFY(!StartUp::serviceModeFromArguments({}));
    QVERIFY(!StartUp::serviceModeFromArguments({QStringLiteral("/S"), QStringLiteral("x")}));
    QVERIFY(!StartUp::serviceModeFromArguments({QStringLiteral("-s")}));

    App app;
    QVERIFY(app.run({QStringLiteral("/s")}));
    QVERIFY(app.state->ServiceMode);
    // in service mode hidden lines become entries
    QCOMPARE(app.state->table.EntryCount(), 2);
}

void TestStartUp::missingConstIniFallsBackOnce()
{
    App app;
    QVERIFY(app.run());
    QCOMPARE(app.prompts.texts(), QStringList({kFallback}));
    QCOMPARE(app.prompts.shown[0].title, QString());
    QCOMPARE(readBytes(app.path("Const.ini")), QByteArray("Data.ini\r\n"));
    QCOMPARE(app.state->ControlTablePath, app.state->appPath(QStringLiteral("Data.ini")));
    QCOMPARE(app.state->table.EntryCount(), 1);
    QCOMPARE(app.state->table.HiddenDefaults.Block1[11], quint8(2));
    QCOMPARE(app.state->ConstIniPath, app.state->appPath(QStringLiteral("Const.ini")));

    QVERIFY(app.run());
    QVERIFY(app.prompts.shown.isEmpty());
}

void TestStartUp::constIniNamesMissingTable()
{
    App app;
    QVERIFY(writeBytes(app.path("Const.ini"), "Other.stp\r\n"));
    QVERIFY(app.run());
    QCOMPARE(app.prompts.texts(), QStringList({kFallback}));
    QCOMPARE(readBytes(app.path("Const.ini")), QByteArray("Data.ini\r\n"));

    // a named table that exists is used, spaces around the name trimmed
    QVERIFY(writeBytes(app.path("Other.stp"), TextFile::encode1251(QStringLiteral("1~7~12~g~c~~WORD\r\n"))));
    QVERIFY(writeBytes(app.path("Const.ini"), "  Other.stp  \r\n"));
    QVERIFY(app.run());
    QVERIFY(app.prompts.shown.isEmpty());
    QCOMPARE(app.state->table.TableEntries[0].EventNo, qint16(7));
}

void TestStartUp::noTableAtAll()
{
    App app;
    QFile::remove(app.path("Data.ini"));
    QVERIFY(!app.run());
    QCOMPARE(app.prompts.texts(), QStringList({kFallback, QStringLiteral(" Не найден файл с таблицей данных ")}));
    QCOMPARE(app.prompts.shown[1].title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(app.prompts.shown[1].icon, UserPrompts::Icon::Critical);
}

void TestStartUp::tableThatDoesNotParse()
{
    App app;
    QVERIFY(writeBytes(app.path("Data.ini"), "1~5~10~g~c~~FLOAT\r\n"));
    QVERIFY(writeBytes(app.path("Const.ini"), "Data.ini\r\n"));
    QVERIFY(!app.run());
    // The parser's text, then the table's full path on a line of its own.
    QCOMPARE(app.prompts.texts(),
             QStringList({QStringLiteral("Ошибочный тип параметра в строке 0,тип параметра не определен\r\n")
                          + app.path("Data.ini")}));
    QCOMPARE(app.prompts.shown[0].title, QStringLiteral("Критическая ошибка"));
    QCOMPARE(app.prompts.shown[0].icon, UserPrompts::Icon::Critical);
    // A table without entries is no table either.
    QVERIFY(writeBytes(app.path("empty.stp"), QByteArray()) && writeBytes(app.path("Const.ini"), "empty.stp\r\n"));
    QVERIFY(!app.run());
    QCOMPARE(app.prompts.texts(), QStringList({QStringLiteral("В управляющей таблице нет ни одной записи\r\n")
                                               + app.path("empty.stp")}));
}

void TestStartUp::databaseErrors_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("folder in place of the file") << 0;
    QTest::newRow("not a database") << 1;
    QTest::newRow("objects without the fields") << 2;
}

void TestStartUp::databaseErrors()
{
    QFETCH(int, kind);
    App app;
    const QString dbPath = app.path("Data.db");
    if (kind == 0) {
        QVERIFY(QDir(app.dir.path()).mkdir(QStringLiteral("Data.db")));
    } else if (kind == 1) {
        QVERIFY(writeBytes(dbPath, QByteArray(4096, 'z')));
    } else {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prep"));
            db.setDatabaseName(dbPath);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("CREATE TABLE objects (Key INTEGER, Title TEXT)")));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("prep"));
    }
    // The book is named with its path; the editor does not need it, so start-up goes on.
    QVERIFY(app.run());
    QVERIFY(app.prompts.shown.size() >= 2);
    QVERIFY(app.prompts.shown[0].text.startsWith(QStringLiteral("Ошибка открытия базы ")));
    QVERIFY(app.prompts.shown[0].text.size() > QStringLiteral("Ошибка открытия базы ").size());
    QVERIFY(app.prompts.shown[1].text.startsWith(QStringLiteral("Ошибка открытия базы\r\n") + dbPath));
    QVERIFY(!app.db->isOpen());
    QCOMPARE(app.state->database, nullptr);
    QVERIFY(QFile::exists(app.path("Const.ini")));
}

void TestStartUp::databaseCreatedAndRecordsInIdOrder()
{
    App app;
    QVERIFY(app.run());
    QVERIFY(app.db->isOpen());
    {
        QSqlQuery q(QSqlDatabase::database(app.db->connectionName()));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO objects (Id, Name, PhoneNumber) VALUES (5, 'b', '+7900')")));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO objects (Id, Name, PhoneNumber) VALUES (2, 'a', '+7901')")));
    }
    const auto records = app.db->records();
    QCOMPARE(records.size(), 2);
    QCOMPARE(records[0].Id, 2);
    QCOMPARE(records[1].Name, QStringLiteral("b"));
    app.startUp().ShutDown();
    QVERIFY(!app.db->isOpen());
    // the file is reused on the next start
    QVERIFY(app.run());
    QCOMPARE(app.db->records().size(), 2);
}

void TestStartUp::defaultIniMissing()
{
    App app;
    QVERIFY(app.run());
    QCOMPARE(app.state->serial.port, QStringLiteral("1"));
    QCOMPARE(app.state->serial.baudRate, 9600);
    QCOMPARE(app.state->serial.parity, QLatin1Char('n'));
    QCOMPARE(app.state->serial.dataBits, 8);
    QCOMPARE(app.state->serial.stopBits, 1);
    QVERIFY(app.state->DataFilePath.isEmpty());
    QVERIFY(app.state->caption().isEmpty());
    QVERIFY(app.state->CurrentImage == SettingsImage());
}

void TestStartUp::defaultIniRoundTrip()
{
    App app;
    QVERIFY(app.run());
    AppState &s = *app.state;
    s.DataFilePath = app.path("dir,with comma.bin");
    s.serial = {QStringLiteral("/dev/ttyUSB0"), 19200, QLatin1Char('o'), 7, 2, QString()};
    s.firmwarePaths[0] = QStringLiteral("C:\\fw\\boot.BIN");
    s.firmwarePaths[2] = QStringLiteral("третий.BIN");
    s.terminalNumber = QStringLiteral("+79001234567");
    s.lastPageAddress = 123456;
    s.lastBank = -3;
    QVERIFY(app.startUp().WriteDefaultIni());
    const QByteArray written = readBytes(app.path("Default.ini"));
    QVERIFY(written.startsWith("\"" + app.path("dir,with comma.bin").toUtf8() + "\"\r\n/dev/ttyUSB0\r\n 19200 \r\no\r\n 7 \r\n 2 \r\n"));
    QVERIFY(written.endsWith("\r\n+79001234567\r\n 123456 \r\n-3 \r\n"));

    s.serial.port = QStringLiteral("3");
    QVERIFY(app.startUp().WriteDefaultIni());
    QVERIFY(readBytes(app.path("Default.ini")).contains("\r\n 3 \r\n 19200 \r\n"));

    QVERIFY(app.run());
    QVERIFY(app.prompts.shown.isEmpty());
    const AppState &r = *app.state;
    QCOMPARE(r.serial.port, QStringLiteral("3"));
    QCOMPARE(r.serial.baudRate, 19200);
    QCOMPARE(r.serial.parity, QLatin1Char('o'));
    QCOMPARE(r.serial.dataBits, 7);
    QCOMPARE(r.serial.stopBits, 2);
    QCOMPARE(r.firmwarePaths[0], QStringLiteral("C:\\fw\\boot.BIN"));
    QCOMPARE(r.firmwarePaths[1], QString());
    QCOMPARE(r.firmwarePaths[2], QStringLiteral("третий.BIN"));
    QCOMPARE(r.terminalNumber, QStringLiteral("+79001234567"));
    QCOMPARE(r.lastPageAddress, 123456);
    QCOMPARE(r.lastBank, qint16(-3));
    QCOMPARE(r.serial.smsGateway, QString());
    // the data file named there does not exist: "new.bin"
    QCOMPARE(r.DataFilePath, r.appPath(QStringLiteral("new.bin")));

    // A gateway chosen for the profile SMS is one more line, read back; choosing the modem again
    // leaves the file as it always was.
    app.state->serial.smsGateway = QStringLiteral("/etc/gammu smsdrc");
    QVERIFY(app.startUp().WriteDefaultIni());
    QVERIFY(readBytes(app.path("Default.ini")).endsWith("\r\n-3 \r\n/etc/gammu smsdrc\r\n"));
    QVERIFY(app.run());
    QVERIFY(app.prompts.shown.isEmpty());
    QCOMPARE(app.state->serial.smsGateway, QStringLiteral("/etc/gammu smsdrc"));
    app.state->serial.smsGateway.clear();
    QVERIFY(app.startUp().WriteDefaultIni());
    QVERIFY(readBytes(app.path("Default.ini")).endsWith("\r\n-3 \r\n"));
}

void TestStartUp::defaultIniPartial()
{
    App app;
    QVERIFY(writeBytes(app.path("Default.ini"), "\r\n 4 \r\n 2400 \r\n"));
    QVERIFY(app.run());
    QCOMPARE(app.prompts.texts(),
             QStringList({kFallback, QStringLiteral("Ошибки чтения файла умолчаний, установите вручную")}));
    QCOMPARE(app.state->serial.port, QStringLiteral("4"));
    QCOMPARE(app.state->serial.baudRate, 2400);
    QCOMPARE(app.state->serial.parity, QLatin1Char('n'));
    QCOMPARE(app.state->DataFilePath, app.state->appPath(QStringLiteral("new.bin")));

    // A field that cannot be read keeps its default alone; the fields after it are read, and
    // writing the file back keeps them.
    QVERIFY(writeBytes(app.path("Default.ini"),
                       "\r\n 4 \r\n fast \r\no\r\n 7 \r\n 2 \r\na.BIN\r\nb.BIN\r\nc.BIN\r\n+79001234567\r\n x \r\n 2 \r\n"));
    QVERIFY(app.run());
    QCOMPARE(app.prompts.texts(), QStringList({QStringLiteral("Ошибки чтения файла умолчаний, установите вручную")}));
    const AppState &s = *app.state;
    QCOMPARE(s.serial.baudRate, 9600);
    QCOMPARE(s.serial.parity, QLatin1Char('o'));
    QCOMPARE(s.serial.stopBits, 2);
    QCOMPARE(s.firmwarePaths[2], QStringLiteral("c.BIN"));
    QCOMPARE(s.terminalNumber, QStringLiteral("+79001234567"));
    QCOMPARE(s.lastPageAddress, 0);
    QCOMPARE(s.lastBank, qint16(2));
    QVERIFY(app.startUp().WriteDefaultIni());
    QVERIFY(readBytes(app.path("Default.ini")).endsWith("\r\n 4 \r\n 9600 \r\no\r\n 7 \r\n 2 \r\na.BIN\r\nb.BIN\r\nc.BIN\r\n"
                                                        "+79001234567\r\n 0 \r\n 2 \r\n"));
}

void TestStartUp::defaultIniTextsReadBackWhole()
{
    App app;
    QVERIFY(app.run());
    const QStringList texts = {QStringLiteral("\"q\" a.BIN"), QStringLiteral("a,\"b\",c"), QStringLiteral("  s  "),
                               QStringLiteral("\"")};
    std::copy(texts.begin(), texts.begin() + 3, app.state->firmwarePaths);
    app.state->terminalNumber = texts[3];
    QVERIFY(app.startUp().WriteDefaultIni() && app.run());
    QCOMPARE(QStringList(app.state->firmwarePaths, app.state->firmwarePaths + 3) << app.state->terminalNumber, texts);
}

void TestStartUp::defaultIniLoadsDataFileByLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<quint8>("block1pos1");
    QTest::addColumn<quint8>("block3pos1");
    QTest::newRow("260: two-block") << 260 << quint8(0xA1) << quint8(0);
    QTest::newRow("390: three-block") << 390 << quint8(0xA1) << quint8(0xA1);
    QTest::newRow("395: record") << 395 << quint8(0xA1) << quint8(0xA1);
}

void TestStartUp::defaultIniLoadsDataFileByLength()
{
    QFETCH(int, length);
    QFETCH(quint8, block1pos1);
    QFETCH(quint8, block3pos1);
    App app;
    QByteArray bytes(length, char(0xA1));
    if (length == 395) {
        bytes[393] = 0;
        bytes[394] = 0;
    }
    QVERIFY(writeBytes(app.path("last.bin"), bytes));
    QVERIFY(writeBytes(app.path("Default.ini"),
                      app.path("last.bin").toUtf8() + "\r\n 1 \r\n 9600 \r\nn\r\n 8 \r\n 1 \r\n\r\n\r\n\r\n\r\n 0 \r\n 0 \r\n"));
    QVERIFY(app.run());
    QCOMPARE(app.prompts.texts(), QStringList({kFallback}));
    QCOMPARE(app.state->CurrentImage.Block1[1], block1pos1);
    QCOMPARE(app.state->CurrentImage.Block3[1], block3pos1);
    QCOMPARE(app.state->DataFilePath, app.path("last.bin"));
    QCOMPARE(app.state->caption(), QStringLiteral("Настройки терминала, файл ") + app.path("last.bin")
                                       + QStringLiteral(", управляющая таблица ") + app.path("Data.ini"));
}

void TestStartUp::defaultIniNamesMissingDataFile()
{
    App app;
    QVERIFY(writeBytes(app.path("Default.ini"),
                      app.path("gone.bin").toUtf8() + "\r\n 1 \r\n 9600 \r\nn\r\n 8 \r\n 1 \r\n\r\n\r\n\r\n\r\n 0 \r\n 0 \r\n"));
    QVERIFY(app.run());
    QCOMPARE(app.state->DataFilePath, app.state->appPath(QStringLiteral("new.bin")));
    QCOMPARE(app.state->caption(), QStringLiteral("Настройки терминала, файл ") + app.state->appPath("new.bin")
                                       + QStringLiteral(", управляющая таблица ") + app.path("Data.ini"));
}

void TestStartUp::shutDownAsksNothingForHiddenDefaults()
{
    App app;
    QVERIFY(app.run());
    app.prompts.shown.clear();
    // The loaded image lacks the hidden default bit: no edit of the operator's, nothing to ask.
    QVERIFY(app.startUp().ShutDown());
    QVERIFY(app.prompts.shown.isEmpty());
    QVERIFY(QFile::exists(app.path("Default.ini")));
    QVERIFY(!app.db->isOpen());
}

#include "TestControlTable.h"

#include "core/settings/ControlTable.h"
#include "SettingsTestSupport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <array>

namespace {
const QString kByteLine = QStringLiteral("1~5~10~gps~Caption~~BYTE~~Label~0~255~10~~km");

bool parse(ControlTable &t, const QStringList &lines, QString &err, bool service = false)
{
    return t.ParseControlTableText(tableText(lines), service, err);
}
} // namespace

void TestControlTable::nextField()
{
    QString line = QStringLiteral("a~~b");
    QCOMPARE(ControlTable::NextField(line), QStringLiteral("a"));
    QCOMPARE(line, QStringLiteral("~b"));
    QCOMPARE(ControlTable::NextField(line), QString());
    QCOMPARE(ControlTable::NextField(line), QStringLiteral("b"));
    QCOMPARE(line, QString());
    QCOMPARE(ControlTable::NextField(line), QString());
}

void TestControlTable::visibleByteLine()
{
    ControlTable t;
    QString err;
    QVERIFY(parse(t, {kByteLine}, err));
    QCOMPARE(err, QString());
    QCOMPARE(t.EntryCount(), 1);
    const TableEntry &e = t.TableEntries[0];
    QVERIFY(e.Visible);
    QCOMPARE(e.EventNo, qint16(5));
    QCOMPARE(e.Offset, qint16(10));
    QCOMPARE(e.GroupName, QStringLiteral("GPS"));
    QCOMPARE(e.Caption, QStringLiteral("Caption"));
    QCOMPARE(e.TypeName, QStringLiteral("BYTE"));
    QCOMPARE(e.Length, qint16(0));
    QCOMPARE(e.ParamCaption, QStringLiteral("Label"));
    QCOMPARE(e.MinValue, 0.0f);
    QCOMPARE(e.MaxValue, 255.0f);
    QCOMPARE(e.DefaultValue, 10.0f);
    QCOMPARE(e.Units, QStringLiteral("km"));
    QCOMPARE(e.Index, 0);
    // visible lines write no hidden defaults
    QCOMPARE(t.HiddenDefaults.Block1[10], quint8(0));
}

void TestControlTable::hiddenLineAndServiceMode()
{
    const QString hidden = QStringLiteral("0") + kByteLine.mid(1);
    ControlTable t;
    QString err;
    QVERIFY(parse(t, {hidden}, err));
    QCOMPARE(t.EntryCount(), 0);
    QCOMPARE(t.HiddenDefaults.Block1[10], quint8(10));

    ControlTable s;
    QVERIFY(parse(s, {hidden, kByteLine}, err, true));
    QCOMPARE(s.EntryCount(), 2);
    QVERIFY(!s.TableEntries[0].Visible);
    QVERIFY(s.TableEntries[1].Visible);
    QCOMPARE(s.TableEntries[1].Index, 1);
    QCOMPARE(s.HiddenDefaults.Block1[10], quint8(0));
}

void TestControlTable::hiddenDefaults_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("expected"); // bytes from offset on

    QTest::newRow("word 300") << QStringList{"0~1~20~g~c~~WORD~~l~~~300"} << 20 << QByteArray("\x01\x2C", 2);
    QTest::newRow("int -2") << QStringList{"0~1~20~g~c~~INT~~l~~~-2"} << 20 << QByteArray("\xFF\xFE", 2);
    QTest::newRow("int -32768 not written") << QStringList{"0~1~20~g~c~~INT~~l~~~-32768"} << 20
                                            << QByteArray("\x00\x00", 2);
    QTest::newRow("sint -128 not written") << QStringList{"0~1~20~g~c~~SINT~~l~~~-128"} << 20
                                           << QByteArray("\x00", 1);
    QTest::newRow("sint -2") << QStringList{"0~1~20~g~c~~SINT~~l~~~-2"} << 20 << QByteArray("\xFE", 1);
    QTest::newRow("bit set") << QStringList{"0~1~30~g~c~~BIT~4~l~~~1"} << 30 << QByteArray("\x04", 1);
    QTest::newRow("bit default 0") << QStringList{"0~1~30~g~c~~BIT~4~l~~~0"} << 30 << QByteArray("\x00", 1);
    QTest::newRow("bits accumulate") << QStringList{"0~1~30~g~c~~BIT~4~l~~~1", "0~1~30~g~c~~BIT~1~l~~~1"} << 30
                                     << QByteArray("\x05", 1);
    QTest::newRow("byte half to even") << QStringList{"0~1~40~g~c~~BYTE~~l~~~2.5"} << 40 << QByteArray("\x02", 1);
    QTest::newRow("byte 3.5") << QStringList{"0~1~40~g~c~~BYTE~~l~~~3.5"} << 40 << QByteArray("\x04", 1);
    QTest::newRow("byte over 255") << QStringList{"0~1~40~g~c~~BYTE~~l~~~256"} << 40 << QByteArray("\x00", 1);
    QTest::newRow("mbyte writes nothing") << QStringList{"0~1~40~g~c~~MBYTE~3~l~~~2"} << 40 << QByteArray("\x00", 1);
    QTest::newRow("word at last pair") << QStringList{"0~1~127~g~c~~WORD~~l~~~258"} << 127
                                       << QByteArray("\x01\x02", 2);
}

void TestControlTable::hiddenDefaults()
{
    QFETCH(QStringList, lines);
    QFETCH(int, offset);
    QFETCH(QByteArray, expected);
    ControlTable t;
    QString err;
    QVERIFY2(parse(t, lines, err), qPrintable(err));
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(t.HiddenDefaults.Block1[offset + i], quint8(expected[i]));
    // nothing else is touched
    int nonZero = 0;
    for (quint8 b : t.HiddenDefaults.Block1)
        nonZero += b != 0;
    int expectedNonZero = 0;
    for (char c : expected)
        expectedNonZero += c != 0;
    QCOMPARE(nonZero, expectedNonZero);
}

void TestControlTable::errorTexts_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("error");
    const QString p = QStringLiteral("Ошибочный параметр в строке ");
    QTest::newRow("event") << QStringList{"1~x~10~g~c~~BYTE"} << p + "0,ожидалось число(номер события)";
    QTest::newRow("blank line") << QStringList{kByteLine, ""} << p + "1,ожидалось число";
    QTest::newRow("offset") << QStringList{"1~1~x~g~c~~BYTE"} << p + "0,ожидалось число (смещение)";
    QTest::newRow("type") << QStringList{"1~1~10~g~c~~BYTEX"}
                          << QStringLiteral("Ошибочный тип параметра в строке 0,тип параметра не определен");
    QTest::newRow("bit length") << QStringList{"1~1~10~g~c~~BIT~~l"} << p + "0,ожидалось число(длина параметра)";
    QTest::newRow("string length") << QStringList{"1~1~10~g~c~~STRING~x~l"}
                                   << p + "0,ожидалось число(длина параметра)";
    QTest::newRow("hidden event") << QStringList{"0~x~10~g~c~~BYTE"} << p + "0,ожидалось число";
    QTest::newRow("hidden offset") << QStringList{"0~1~x~g~c~~BYTE"} << p + "0,ожидалось число";
    QTest::newRow("hidden length") << QStringList{"0~1~1~g~c~~BIT"} << p + "0,ожидалось число";
    QTest::newRow("hidden type") << QStringList{"0~1~1~g~c~~FOO"}
                                 << QStringLiteral("Ошибочный тип параметра в строке 0,тип параметра не определен");
    // Values that a data file (positions 1..128 of each block) could not hold are refused.
    const QString event = QStringLiteral("Ошибочный номер события в строке 0");
    const QString offset = QStringLiteral("Ошибочное смещение в строке 0");
    const QString mask = QStringLiteral("Ошибочная маска в строке 0");
    QTest::newRow("event 64") << QStringList{"1~64~~g~c~~X"} << event;
    QTest::newRow("event -1") << QStringList{"1~-1~10~g~c~~BYTE"} << event;
    QTest::newRow("offset 0") << QStringList{"1~1~0~g~c~~BYTE"} << offset;
    QTest::newRow("empty offset") << QStringList{"1~1~~g~c~~BIT~1"} << offset;
    QTest::newRow("offset 129") << QStringList{"1~1~129~g~c~~SINT"} << offset;
    QTest::newRow("word at 128") << QStringList{"1~1~128~g~c~~WORD"} << offset;
    QTest::newRow("int at 128") << QStringList{"1~1~128~g~c~~INT"} << offset;
    QTest::newRow("x at 131") << QStringList{"1~1~131~g~c~~X"} << offset;
    QTest::newRow("huge offset") << QStringList{"1~1~99999~g~c~~BYTE"} << offset;
    QTest::newRow("hidden offset 130") << QStringList{"0~1~130~g~c~~BYTE~~l~~~5"} << offset;
    QTest::newRow("mbyte mask 0") << QStringList{"1~1~10~g~c~~MBYTE~0"} << mask;
    QTest::newRow("hidden mbyte mask 0") << QStringList{"0~1~10~g~c~~MBYTE"} << mask;
    QTest::newRow("bit mask 256") << QStringList{"1~1~10~g~c~~BIT~256"} << mask;
    // A stray quote would swallow the rest of the table into one entry: refused with its file line.
    QTest::newRow("stray quote") << QStringList{kByteLine, "\"1~2~10~g~c~~BYTE", kByteLine, kByteLine}
                                 << QStringLiteral("Незакрытая кавычка в строке 2");
}

void TestControlTable::errorTexts()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, error);
    ControlTable t;
    QString err;
    QVERIFY(!parse(t, lines, err));
    QCOMPARE(err, error + QStringLiteral("\r\n"));
}

void TestControlTable::errorKeepsEarlierEntriesAndAppends()
{
    ControlTable t;
    QString err = QStringLiteral("prefix ");
    const QStringList lines = {kByteLine, "0~5~20~g~c~~BYTE~~l~~~7", "1~6~11~g~c~~X", "1~7~12~g~c~~BIT~1~l",
                               "1~8~13~g~c~~BYTEX"};
    QVERIFY(!parse(t, lines, err));
    // N counts stored (visible) entries only
    QCOMPARE(err, QStringLiteral("prefix Ошибочный тип параметра в строке 3,тип параметра не определен\r\n"));
    QCOMPARE(t.EntryCount(), 3);
    QCOMPARE(t.HiddenDefaults.Block1[20], quint8(7));

    // a successful parse leaves the text alone and replaces the previous table
    QString ok = QStringLiteral("keep");
    QVERIFY(parse(t, {kByteLine}, ok));
    QCOMPARE(ok, QStringLiteral("keep"));
    QCOMPARE(t.EntryCount(), 1);
    QCOMPARE(t.HiddenDefaults.Block1[20], quint8(0));
}

void TestControlTable::defaultsForMissingFields()
{
    ControlTable t;
    QString err;
    QVERIFY(parse(t, {"1~3~7~g~c~h~byte"}, err));
    const TableEntry &e = t.TableEntries[0];
    QCOMPARE(e.TypeName, QStringLiteral("BYTE"));
    QCOMPARE(e.MinValue, -100000.0f);
    QCOMPARE(e.MaxValue, 100000.0f);
    QCOMPARE(e.DefaultValue, 0.0f);
    QCOMPARE(e.HelpText, QStringLiteral("h"));
    // empty offset is 0, a non-numeric length of anything but BIT and STRING is 0
    QVERIFY(parse(t, {"1~3~~g~c~~X~abc"}, err));
    QCOMPARE(t.TableEntries[0].Offset, qint16(0));
    QCOMPARE(t.TableEntries[0].Length, qint16(0));
    // length is rounded half to even
    QVERIFY(parse(t, {"1~3~1~g~c~~BIT~2.5"}, err));
    QCOMPARE(t.TableEntries[0].Length, qint16(2));
}

void TestControlTable::commaSplitsLine()
{
    ControlTable t;
    QString err;
    QVERIFY(!parse(t, {"1~1~10~g~Caption, more~~BYTE"}, err));
    // the part after the comma is read as the next line and fails on its event number
    QCOMPARE(err, QStringLiteral("Ошибочный тип параметра в строке 0,тип параметра не определен\r\n"));
    QVERIFY(!parse(t, {"1~1~10~g~c~~BYTE~~Label, x"}, err = QString()));
    QCOMPARE(t.EntryCount(), 1);
    QCOMPARE(err, QStringLiteral("Ошибочный параметр в строке 1,ожидалось число\r\n"));
}

void TestControlTable::fixedWidths()
{
    ControlTable t;
    QString err;
    const QString longText(300, QLatin1Char('a'));
    QVERIFY(parse(t, {QStringLiteral("1~1~10~%1~%1~%1~BYTE~~%1~~~~%1~%1").arg(longText)}, err));
    const TableEntry &e = t.TableEntries[0];
    QCOMPARE(e.GroupName.size(), 60);
    QCOMPARE(e.Caption.size(), 128);
    QCOMPARE(e.HelpText.size(), 300);
    QCOMPARE(e.ParamCaption.size(), 128);
    QCOMPARE(e.SpareText.size(), 20);
    QCOMPARE(e.Units.size(), 20);
}

void TestControlTable::typeNamesParsedToTypes()
{
    ControlTable t;
    QString err;
    QVERIFY(parse(t, {"1~1~10~g~c~~ byte ~~a", "1~1~11~g~c~~Word~~a", "1~1~13~g~c~~int~~a", "1~1~15~g~c~~sint~~a",
                      "1~1~16~g~c~~mbyte~12~a", "1~1~17~g~c~~bit~4~a", "1~1~18~g~c~~String~8~a", "1~1~~g~c~~x"},
                  err));
    const ParamType want[8] = {ParamType::Byte,  ParamType::Word, ParamType::Int,    ParamType::SInt,
                               ParamType::MByte, ParamType::Bit,  ParamType::String, ParamType::X};
    const char *names[8] = {"BYTE", "WORD", "INT", "SINT", "MBYTE", "BIT", "STRING", "X"};
    QCOMPARE(t.EntryCount(), 8);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(t.TableEntries[i].Type, want[i]);
        QCOMPARE(t.TableEntries[i].TypeName, QLatin1String(names[i]));
    }
    QCOMPARE(ParamTypes::fromName(QStringLiteral("BYTES")), ParamType::Unknown);
    QCOMPARE(ParamTypes::fromName(QString()), ParamType::Unknown);
    int numeric = 0;
    for (ParamType type : want)
        numeric += ParamTypes::isNumeric(type) ? 1 : 0;
    QCOMPARE(numeric, 5);
    QVERIFY(!ParamTypes::isNumeric(ParamType::Unknown));
}

void TestControlTable::eventRuns()
{
    ControlTable t;
    QString err;
    QVERIFY(parse(t, {"1~1~10~g~a~~BYTE", "1~1~11~g~a~~BYTE", "1~2~12~g~b~~X", "1~1~13~g~c~~BYTE"}, err));
    QCOMPARE(t.eventEnd(0), 2);
    QCOMPARE(t.eventEnd(2), 3);
    QCOMPARE(t.eventEnd(3), 4);
}

void TestControlTable::readsCodePage1251File()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.stp"));
    QVERIFY(writeBytes(path, TextFile::encode1251(tableText({"1~1~10~движение~Поворот~~BYTE~~Угол~~~~~град"}))));
    ControlTable t;
    QString err;
    QVERIFY(t.ParseControlTable(path, false, err));
    QCOMPARE(t.TableEntries[0].GroupName, QStringLiteral("ДВИЖЕНИЕ"));
    QCOMPARE(t.TableEntries[0].Units, QStringLiteral("град"));
}

void TestControlTable::shippedDemoTableParses()
{
    ControlTable t;
    QString err;
    QVERIFY2(t.ParseControlTable(QStringLiteral(KVR_SHIPPED_DATA_DIR "/Data.ini"), false, err), qPrintable(err));
    QVERIFY(t.EntryCount() > 40);
    QStringList types;
    int events = 0;
    for (int i = 0; i < t.EntryCount(); i = t.eventEnd(i))
        ++events;
    for (const TableEntry &e : t.TableEntries)
        if (!types.contains(e.TypeName))
            types << e.TypeName;
    QVERIFY(events >= 40);
    QCOMPARE(types.size(), 8);
    // hidden lines contribute defaults
    int hidden = 0;
    for (quint8 b : t.HiddenDefaults.Block1)
        hidden += b != 0;
    QVERIFY(hidden > 0);

    // Every bit of the parameter bytes 25..120 belongs to one line at most, hidden lines included;
    // units read as units after the number ("5x10мс" read like hexadecimal).
    QVERIFY(t.ParseControlTable(QStringLiteral(KVR_SHIPPED_DATA_DIR "/Data.ini"), true, err));
    std::array<quint8, SettingsImage::BlockSize + 8> claimed{};
    for (const TableEntry &e : t.TableEntries) {
        const bool bits = e.Type == ParamType::Bit || e.Type == ParamType::MByte;
        const int size = e.Type == ParamType::X ? 0 : e.Type == ParamType::String ? e.Length
                         : (e.Type == ParamType::Word || e.Type == ParamType::Int) ? 2 : 1;
        for (int i = e.Offset; i < e.Offset + size; ++i) {
            QVERIFY2(i >= 25 && i <= 120 && !(claimed[i] & (bits ? e.Length : 0xFF)), qPrintable(e.ParamCaption));
            claimed[i] |= bits ? e.Length : 0xFF;
        }
        QVERIFY2(!QRegularExpression(QStringLiteral("^\\s*(x|\\d)")).match(e.Units).hasMatch(), qPrintable(e.Units));
    }
}

void TestControlTable::unreadableOrEmptyFileRefused()
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.stp"));
    QVERIFY(writeBytes(empty, QByteArray()));
    ControlTable t;
    QString err;
    QVERIFY(!t.ParseControlTable(dir.filePath(QStringLiteral("gone.stp")), false, err));
    QVERIFY(!t.ParseControlTable(empty, false, err));
    QCOMPARE(err, QStringLiteral("Не удалось прочитать файл управляющей таблицы\r\n"
                                 "В управляющей таблице нет ни одной записи\r\n"));
}

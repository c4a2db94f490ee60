#include "TestEditorCore.h"

#include "TestFiles.h"

#include "EditorFixture.h"
#include "core/editor/CommSetupLists.h"
#include "core/editor/EventGrid.h"
#include "core/editor/PanelPlan.h"
#include "core/editor/TableChange.h"
#include "core/settings/TextFile.h"

#include <QFile>

namespace {
ControlTable parse(const QString &text)
{
    ControlTable t;
    QString error;
    if (!t.ParseControlTableText(text, false, error))
        qWarning("table does not parse: %s", qPrintable(error));
    return t;
}

QString readConstIni(const AppState &state)
{
    QFile f(state.appPath(QStringLiteral("Const.ini")));
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll());
}

} // namespace

void TestEditorCore::filterItemsAreDistinctGroupsInOrder()
{
    const ControlTable t = parse(QStringLiteral("1~1~~b~E1~~X\r\n1~2~~a~E2~~X\r\n1~3~~B~E3~~X\r\n1~4~~~E4~~X\r\n"
                                                "1~5~~ c ~E5~~X\r\n"));
    QCOMPARE(EventGrid::filterItems(t), QStringList({QStringLiteral("Все"), QStringLiteral("B"),
                                                     QStringLiteral("A"), QStringLiteral("C")}));
    QVERIFY(EventGrid::notinlist({QStringLiteral("A")}, QStringLiteral("a")));
    QVERIFY(!EventGrid::notinlist({QStringLiteral("a"), QStringLiteral("A")}, QStringLiteral("A")));
}

void TestEditorCore::filterItemsOnlyAllWhenNoGroups()
{
    const ControlTable t = parse(QStringLiteral("1~1~~~E1~~X\r\n1~2~~  ~E2~~X\r\n"));
    QCOMPARE(EventGrid::filterItems(t), QStringList{QStringLiteral("Все")});
}

void TestEditorCore::rowsMergeOnlyConsecutiveLines()
{
    const ControlTable t = parse(QStringLiteral("1~3~10~G~Three~~BYTE~~a\r\n1~3~11~G~Three b~~BYTE~~b\r\n"
                                                "1~4~~G~Four~~X\r\n1~3~12~G~Three again~~BYTE~~c\r\n"));
    const auto rows = EventGrid::buildRows(t, SettingsImage(), false, QString());
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].text, QStringLiteral("№3 Three"));
    QCOMPARE(rows[0].entry, 0);
    QCOMPARE(rows[1].entry, 2);
    QCOMPARE(rows[2].text, QStringLiteral("№3 Three again"));
    QCOMPARE(rows[2].entry, 3);
}

void TestEditorCore::rowsFollowFilterAndMasks()
{
    const ControlTable t = parse(editorTestTable());
    SettingsImage image;
    image.Block1[2] = 0x02;   // journal of event 9
    image.Block1[122] = 0x02; // info of event 9
    auto rows = EventGrid::buildRows(t, image, true, QStringLiteral("GRP2"));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].eventNo, 9);
    QCOMPARE(rows[0].masks, (std::array<bool, 4>{true, false, false, true}));
    QCOMPARE(rows[1].eventNo, 12);
    rows = EventGrid::buildRows(t, image, false, QStringLiteral("GRP2"));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[3].eventNo, 63);
    QCOMPARE(rows[3].masks, (std::array<bool, 4>{false, false, false, false}));
    QCOMPARE(EventGrid::flagText(true), QStringLiteral("ДА"));
    QCOMPARE(EventGrid::flagText(false), QStringLiteral("-"));
}

void TestEditorCore::rowsOfLongTablesKeepTheirEntries()
{
    QString text; // alternating events: every line is a row
    for (int i = 0; i < 40000; ++i)
        text += QStringLiteral("1~%1~30~G~E~~BYTE~~v\r\n").arg(i % 2 + 1);
    const QVector<EventGrid::Row> rows = EventGrid::buildRows(parse(text), SettingsImage(), false, QString());
    QCOMPARE(rows.size(), 40000);
    QCOMPARE(rows.last().entry, 39999);
}

void TestEditorCore::planSummaryMatchesExample()
{
    const ControlTable t = parse(editorTestTable());
    SettingsImage image;
    image.Block1[0x1A] = 30;
    image.Block1[0x1B] = 0x05;
    const PanelPlan plan = PanelPlan::build(t, 0, 5, image);
    QCOMPARE(plan.summary, QStringLiteral("S№ 5    1A:1E  1B:5   "));
    QCOMPARE(plan.items.size(), 2);
    QCOMPARE(plan.items[0].value, QStringLiteral("30"));
    QVERIFY(plan.items[1].checked);
}

void TestEditorCore::planOrderBitByteBitByteBit()
{
    const ControlTable t = parse(editorTestTable());
    SettingsImage image;
    image.Block1[28] = 0x04;
    const PanelPlan plan = PanelPlan::build(t, 2, 9, image);
    using K = PanelPlan::Item::Kind;
    QCOMPARE(plan.items.size(), 5);
    const K kinds[5] = {K::Check, K::Text, K::Check, K::Text, K::Check};
    const int slotNo[5] = {0, 0, 1, 1, 2};
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(plan.items[i].kind, kinds[i]);
        QCOMPARE(plan.items[i].slot, slotNo[i]);
    }
    QCOMPARE(plan.checkMap, (QVector<int>{2, 4, 6}));
    QCOMPARE(plan.textMap, (QVector<int>{3, 5}));
    QVERIFY(!plan.items[0].checked);
    QVERIFY(plan.items[4].checked);
}

void TestEditorCore::planXEventShowsOnlyNumber()
{
    const ControlTable t = parse(editorTestTable());
    const PanelPlan plan = PanelPlan::build(t, t.EntryCount() - 1, 63, SettingsImage());
    QVERIFY(plan.items.isEmpty());
    QCOMPARE(plan.summary, QStringLiteral("S№ 63    "));
}

void TestEditorCore::planWordIntSint()
{
    const ControlTable t = parse(QStringLiteral("1~7~16~G~Seven~~WORD~~w\r\n1~7~18~G~~~INT~~i\r\n"
                                                "1~7~20~G~~~SINT~~s\r\n1~7~21~G~~~STRING~4~txt\r\n"));
    SettingsImage image;
    image.Block1[16] = 0x01;
    image.Block1[17] = 0x2C;
    image.Block1[18] = 0xFF;
    image.Block1[19] = 0xFE;
    image.Block1[20] = 0xFE;
    const PanelPlan plan = PanelPlan::build(t, 0, 7, image);
    QCOMPARE(plan.items.size(), 4);
    QCOMPARE(plan.items[0].value, QStringLiteral("300"));
    QCOMPARE(plan.items[1].value, QStringLiteral("-2"));
    QCOMPARE(plan.items[2].value, QStringLiteral("-2"));
    QVERIFY(!plan.items[3].hasValue);
    QCOMPARE(plan.summary, QStringLiteral("S№ 7    10:12C  12:FFFE  14:FFFE  15:"));
}

void TestEditorCore::planMoreThanEightSlots()
{
    QString text;
    for (int i = 0; i < 10; ++i)
        text += QStringLiteral("1~3~%1~G~Many~~BYTE~~v%2\r\n1~3~%3~G~Many~~BIT~1~b%2\r\n").arg(30 + i).arg(i).arg(50 + i);
    const ControlTable t = parse(text);
    const PanelPlan plan = PanelPlan::build(t, 0, 3, SettingsImage());
    QCOMPARE(plan.textMap.size(), 10);
    QCOMPARE(plan.checkMap.size(), 10);
    QCOMPARE(plan.items.size(), 20);
}

void TestEditorCore::commListsAndFindIndex()
{
    // The machine's devices first, then the numbered ports once each.
    const QStringList ports = CommSetupLists::portItems({QStringLiteral("/dev/ttyUSB0"), QStringLiteral("5")});
    QCOMPARE(ports.size(), 41);
    QCOMPARE(ports.first(), QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(ports[1], QStringLiteral("5"));
    QCOMPARE(ports.last(), QStringLiteral("40"));
    QCOMPARE(CommSetupLists::FindIndex(CommSetupLists::speedItems(), QStringLiteral("19200")), 3);
    QCOMPARE(CommSetupLists::FindIndex(CommSetupLists::speedItems(), QStringLiteral("115200")), 6);
    QCOMPARE(CommSetupLists::FindIndex(CommSetupLists::parityItems(), QStringLiteral("o")), 2);
    // Items are compared in lower case with the text as given.
    QCOMPARE(CommSetupLists::FindIndex(CommSetupLists::parityItems(), QStringLiteral("N")), -1);
}

void TestEditorCore::commStoreKeepsDevicePath()
{
    SerialSettings s;
    CommSetupLists::store(s, QStringLiteral(" /dev/ttyUSB0 "), QStringLiteral("4800"), QStringLiteral("7"),
                          QStringLiteral("e"), QStringLiteral("2"));
    QCOMPARE(s.port, QStringLiteral("/dev/ttyUSB0"));
    QCOMPARE(s.baudRate, 4800);
    QCOMPARE(s.dataBits, 7);
    QCOMPARE(s.parity, QLatin1Char('e'));
    QCOMPARE(s.stopBits, 2);
    CommSetupLists::store(s, QStringLiteral("12"), QString(), QStringLiteral("x"), QString(), QStringLiteral("1"));
    QCOMPARE(s.port, QStringLiteral("12"));
    QCOMPARE(s.baudRate, 4800);
    QCOMPARE(s.dataBits, 7);
    QCOMPARE(s.parity, QLatin1Char('e'));
    QCOMPARE(s.stopBits, 1);
}

void TestEditorCore::tableChangeRefusesReservedNames()
{
    EditorEnv env;
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("const.stp")), TextFile::encode1251(editorTestTable())));
    const int before = env.state.table.EntryCount();
    env.prompts.paths.enqueue(env.state.appPath(QStringLiteral("const.stp")));
    QCOMPARE(TableChange(env.state, env.prompts).run(), TableChange::Result::ReservedName);
    // The tables first; "Все файлы" reaches the shipped Data.ini without typing its name.
    QCOMPARE(env.prompts.dialogFilters.size(), 1);
    QCOMPARE(env.prompts.dialogFilters[0].size(), 2);
    QCOMPARE(env.prompts.dialogFilters[0][0].pattern, QStringLiteral("*.stp"));
    QCOMPARE(env.prompts.dialogFilters[0][1].description + env.prompts.dialogFilters[0][1].pattern,
             QStringLiteral("Все файлы*.*"));
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Файл не может иметь имя 'Default.stp' & 'Const.stp'")});
    QCOMPARE(env.prompts.shown[0].title, QString());
    QCOMPARE(TableChange(env.state, env.prompts).apply(QStringLiteral("/x/DeFault.Stp")),
             TableChange::Result::ReservedName);
    QCOMPARE(env.state.table.EntryCount(), before);
    QVERIFY(!QFile::exists(env.state.appPath(QStringLiteral("Const.ini"))));
    QCOMPARE(TableChange(env.state, env.prompts).run(), TableChange::Result::Cancelled);
}

void TestEditorCore::tableChangeIgnoresFileOutsideFolder()
{
    EditorEnv env;
    QTemporaryDir other;
    QVERIFY(writeBytes(other.filePath(QStringLiteral("other.stp")), TextFile::encode1251(editorTestTable())));
    const QString before = env.state.ControlTablePath;
    QCOMPARE(TableChange(env.state, env.prompts).apply(other.filePath(QStringLiteral("other.stp"))),
             TableChange::Result::NotInFolder);
    QVERIFY(env.prompts.shown.isEmpty());
    QCOMPARE(env.state.ControlTablePath, before);
    QVERIFY(!QFile::exists(env.state.appPath(QStringLiteral("Const.ini"))));
}

void TestEditorCore::tableChangeKeepsTableWhenNotParsing()
{
    EditorEnv env;
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("test.stp")), TextFile::encode1251(editorTestTable())));
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("bad.stp")), "1~1~~G~One~~X\r\n1~x~~G~Bad~~X\r\n"));
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("Const.ini")), "test.stp\r\n"));
    const int before = env.state.table.EntryCount();
    const QString captionBefore = env.state.table.TableEntries[0].Caption;
    QCOMPARE(TableChange(env.state, env.prompts).apply(env.state.appPath(QStringLiteral("bad.stp"))),
             TableChange::Result::NotTable);
    QCOMPARE(env.prompts.texts(), QStringList{QStringLiteral("Не управляющая таблица")});
    QCOMPARE(env.state.table.EntryCount(), before);
    QCOMPARE(env.state.table.TableEntries[0].Caption, captionBefore);
    QCOMPARE(env.state.ControlTablePath, env.state.appPath(QStringLiteral("test.stp")));
    QCOMPARE(readConstIni(env.state), QStringLiteral("test.stp\r\n"));
}

void TestEditorCore::tableChangeTakesGoodTable()
{
    EditorEnv env;
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("new.stp")), "1~1~~NEW~One~~X\r\n"));
    QCOMPARE(TableChange(env.state, env.prompts).apply(env.state.appPath(QStringLiteral("new.stp"))),
             TableChange::Result::Accepted);
    QVERIFY(env.prompts.shown.isEmpty());
    QCOMPARE(env.state.table.EntryCount(), 1);
    QCOMPARE(env.state.ControlTablePath, env.state.appPath(QStringLiteral("new.stp")));
    QCOMPARE(readConstIni(env.state), QStringLiteral("new.stp\r\n"));
}

void TestEditorCore::tableChangeRefusalsKeepConstIni()
{
    EditorEnv env;
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("Const.ini")), "test.stp\r\n"));
    const QString foreign = env.state.appPath(QStringLiteral("таблица-表.stp"));
    QVERIFY(writeBytes(env.state.appPath(QStringLiteral("empty.stp")), QByteArray()));
    QVERIFY(writeBytes(foreign, TextFile::encode1251(editorTestTable())));
    QVERIFY(TableChange(env.state, env.prompts).apply(env.state.appPath(QStringLiteral("empty.stp"))) != TableChange::Result::Accepted);
    QVERIFY(TableChange(env.state, env.prompts).apply(foreign) != TableChange::Result::Accepted);
    QCOMPARE(env.prompts.texts(), QStringList({QStringLiteral("Не управляющая таблица"),
                                               QStringLiteral("Имя файла содержит знаки, которых нет в кодовой странице "
                                                              "1251, и не может быть записано в Const.ini:\r\n") + foreign}));
    QCOMPARE(readConstIni(env.state), QStringLiteral("test.stp\r\n"));
    QCOMPARE(env.state.table.EntryCount(), 11);
}

void TestEditorCore::tableChangeNamesReadBack()
{
    EditorEnv env;
    const QString name = QStringLiteral("\"q\",1.stp"); // a leading double quote and a comma
    QVERIFY(writeBytes(env.state.appPath(name), TextFile::encode1251(editorTestTable())));
    QCOMPARE(TableChange(env.state, env.prompts).apply(env.state.appPath(name)), TableChange::Result::Accepted);
    QString readBack;
    QVERIFY(TextReader(readConstIni(env.state)).readValue(readBack));
    QCOMPARE(readBack, name);
}

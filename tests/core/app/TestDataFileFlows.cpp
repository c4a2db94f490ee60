#include "TestDataFileFlows.h"

#include "ScriptedPrompts.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "core/app/DataFileFlows.h"
#include "core/settings/TextFile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {
SettingsImage patterned()
{
    SettingsImage img;
    for (int i = 0; i < SettingsImage::BlockSize; ++i) {
        img.Block1[i] = quint8(i * 3 + 1);
        img.Block2[i] = quint8(255 - i);
        img.Block3[i] = quint8(i ^ 0x5A);
    }
    return img;
}

struct Fixture
{
    QTemporaryDir dir;
    AppState state{dir.path()};
    ScriptedPrompts prompts;
    DataFileFlows files{state, prompts};
    QString path(const QString &name) const { return dir.filePath(name); }
};
} // namespace

void TestDataFileFlows::threeBlockRoundTrip()
{
    Fixture f;
    f.state.CurrentImage = patterned();
    f.prompts.paths.enqueue(f.path(QStringLiteral("a.bin")));
    f.files.SaveDataFile();
    const QByteArray bytes = readBytes(f.path(QStringLiteral("a.bin")));
    QCOMPARE(bytes.size(), 390);
    QCOMPARE(bytes, SettingsImage::fileBlock(f.state.CurrentImage.Block1)
                        + SettingsImage::fileBlock(f.state.CurrentImage.Block2)
                        + SettingsImage::fileBlock(f.state.CurrentImage.Block3));
    QCOMPARE(f.state.DataFilePath, f.path(QStringLiteral("a.bin")));
    QCOMPARE(f.state.caption(), QStringLiteral("Настройки терминала, файл ") + f.path(QStringLiteral("a.bin"))
                                    + QStringLiteral(", управляющая таблица "));
    QVERIFY(!f.state.CurrentImage.differsFrom(f.state.SavedImage));

    const SettingsImage saved = f.state.CurrentImage;
    f.state.CurrentImage = SettingsImage();
    QVERIFY(f.files.loadByLength(f.path(QStringLiteral("a.bin"))));
    for (int k = 1; k <= 3; ++k) {
        const auto &got = f.state.CurrentImage.block(k);
        const auto &want = saved.block(k);
        QCOMPARE(got[0], quint8(0));
        for (int i = 1; i <= 128; ++i)
            QCOMPARE(got[i], want[i]);
        const QByteArray fb = SettingsImage::fileBlock(want);
        QCOMPARE(got[129], quint8(fb[128]));
        QCOMPARE(got[130], quint8(fb[129]));
    }
}

void TestDataFileFlows::exportWritesTwoBlocksWithHiddenDefaults()
{
    Fixture f;
    f.state.table.HiddenDefaults.Block1[40] = 0x81;
    f.state.CurrentImage.Block1[40] = 0x02;
    f.state.CurrentImage.Block3[5] = 0x77; // not part of the two-block form
    f.prompts.paths.enqueue(f.path(QStringLiteral("e.bin")));
    f.files.ExportDataFile();
    const QByteArray bytes = readBytes(f.path(QStringLiteral("e.bin")));
    QCOMPARE(bytes.size(), 260);
    QCOMPARE(quint8(bytes[39]), quint8(0x83));
    QCOMPARE(f.state.CurrentImage.Block1[40], quint8(0x83));
    QCOMPARE(bytes.mid(130), SettingsImage::fileBlock(f.state.CurrentImage.Block2));
    // sum bytes of block 1
    QCOMPARE(quint8(bytes[128]), quint8(0));
    QCOMPARE(quint8(bytes[129]), quint8(0x83));
}

void TestDataFileFlows::twoBlockShortFile()
{
    Fixture f;
    QByteArray bytes(200, '\0');
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i + 1);
    QVERIFY(writeBytes(f.path(QStringLiteral("s.bin")), bytes));
    f.state.CurrentImage = patterned();
    QVERIFY(f.files.loadByLength(f.path(QStringLiteral("s.bin"))));
    const SettingsImage &img = f.state.CurrentImage;
    QCOMPARE(img.Block1[0], quint8(0));
    QCOMPARE(img.Block1[1], quint8(1));
    QCOMPARE(img.Block1[130], quint8(130));
    QCOMPARE(img.Block2[1], quint8(131));
    QCOMPARE(img.Block2[70], quint8(200));
    QCOMPARE(img.Block2[71], quint8(0));
    for (quint8 b : img.Block3)
        QCOMPARE(b, quint8(0));
}

void TestDataFileFlows::recordForm()
{
    Fixture f;
    const SettingsImage src = patterned();
    QByteArray bytes;
    for (int k = 1; k <= 3; ++k)
        bytes.append(reinterpret_cast<const char *>(src.block(k).data()), SettingsImage::BlockSize);
    const QByteArray desc = TextFile::encode1251(QStringLiteral("  Автобус 12  "));
    bytes.append(char(desc.size() & 0xFF)).append(char(desc.size() >> 8)).append(desc);
    QVERIFY(writeBytes(f.path(QStringLiteral("r.bin")), bytes));
    QVERIFY(f.files.loadByLength(f.path(QStringLiteral("r.bin"))));
    QVERIFY(f.state.CurrentImage.Block1 == src.Block1);
    QVERIFY(f.state.CurrentImage.Block2 == src.Block2);
    QVERIFY(f.state.CurrentImage.Block3 == src.Block3);
    QCOMPARE(f.state.CurrentImage.Description, QStringLiteral("Автобус 12"));

    // a large record file (length compared at full width) with trailing bytes
    bytes.append(QByteArray(40000 - bytes.size(), 'x'));
    QVERIFY(writeBytes(f.path(QStringLiteral("big.bin")), bytes));
    QVERIFY(f.files.loadByLength(f.path(QStringLiteral("big.bin"))));
    QVERIFY(f.state.CurrentImage.Block2 == src.Block2);
}

void TestDataFileFlows::recordFormRefusesTruncatedFiles()
{
    Fixture f;
    QByteArray bytes(393, '\x01');
    bytes.append('\x10').append('\x00').append("abc"); // description says 16, file holds 3
    QVERIFY(writeBytes(f.path(QStringLiteral("t.bin")), bytes));
    f.state.CurrentImage = patterned();
    QVERIFY(!f.files.LoadImageFile(f.path(QStringLiteral("t.bin")), true));
    QVERIFY(f.prompts.shown.isEmpty()); // the record loader fails silently
    for (quint8 b : f.state.CurrentImage.Block1)
        QCOMPARE(b, quint8(0));

    QVERIFY(writeBytes(f.path(QStringLiteral("u.bin")), QByteArray(394, '\x01')));
    QVERIFY(!f.files.loadByLength(f.path(QStringLiteral("u.bin"))));
}

void TestDataFileFlows::unreadableFileMessages()
{
    Fixture f;
    QVERIFY(!f.files.LoadDataFile260(f.path(QStringLiteral("missing.bin")), true));
    QVERIFY(!f.files.LoadDataFile390(f.path(QStringLiteral("missing.bin")), true));
    QCOMPARE(f.prompts.texts(), QStringList({"Ошибка экспорта из файла", "Ошибка экспорта из файла"}));
    QVERIFY(!f.files.LoadImageFile(f.path(QStringLiteral("missing.bin")), true));
    QCOMPARE(f.prompts.shown.size(), 2);
}

void TestDataFileFlows::saveDialogExtensionRules()
{
    Fixture f;
    QDir(f.dir.path()).mkdir(QStringLiteral("cfg.d"));
    // no dot at all: the dialog appends ".bin"
    f.prompts.paths.enqueue(f.path(QStringLiteral("plain")));
    f.files.ExportDataFile();
    QVERIFY(QFileInfo::exists(f.path(QStringLiteral("plain.bin"))));
    // dot only in the folder: save appends ".BIN", export appends nothing
    f.prompts.paths.enqueue(f.path(QStringLiteral("cfg.d/three")));
    f.files.SaveDataFile();
    QCOMPARE(readBytes(f.path(QStringLiteral("cfg.d/three.BIN"))).size(), 390);
    f.prompts.paths.enqueue(f.path(QStringLiteral("cfg.d/two")));
    f.files.ExportDataFile();
    QCOMPARE(readBytes(f.path(QStringLiteral("cfg.d/two"))).size(), 260);
    QCOMPARE(f.prompts.dialogTitles.first(), QStringLiteral("Укажите файл для сохранения данных"));
    // cancel changes nothing
    const QString before = f.state.DataFilePath;
    f.files.SaveDataFile();
    QCOMPARE(f.state.DataFilePath, before);
}

void TestDataFileFlows::fullDiskKeepsEarlierFileAndEdits()
{
    SmallDisk disk;
    if (!disk.mounted())
        QSKIP("a tmpfs cannot be mounted here (not root)");
    Fixture f;
    const QString p = disk.filePath(QStringLiteral("a.bin"));
    const QByteArray earlier(390, '\x11');
    QVERIFY(writeBytes(p, earlier));
    f.state.DataFilePath = p;
    f.state.CurrentImage = patterned();
    QVERIFY(disk.fill());

    // Leaving offers to save; the save fails; the program must stay with the edits.
    f.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    f.prompts.paths.enqueue(disk.filePath(QStringLiteral("b.bin")));
    QCOMPARE(f.files.AskSaveChanges(), DataFileFlows::SaveOffer::Abandoned);
    QCOMPARE(f.prompts.texts().last(),
             QStringLiteral("Ошибка записи в файл ") + disk.filePath(QStringLiteral("b.bin"))
                 + QStringLiteral(": нет места на диске"));
    QCOMPARE(f.state.DataFilePath, p); // the next start still opens the good file
    QVERIFY(f.state.CurrentImage.differsFrom(f.state.SavedImage));

    f.prompts.paths.enqueue(p);
    f.prompts.answers.enqueue(UserPrompts::Answer::Yes); // replace it
    QVERIFY(!f.files.SaveDataFile());
    QCOMPARE(readBytes(p), earlier);
    QCOMPARE(disk.entries(), QStringList{QStringLiteral("a.bin")});
    QVERIFY(f.state.CurrentImage.differsFrom(f.state.SavedImage));
}

void TestDataFileFlows::existingFileQuestion()
{
    Fixture f;
    const QString p = f.path(QStringLiteral("x.bin"));
    QVERIFY(writeBytes(p, "old"));
    f.state.CurrentImage.Block1[1] = 5;
    f.prompts.paths.enqueue(p);
    f.prompts.answers.enqueue(UserPrompts::Answer::No);
    f.files.SaveDataFile();
    QCOMPARE(readBytes(p), QByteArray("old"));
    QCOMPARE(f.prompts.shown.last().text, QStringLiteral("Файл существует, заменить"));
    QCOMPARE(f.prompts.shown.last().buttons, UserPrompts::Buttons::YesNo);
    QCOMPARE(f.prompts.shown.last().icon, UserPrompts::Icon::Question);
    QCOMPARE(f.state.DataFilePath, p); // already changed before the question
    QVERIFY(f.state.CurrentImage.differsFrom(f.state.SavedImage));

    f.prompts.paths.enqueue(p);
    f.prompts.answers.enqueue(UserPrompts::Answer::No);
    f.files.ExportDataFile();
    QCOMPARE(f.prompts.shown.last().text, QStringLiteral("Файл уже существует, заменить?"));

    f.prompts.paths.enqueue(p);
    f.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    f.files.ExportDataFile();
    QCOMPARE(readBytes(p).size(), 260);
    QVERIFY(!f.state.CurrentImage.differsFrom(f.state.SavedImage));
}

void TestDataFileFlows::saveOfferOnlyWhenChanged()
{
    Fixture f;
    f.files.AskSaveChanges();
    QVERIFY(f.prompts.shown.isEmpty());

    // Hidden defaults alone are no edit: they go into the image without a question.
    f.state.table.HiddenDefaults.Block1[50] = 4;
    QCOMPARE(f.files.AskSaveChanges(), DataFileFlows::SaveOffer::Unchanged);
    QVERIFY(f.prompts.shown.isEmpty());
    QCOMPARE(f.state.CurrentImage.Block1[50], quint8(4));

    // An edit is offered with Cancel beside Yes and No; Cancel (Esc) keeps the edits and the operator.
    f.state.CurrentImage.Block1[51] = 1;
    f.prompts.answers.enqueue(UserPrompts::Answer::Cancel);
    QCOMPARE(f.files.AskSaveChanges(), DataFileFlows::SaveOffer::Abandoned);
    QCOMPARE(f.prompts.shown.size(), 1);
    QCOMPARE(f.prompts.shown[0].text, QStringLiteral("Сохранить данные"));
    QCOMPARE(f.prompts.shown[0].title, QStringLiteral("Сохранение данных"));
    QCOMPARE(f.prompts.shown[0].buttons, UserPrompts::Buttons::YesNoCancel);
    QCOMPARE(f.state.CurrentImage.Block1[51], quint8(1));

    // Yes saves the three-block form
    f.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    f.prompts.paths.enqueue(f.path(QStringLiteral("exit")));
    f.files.AskSaveChanges();
    QCOMPARE(readBytes(f.path(QStringLiteral("exit.bin"))).size(), 390);
    f.files.AskSaveChanges();
    QCOMPARE(f.prompts.shown.size(), 2);

    // loading after edits gives no offer
    f.state.CurrentImage.Block1[60] = 1;
    QVERIFY(f.files.loadByLength(f.path(QStringLiteral("exit.bin"))));
    QCOMPARE(f.prompts.shown.size(), 2);
}

void TestDataFileFlows::loadFromUser()
{
    Fixture f;
    // Cancel changes nothing, unsaved edits included.
    f.state.CurrentImage = patterned();
    f.state.DataFilePath = f.path(QStringLiteral("mine.bin"));
    f.files.loadFromUser();
    QCOMPARE(f.state.DataFilePath, f.path(QStringLiteral("mine.bin")));
    QCOMPARE(f.prompts.dialogTitles.last(), QStringLiteral("Укажите директорию и файл с базой"));
    // A file chosen with unsaved edits: the save offer first. Yes, then Cancel in the save dialog: no load.
    const QString file = f.path(QStringLiteral("l.bin"));
    QVERIFY(writeBytes(file, SettingsFiles::buildFile(SettingsImage(), 3)));
    f.prompts.paths << file << QString() << file;
    f.prompts.answers.enqueue(UserPrompts::Answer::Yes);
    f.files.loadFromUser();
    QVERIFY(f.state.CurrentImage == patterned());
    f.files.loadFromUser(); // No: the file loads by its length
    QCOMPARE(f.prompts.texts(), QStringList({QStringLiteral("Сохранить данные"), QStringLiteral("Сохранить данные")}));
    QVERIFY(f.state.CurrentImage == SettingsImage());
    QVERIFY(f.state.caption().contains(file));
}

void TestDataFileFlows::twoBlockSaveKeepsThirdBlockUnsaved()
{
    Fixture f;
    f.state.CurrentImage.Block3[19] = 0x80; // an "Инфо" output mask: the 260-byte form has no place for it
    f.prompts.paths << f.path(QStringLiteral("two.bin"));
    f.files.ExportDataFile();
    f.files.AskSaveChanges(); // leaving still offers the full save
    QCOMPARE(f.prompts.texts(), QStringList{QStringLiteral("Сохранить данные")});
}

void TestDataFileFlows::pathsOutsideCodePageRefused()
{
    Fixture f;
    const QString foreign = f.path(QStringLiteral("данные-表.bin"));
    QVERIFY(writeBytes(foreign, QByteArray(260, '\1')));
    f.prompts.paths << foreign << foreign;
    f.files.SaveDataFile();
    f.files.loadFromUser();
    // Refused before anything changes: no question about the existing file, nothing written or loaded.
    const QString refusal = QStringLiteral("Имя файла содержит знаки, которых нет в кодовой странице 1251, "
                                           "и не может быть записано в Default.ini:\r\n") + foreign;
    QCOMPARE(f.prompts.texts(), QStringList({refusal, refusal}));
    QVERIFY(readBytes(foreign) == QByteArray(260, '\1') && f.state.DataFilePath.isEmpty());
}

void TestDataFileFlows::newDataFile()
{
    Fixture f;
    f.state.CurrentImage = patterned();
    f.files.newDataFile();
    QVERIFY(f.state.CurrentImage == SettingsImage());
    QVERIFY(f.state.SavedImage == SettingsImage());
    QCOMPARE(f.state.DataFilePath, f.state.appPath(QStringLiteral("new.bin")));
}

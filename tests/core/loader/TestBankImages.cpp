#include "TestBankImages.h"

#include "FirmwareFixture.h"
#include "ScriptedPrompts.h"
#include "TestFiles.h"
#include "core/loader/BankImages.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using FirmwareFixture::pattern;

namespace {

struct Files
{
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<BankImages> images = std::make_unique<BankImages>();

    QString file(const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        writeBytes(path, bytes);
        return path;
    }
    QByteArray record(int bank, int count) const { return images->bytes(bank, 0, count); }
};

} // namespace

void TestBankImages::bankedFirstFile_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("bank0");
    QTest::addColumn<int>("bank1");
    QTest::newRow("40000 bytes") << 40000 << 32768 << 7232;
    QTest::newRow("20000 bytes") << 20000 << 20000 << 0;
    QTest::newRow("exactly 0x8000") << 0x8000 << 0x8000 << 0;
    QTest::newRow("70000 bytes") << 70000 << 32768 << 37232;
}

void TestBankImages::bankedFirstFile()
{
    QFETCH(int, size);
    QFETCH(int, bank0);
    QFETCH(int, bank1);
    Files f;
    const QByteArray content = pattern(size, 1);
    const QString paths[3] = {f.file(QStringLiteral("a.BIN"), content), QString(), QString()};
    QVERIFY(f.images->LoadFileVariables(paths, f.prompts));
    QVERIFY(f.prompts.shown.isEmpty());
    QCOMPARE((*f.images)[0].Length, bank0);
    QCOMPARE((*f.images)[1].Length, bank1);
    QCOMPARE((*f.images)[2].Length, 0);
    QCOMPARE((*f.images)[3].Length, 0);
    QCOMPARE(f.record(0, bank0), content.left(bank0));
    QCOMPARE(f.record(1, bank1), content.mid(0x8000));
}

void TestBankImages::bankedUpperHalves_data()
{
    // Sizes of the second and third file; -1: no file. Expected lengths of banks 2 and 3.
    QTest::addColumn<int>("second");
    QTest::addColumn<int>("third");
    QTest::addColumn<int>("bank2");
    QTest::addColumn<int>("bank3");
    QTest::newRow("50000 and 65536") << 50000 << 65536 << 17232 << 32768;
    QTest::newRow("no second file: third skipped") << -1 << 40000 << 0 << 0;
    QTest::newRow("over-long second file: third read") << 70001 << 40000 << 0 << 7232;
    QTest::newRow("short second file") << 20000 << -1 << 20000 - 32768 << 0;
}

void TestBankImages::bankedUpperHalves()
{
    QFETCH(int, second);
    QFETCH(int, third);
    QFETCH(int, bank2);
    QFETCH(int, bank3);
    Files f;
    const QByteArray files[2] = {pattern(qMax(second, 0), 2), pattern(qMax(third, 0), 3)};
    const QString paths[3] = {
        f.file(QStringLiteral("a.BIN"), pattern(1000)),
        second < 0 ? f.dir.filePath(QStringLiteral("none")) : f.file(QStringLiteral("b.BIN"), files[0]),
        third < 0 ? QString() : f.file(QStringLiteral("c.BIN"), files[1])};
    QVERIFY(f.images->LoadFileVariables(paths, f.prompts));
    QVERIFY(f.prompts.shown.isEmpty());
    QCOMPARE((*f.images)[2].Length, bank2);
    QCOMPARE((*f.images)[3].Length, bank3);
    // Only the upper half of each file, and nothing past the length; a negative length counts as empty.
    for (int bank = 2; bank < 4; ++bank) {
        const int length = f.images->usableLength(bank);
        QCOMPARE(f.record(bank, length + 100), files[bank - 2].mid(0x8000, length) + QByteArray(100, '\0'));
    }
}

void TestBankImages::refusedBeforeAnythingIsSent_data()
{
    QTest::addColumn<bool>("linear");
    QTest::addColumn<int>("size"); // -1: no file
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("title");
    QTest::newRow("linear over 70000") << true << 70001 << "Файл превышает размер в 65 кб" << "ОШИБКА";
    QTest::newRow("linear 65502") << true << 65502 << "Ошибка чтения файлов. " << "";
    QTest::newRow("linear 70000") << true << 70000 << "Ошибка чтения файлов. " << "";
    QTest::newRow("linear empty") << true << 0 << "Ошибка чтения файлов. " << "";
    QTest::newRow("linear missing") << true << -1 << "Ошибка чтения файлов. " << "";
    QTest::newRow("banked empty") << false << 0 << "Ошибка чтения файлов. " << "";
    QTest::newRow("banked over 70000") << false << 70001 << "Ошибка чтения файлов. " << "";
    QTest::newRow("banked missing") << false << -1 << "Ошибка чтения файлов. " << "";
}

void TestBankImages::refusedBeforeAnythingIsSent()
{
    QFETCH(bool, linear);
    QFETCH(int, size);
    QFETCH(QString, text);
    QFETCH(QString, title);
    Files f;
    // A load before leaves bytes that must not survive the refused one.
    const QString earlier[3] = {f.file(QStringLiteral("old.BIN"), pattern(40000)), QString(), QString()};
    QVERIFY(f.images->LoadFileVariables(earlier, f.prompts));

    const QString path = size < 0 ? f.dir.filePath(QStringLiteral("none.BIN"))
                                  : f.file(QStringLiteral("a.BIN"), pattern(size));
    const QString paths[3] = {path, QString(), QString()};
    QVERIFY(!(linear ? f.images->LoadFileVariables1(path, f.prompts) : f.images->LoadFileVariables(paths, f.prompts)));
    QCOMPARE(f.prompts.shown.size(), 1);
    const auto &shown = f.prompts.shown.first();
    if (text.endsWith(QLatin1Char(' '))) {
        // The read error: the fixed text and a description after it.
        QVERIFY2(shown.text.startsWith(text) && shown.text.size() > text.size(), qPrintable(shown.text));
    } else {
        QCOMPARE(shown.text, text);
        QCOMPARE(shown.icon, UserPrompts::Icon::Critical);
    }
    QCOMPARE(shown.title, title);
    if (size == 0)
        QVERIFY2(shown.text.contains(QStringLiteral("пуст")), qPrintable(shown.text));
    for (int bank = 0; bank < BankImages::BankCount; ++bank)
        QCOMPARE(f.images->usableLength(bank), 0);
    QCOMPARE(f.record(0, 1024), QByteArray(1024, '\0'));
}

void TestBankImages::recordsClearedBeforeEachLoad()
{
    Files f;
    const QString big[3] = {f.file(QStringLiteral("big.BIN"), pattern(40000, 5)),
                            f.file(QStringLiteral("b.BIN"), pattern(65536, 6)), QString()};
    QVERIFY(f.images->LoadFileVariables(big, f.prompts));
    const QByteArray small = pattern(1000, 7);
    const QString paths[3] = {f.file(QStringLiteral("small.BIN"), small), QString(), QString()};
    QVERIFY(f.images->LoadFileVariables(paths, f.prompts));
    QCOMPARE(f.record(0, 1024), small + QByteArray(24, '\0'));
    for (int bank = 1; bank < 4; ++bank) {
        QCOMPARE((*f.images)[bank].Length, 0);
        QCOMPARE(f.record(bank, BankRecord::Size), QByteArray(BankRecord::Size, '\0'));
    }
    // The linear reader clears as well.
    QVERIFY(f.images->LoadFileVariables(big, f.prompts));
    QVERIFY(f.images->LoadFileVariables1(paths[0], f.prompts));
    QCOMPARE(f.record(0, 1024), small + QByteArray(24, '\0'));
    QCOMPARE(f.record(1, BankRecord::Size), QByteArray(BankRecord::Size, '\0'));
}

void TestBankImages::linearFileFillsTheRecord()
{
    Files f;
    const QByteArray content = pattern(65501, 4);
    QVERIFY(f.images->LoadFileVariables1(f.file(QStringLiteral("l.BIN"), content), f.prompts));
    QCOMPARE((*f.images)[0].Length, 65501);
    QCOMPARE(f.record(0, 65501), content);
    QVERIFY(f.prompts.shown.isEmpty());
    // Positions outside the record read as zeros.
    QCOMPARE(f.images->bytes(0, 65024, 512), content.mid(65024) + QByteArray(512 - 477, '\0'));
    QCOMPARE(f.images->bytes(0, -3, 5), QByteArray(3, '\0') + content.left(2));
    QCOMPARE(f.images->bytes(0, 70000, 4), QByteArray(4, '\0'));
    QCOMPARE(f.images->bytes(4, 0, 4), QByteArray(4, '\0'));
}

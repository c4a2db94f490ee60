#include "TestBootLoaderSim.h"

#include "FirmwareFixture.h"
#include "LoaderRig.h"
#include "RunTask.h"
#include "core/loader/BankImages.h"
#include "core/loader/BootLoaderTransfer.h"

#include <QTest>

#include <memory>

using namespace FirmwareFixture;

namespace {

// A rig with the loader's image and transfer on top.
struct Loader : LoaderRig
{
    std::unique_ptr<BankImages> images = std::make_unique<BankImages>();
    BootLoaderTransfer transfer{link, *images};

    Loader()
    {
        QObject::connect(&transfer, &BootLoaderTransfer::progressChanged,
                         [this](const QString &caption) { progress.append(caption); });
    }
    bool banked(const QByteArray &f1, const QByteArray &f2, const QByteArray &f3)
    {
        const QString paths[3] = {file(QStringLiteral("1.BIN"), f1),
                                  f2.isNull() ? QString() : file(QStringLiteral("2.BIN"), f2),
                                  f3.isNull() ? QString() : file(QStringLiteral("3.BIN"), f3)};
        return images->LoadFileVariables(paths, prompts);
    }
    bool linearFile(const QByteArray &f) { return images->LoadFileVariables1(file(QStringLiteral("l.BIN"), f), prompts); }
    void startAt(const QString &page, const QString &bank) { transfer.setStartChoice({false, page, bank}); }
};

// What goes on the line for one block: header, data and, once acknowledged, "OK" CR.
QByteArray blockBytes(const Block &b, const QByteArray &data, bool banked)
{
    const int address = banked && b.bank ? 0x8000 + b.address : b.address;
    return headerOf(address, int(data.size()), banked ? b.bank : 0, data) + data + "OK\r";
}

QByteArray closingBytes(const QByteArray &bank0)
{
    const QByteArray data = padded(bank0, 0, 256);
    return headerOf(0, 256, 0, data) + data + "OK\r\r";
}

} // namespace

void TestBootLoaderSim::bankedLoad()
{
    // Bank 1 holds 1025 bytes (a last block of one byte); no third file, so bank 3 gets
    // one block without image bytes.
    const QByteArray f1 = pattern(0x8000 + 1025, 1);
    const QByteArray f2 = pattern(50000, 2);
    Loader t;
    QVERIFY(t.start());
    QVERIFY(t.banked(f1, f2, QByteArray()));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("2800"), QStringLiteral("0"));
    QVERIFY(runTask(t.transfer.LoadData()));
    QVERIFY(t.transfer.closingAccepted());

    const Transfer expected = banked(f1, f2, QByteArray(), 0, 0x2800, true, false);
    QCOMPARE(expected.blocks.size(), 22 + 2 + 17 + 1);
    QCOMPARE(t.info, entryLines() + blockLines(expected, false) + closingLines());
    QCOMPARE(t.dump(), expected.image);

    // Byte for byte on the line: the entry, then every block and the closing packet.
    QByteArray line = "v\rb\rv\rr\r";
    const QByteArray banks[4] = {f1.left(0x8000), f1.mid(0x8000), f2.mid(0x8000), QByteArray()};
    for (const Block &b : expected.blocks)
        line += blockBytes(b, padded(banks[b.bank], b.address, 1024), true);
    line += closingBytes(banks[0]);
    QTRY_COMPARE(t.receivedInCall(), line);

    QStringList marks;
    for (int i = 0; i < expected.blocks.size(); ++i)
        marks << QStringLiteral("HEADER") << QStringLiteral("DATA");
    QCOMPARE(t.marks, marks << QStringLiteral("HEADER"));
    QCOMPARE(t.progress.first(), QStringLiteral("Загружено 8.0%"));  // 10240 / 131072
    QVERIFY(t.progress.contains(QStringLiteral("Загружено 25.0%"))); // bank 1 at 0
    QVERIFY(t.progress.contains(QStringLiteral("Загружено 26.0%"))); // bank 1 at 1024: 25.78
    QCOMPARE(t.progress.last(), QStringLiteral("Загружено 100%"));
    QCOMPARE(t.transfer.lastPosition().bank, qint16(3));
    QCOMPARE(t.transfer.lastPosition().address, 0);
}

void TestBootLoaderSim::everyByteValueReachesTheTerminal_data()
{
    QTest::addColumn<bool>("linear");
    QTest::newRow("banked") << false;
    QTest::newRow("linear") << true;
}

void TestBootLoaderSim::everyByteValueReachesTheTerminal()
{
    QFETCH(bool, linear);
    // Every value 0x00..0xFF, 0x98 among them, in runs and alone.
    QByteArray file;
    for (int v = 0; v < 256; ++v)
        file.append(QByteArray(3, char(v))).append(char(255 - v));
    file += file;
    Loader t;
    QVERIFY(t.start(linear ? QStringList{QStringLiteral("--mem-type"), QStringLiteral("0")} : QStringList{}));
    QVERIFY(linear ? t.linearFile(file) : t.banked(file, QByteArray(), QByteArray()));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("0"), QStringLiteral("0"));
    if (linear)
        runTask(t.transfer.LoadData1());
    else
        QVERIFY(runTask(t.transfer.LoadData()));
    QVERIFY(t.transfer.closingAccepted());
    const Transfer expected = linear ? FirmwareFixture::linear(file, 0) : banked(file, {}, {}, 0, 0, false, false);
    QCOMPARE(t.dump(), expected.image);
    QCOMPARE(t.dump().mid(0, file.size()), file);
    QTRY_VERIFY(t.receivedInCall().contains(file.left(linear ? 512 : 1024)));
}

void TestBootLoaderSim::linearLoadWithRepeat()
{
    const QByteArray file = pattern(3000, 5);
    Loader t;
    QVERIFY(t.start({QStringLiteral("--mem-type"), QStringLiteral("0"), QStringLiteral("--repeat-at"),
                     QStringLiteral("2")}));
    QVERIFY(t.linearFile(file));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("0"), QStringLiteral("2"));
    QVERIFY(!runTask(t.transfer.LoadData1())); // its result is always false
    QVERIFY(t.transfer.closingAccepted());

    const Transfer expected = FirmwareFixture::linear(file, 0, 2);
    QStringList blocks = blockLines(expected, true);
    // The second block's data is answered with "Z": the same block goes out again.
    blocks.insert(4, QStringLiteral("Ошибка данных повтор Запрос заголовка"));
    blocks.insert(5, QStringLiteral("Запрос заголовка"));
    QCOMPARE(t.info, entryLines() + blocks + closingLines());
    QCOMPARE(t.info.at(12), QStringLiteral("Доставлен пакет банк = 2 адр = 200H"));
    QCOMPARE(t.dump(), expected.image);

    QByteArray line = "v\rb\rv\rr\r";
    for (const Block &b : expected.blocks) {
        const QByteArray data = padded(file, b.address, 512);
        if (b.address == 512)
            line += headerOf(512, 512, 0, data) + data; // the repeated block, the same header
        line += blockBytes(b, data, false);
    }
    QTRY_COMPARE(t.receivedInCall(), line + closingBytes(file));
    QCOMPARE(t.progress.first(), QStringLiteral("Загружено .0%"));
    QCOMPARE(t.progress.at(1), QStringLiteral("Загружено 17.0%")); // 512 / 3000
    QCOMPARE(t.transfer.lastPosition().address, 2560);
    QCOMPARE(t.transfer.lastPosition().bank, qint16(2));
}

void TestBootLoaderSim::bootLoaderAlreadyRunning()
{
    const QByteArray file = pattern(2048, 6);
    Loader t;
    QVERIFY(t.start({QStringLiteral("--boot-state"), QStringLiteral("running")}));
    QVERIFY(t.banked(file, QByteArray(), QByteArray()));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("0"), QStringLiteral("0"));
    QVERIFY(runTask(t.transfer.LoadData()));
    // ":BOOT" to the first "v": no boot command. Banks 1 to 3 hold nothing and still get a block each.
    const Transfer expected = banked(file, {}, {}, 0, 0, false, false);
    QCOMPARE(expected.blocks.size(), 5);
    QCOMPARE(t.info, entryLines(false) + blockLines(expected, false) + closingLines());
    QTRY_VERIFY(t.receivedInCall().startsWith("v\rr\r" + headerOf(0, 1024, 0, file.left(1024))));
    QCOMPARE(t.dump(), expected.image);
}

void TestBootLoaderSim::linearMemoryTypeCheck_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::newRow("memory type 1") << QStringList{QStringLiteral("--mem-type"), QStringLiteral("1")};
    QTest::newRow("no memory type byte") << QStringList{};
}

void TestBootLoaderSim::linearMemoryTypeCheck()
{
    QFETCH(QStringList, options);
    Loader t;
    QVERIFY(t.start(options));
    QVERIFY(t.linearFile(pattern(3000)));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("0"), QStringLiteral("0"));
    QVERIFY(!runTask(t.transfer.LoadData1()));
    QVERIFY(!t.transfer.closingAccepted());
    QCOMPARE(t.info, (QStringList{QStringLiteral(" команда перейти в BOOT"),
                                  QStringLiteral(" команда перейти в BOOT принята"),
                                  QStringLiteral("Ожидание ответа BOOT попытка 1"),
                                  QStringLiteral("Устройство не является устройством с линейной памятью - ts=0")}));
    QTRY_COMPARE(t.receivedInCall(), QByteArray("v\rb\rv\r"));
    QCOMPARE(t.dump(), QByteArray(4 * BankSize, char(0xFF)));
}

void TestBootLoaderSim::resumeFromLastBlock()
{
    const QByteArray f1 = pattern(65536, 1);
    Loader t;
    QVERIFY(t.start({QStringLiteral("--boot-state"), QStringLiteral("running")}));
    QVERIFY(t.banked(f1, QByteArray(), QByteArray()));
    QVERIFY(runTask(t.dial()));
    t.transfer.setLastPosition({1, 0x7800});
    t.transfer.setStartChoice({true, QStringLiteral("2800"), QStringLiteral("0")});
    QVERIFY(runTask(t.transfer.LoadData()));
    const Transfer expected = banked(f1, {}, {}, 1, 0x7800, false, false);
    QCOMPARE(t.info, entryLines(false) + blockLines(expected, false) + closingLines());
    QCOMPARE(t.info.at(4), QStringLiteral("Доставлен пакет банк = 1 адр = 30720"));
    QCOMPARE(t.dump(), expected.image);
    QCOMPARE(t.progress.first(), QStringLiteral("Загружено 48.0%")); // (32768 + 30720) / 131072
}

void TestBootLoaderSim::startBeyondTheImageSendsNothing()
{
    const QByteArray f1 = pattern(1000, 1);
    Loader t;
    QVERIFY(t.start({QStringLiteral("--boot-state"), QStringLiteral("running")}));
    QVERIFY(t.banked(f1, QByteArray(), QByteArray()));
    QVERIFY(runTask(t.dial()));
    t.startAt(QStringLiteral("7C00"), QStringLiteral("3"));
    // The closing packet would rewrite bank 0's first bytes with no block before it.
    QVERIFY(!runTask(t.transfer.LoadData()));
    QCOMPARE(t.info, entryLines(false) + QStringList{QStringLiteral("Нет блоков для передачи с выбранного места")});
    QTest::qWait(100);
    QCOMPARE(t.receivedInCall(), QByteArray("v\rr\r"));
}

#include "TestBootLoaderTimeouts.h"

#include "FirmwareFixture.h"
#include "LoaderRig.h"
#include "RunTask.h"
#include "core/loader/BankImages.h"
#include "core/loader/BootLoaderTransfer.h"

#include <QTest>

#include <memory>

using namespace FirmwareFixture;

void TestBootLoaderTimeouts::missingAcknowledgement()
{
    // The terminal takes the second block's data and never answers.
    const QByteArray f1 = pattern(4096, 1);
    LoaderRig t;
    QVERIFY(t.start({QStringLiteral("--no-ack-at"), QStringLiteral("2")}));
    auto images = std::make_unique<BankImages>();
    const QString paths[3] = {t.file(QStringLiteral("1.BIN"), f1), QString(), QString()};
    QVERIFY(images->LoadFileVariables(paths, t.prompts));
    BootLoaderTransfer transfer(t.link, *images);
    transfer.setStartChoice({false, QStringLiteral("0"), QStringLiteral("0")});
    QVERIFY(runTask(t.dial()));
    QVERIFY(!runTask(transfer.LoadData()));
    QVERIFY(!transfer.closingAccepted());

    Transfer all = banked(f1, {}, {}, 0, 0, false, false);
    Transfer first;
    first.blocks = all.blocks.mid(0, 1);
    const QStringList failure{QStringLiteral("Запрос заголовка"), QStringLiteral("Таймаут на ответ "),
                              QStringLiteral("Не получено подтверждение данных 5С")};
    QCOMPARE(t.info, entryLines() + blockLines(first, false) + failure);
    QCOMPARE(t.marks, (QStringList{QStringLiteral("HEADER"), QStringLiteral("DATA"), QStringLiteral("HEADER"),
                                   QStringLiteral("DATA"), QStringLiteral("TIMEOUT")}));
    // Only the first block reached the memory; no closing packet was sent.
    QByteArray image(4 * BankSize, char(0xFF));
    image.replace(0, 1024, f1.left(1024));
    QCOMPARE(t.dump(), image);
    QCOMPARE(transfer.lastPosition().address, 0);
    QCOMPARE(transfer.lastPosition().bank, qint16(0));
    QTRY_VERIFY(t.receivedInCall().endsWith(f1.mid(1024, 1024)));
}

void TestBootLoaderTimeouts::bootCommandRefused()
{
    LoaderRig t;
    QVERIFY(t.start({QStringLiteral("--refuse-boot")}));
    auto images = std::make_unique<BankImages>();
    const QString paths[3] = {t.file(QStringLiteral("1.BIN"), pattern(4096)), QString(), QString()};
    QVERIFY(images->LoadFileVariables(paths, t.prompts));
    BootLoaderTransfer transfer(t.link, *images);
    transfer.setStartChoice({false, QStringLiteral("2800"), QStringLiteral("0")});
    QVERIFY(runTask(t.dial()));
    QVERIFY(!runTask(transfer.LoadData()));
    QCOMPARE(t.info, (QStringList{QStringLiteral(" команда перейти в BOOT"), QStringLiteral("Таймаут на ответ "),
                                  QStringLiteral("Терминал не перешел в режим загрузки")}));
    QCOMPARE(t.receivedInCall(), QByteArray("v\rb\r"));
    QCOMPARE(t.dump(), QByteArray(4 * BankSize, char(0xFF)));
}

#include "TestSettingsFiles.h"

#include "core/settings/SettingsFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

void TestSettingsFiles::fileBlockSum()
{
    SettingsImage img;
    for (int i = 1; i <= 128; ++i)
        img.Block1[i] = 0xFF;
    img.Block1[0] = 0x11;   // never written
    img.Block1[129] = 0x22; // replaced by the sum
    const QByteArray fb = SettingsImage::fileBlock(img.Block1);
    QCOMPARE(fb.size(), 130);
    QCOMPARE(fb.left(128), QByteArray(128, '\xFF'));
    QCOMPARE(quint8(fb[128]), quint8(0x7F));
    QCOMPARE(quint8(fb[129]), quint8(0x80));
}

void TestSettingsFiles::formByLength()
{
    QCOMPARE(SettingsFiles::formForLength(0), SettingsFiles::Form::TwoBlock);
    QCOMPARE(SettingsFiles::formForLength(200), SettingsFiles::Form::TwoBlock);
    QCOMPARE(SettingsFiles::formForLength(260), SettingsFiles::Form::TwoBlock);
    QCOMPARE(SettingsFiles::formForLength(261), SettingsFiles::Form::Record);
    QCOMPARE(SettingsFiles::formForLength(390), SettingsFiles::Form::ThreeBlock);
    QCOMPARE(SettingsFiles::formForLength(391), SettingsFiles::Form::Record);
    QCOMPARE(SettingsFiles::formForLength(40000), SettingsFiles::Form::Record);
    QCOMPARE(SettingsFiles::formForLength(qint64(390) + 65536), SettingsFiles::Form::Record);
    QCOMPARE(SettingsFiles::FileLength(QStringLiteral("/nonexistent/file.bin")), 0);
}

void TestSettingsFiles::changeRule()
{
    SettingsImage a, b;
    QVERIFY(!a.differsFrom(b));
    b.Block3[130] = 1;
    QVERIFY(!a.differsFrom(b)); // position 130 is not compared
    b.Block3[129] = 1;
    QVERIFY(a.differsFrom(b));
    b = a;
    b.Block2[0] = 1;
    QVERIFY(a.differsFrom(b));
    b = a;
    a.Description = QStringLiteral(" text ");
    b.Description = QStringLiteral("text");
    QVERIFY(!a.differsFrom(b));
    b.Description = QStringLiteral("other");
    QVERIFY(a.differsFrom(b));
}

void TestSettingsFiles::hugeRecordFileReadOnlyAsFarAsARecordGoes()
{
    QTemporaryDir dir;
    QFile f(dir.filePath(QStringLiteral("huge.bin")));
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(393, 1) + QByteArray("\x03\x00" "abc", 5)) == 398);
    QVERIFY(f.resize(qint64(1) << 30)); // 1 GB, the rest a hole that takes no disk
    f.close();
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    SettingsImage image;
    QVERIFY(SettingsFiles::readFile(f.fileName(), SettingsFiles::Form::Record, image));
    getrusage(RUSAGE_SELF, &after);
    QCOMPARE(image.Description, QStringLiteral("abc"));
    QVERIFY(after.ru_maxrss - before.ru_maxrss < 32 * 1024); // kilobytes: nothing read beyond a record
}

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

namespace {
// Peak resident memory of this process so far, in kilobytes.
long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
} // namespace

void TestSettingsFiles::hugeRecordFileReadOnlyAsFarAsARecordGoes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("huge.bin"));
    QByteArray head(393, '\0');
    head[1] = 0x11;
    head += QByteArray("\x03\x00" "abc", 5);
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(head), qint64(head.size()));
        // 1 GB without taking the disk space: the rest of the file is a hole.
        QVERIFY(f.resize(qint64(1) << 30));
    }
    QCOMPARE(SettingsFiles::formForLength(SettingsFiles::FileLength(path)), SettingsFiles::Form::Record);
    const long before = peakKilobytes();
    SettingsImage image;
    QVERIFY(SettingsFiles::readFile(path, SettingsFiles::Form::Record, image));
    QCOMPARE(image.Block1[1], quint8(0x11));
    QCOMPARE(image.Description, QStringLiteral("abc"));
    // A record holds at most 393 + 2 + 65535 bytes; nothing beyond that is read.
    QVERIFY2(peakKilobytes() - before < 32 * 1024, qPrintable(QString::number(peakKilobytes() - before)));
}

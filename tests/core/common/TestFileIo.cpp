#include "TestFileIo.h"

#include "SmallDisk.h"
#include "TestFiles.h"
#include "core/common/FileIo.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
bool isCharDevice(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

bool makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}
} // namespace

void TestFileIo::fullDiskKeepsEarlierFile()
{
    SmallDisk disk;
    if (!disk.mounted())
        QSKIP("a tmpfs cannot be mounted here (not root)");
    const QString path = disk.filePath(QStringLiteral("Default.ini"));
    const QByteArray earlier("the earlier good content\r\n");
    QString error;
    QVERIFY(FileIo::writeWhole(path, earlier, error));
    QVERIFY(disk.fill());

    // Small enough to sit in a write buffer: only a checked flush and close see the failure.
    QVERIFY(!FileIo::writeWhole(path, QByteArray(260, 'n'), error));
    QCOMPARE(error, QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": нет места на диске"));
    QCOMPARE(readBytes(path), earlier);
    QCOMPARE(disk.entries(), QStringList{QStringLiteral("Default.ini")});
    // A new file on a full disk is not left behind empty either.
    QVERIFY(!FileIo::writeWhole(disk.filePath(QStringLiteral("new.bin")), QByteArray(260, 'n'), error));
    QCOMPARE(disk.entries(), QStringList{QStringLiteral("Default.ini")});

    disk.free();
    QVERIFY2(FileIo::writeWhole(path, QByteArray(260, 'n'), error), qPrintable(error));
    QCOMPARE(readBytes(path), QByteArray(260, 'n'));
}

void TestFileIo::devicesAndFifosWrittenInPlace()
{
    // A device stays a device, and its error is seen: /dev/full answers every write with ENOSPC.
    QString error;
    QVERIFY(!FileIo::writeWhole(QStringLiteral("/dev/full"), "x", error));
    QCOMPARE(error, QStringLiteral("Ошибка записи в файл /dev/full: нет места на диске"));
    QVERIFY(isCharDevice(QStringLiteral("/dev/full")));

    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("out.xml"));
    QVERIFY(makeFifo(fifo));
    // Nobody reads it: refused at once instead of waiting for a reader.
    QVERIFY(!FileIo::writeWhole(fifo, "data", error));
    QCOMPARE(error, QStringLiteral("Ошибка записи в файл ") + fifo + QStringLiteral(": канал никто не читает"));
    QProcess reader;
    reader.start(QStringLiteral("cat"), {fifo});
    QVERIFY(reader.waitForStarted());
    bool written = false;
    for (int i = 0; i < 1000 && !written; ++i) { // until cat has opened its end
        written = FileIo::writeWhole(fifo, "through the pipe", error);
        if (!written)
            QTest::qWait(10);
    }
    QVERIFY2(written, qPrintable(error));
    QVERIFY(reader.waitForFinished(10000));
    QCOMPARE(reader.readAllStandardOutput(), QByteArray("through the pipe"));
}

void TestFileIo::linksAndFoldersAndPermissions()
{
    QTemporaryDir dir;
    QString error;
    QVERIFY(!FileIo::writeWhole(dir.path(), "x", error));
    QCOMPARE(error, QStringLiteral("Ошибка записи в файл ") + dir.path() + QStringLiteral(": это каталог"));

    // A link stays a link; its target gets the content and keeps its permissions.
    const QString target = dir.filePath(QStringLiteral("real.bin"));
    const QString link = dir.filePath(QStringLiteral("link.bin"));
    QVERIFY(writeBytes(target, "old"));
    QVERIFY(::chmod(QFile::encodeName(target).constData(), 0640) == 0);
    QVERIFY(QFile::link(target, link));
    QVERIFY(FileIo::writeWhole(link, "new", error));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readBytes(target), QByteArray("new"));
    struct stat st {};
    QVERIFY(::stat(QFile::encodeName(target).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777, mode_t(0640));
}

void TestFileIo::inputsMustBeRegular()
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("1.BIN"));
    QVERIFY(makeFifo(fifo));
    QByteArray data;
    QString error;
    // A writer never comes: a read that waited for one would never return.
    QVERIFY(!FileIo::readRegular(fifo, data, error));
    QCOMPARE(error, QStringLiteral("Файл ") + fifo + QStringLiteral(" не является обычным файлом"));
    QVERIFY(!FileIo::checkRegular(fifo, error));
    QVERIFY(!FileIo::readRegular(dir.path(), data, error));
    QCOMPARE(error, QStringLiteral("Файл ") + dir.path() + QStringLiteral(" не является обычным файлом"));
    QVERIFY(!FileIo::readRegular(dir.filePath(QStringLiteral("none")), data, error));
    QCOMPARE(error, QStringLiteral("Файл ") + dir.filePath(QStringLiteral("none")) + QStringLiteral(" не найден"));

    const QString plain = dir.filePath(QStringLiteral("p.bin"));
    QVERIFY(writeBytes(plain, "0123456789"));
    QVERIFY(FileIo::readRegular(plain, data, error, 4));
    QCOMPARE(data, QByteArray("0123"));
    QVERIFY(FileIo::readRegular(plain, data, error));
    QCOMPARE(data, QByteArray("0123456789"));
}

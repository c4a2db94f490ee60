#include "TestReceivedProfiles.h"

#include "SmsTestSupport.h"
#include "TestFiles.h"

#include "core/inbox/ReceivedProfiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray data(int seed)
{
    QByteArray d(128, '\0');
    for (int i = 0; i < 128; ++i)
        d[i] = char(0xF0 + i * seed);
    return d;
}

// The file a terminal's two answers make: each block, then its 16-bit sum high byte first.
QByteArray profileFile(int seed1, int seed2)
{
    QByteArray out;
    for (int seed : {seed1, seed2}) {
        int sum = 0;
        for (char c : data(seed))
            sum += quint8(c);
        out += data(seed) + char(sum >> 8) + char(sum & 0xFF);
    }
    return out;
}

void storeBoth(ReceivedProfiles &p, const QString &sender, int seed1, int seed2)
{
    QVERIFY(p.storeBlock(sender, PacketType::ReadBlock1, data(seed1)));
    QVERIFY(p.storeBlock(sender, PacketType::ReadBlock2, data(seed2)));
}

QString savedLine(const QString &app, const QString &phone)
{
    return QStringLiteral("Сохранен профильный файл от терминала: ") + phone + QStringLiteral(", файл ")
           + ReceivedProfiles::profileFilePath(app, phone) + QStringLiteral("\r\n");
}
} // namespace

void TestReceivedProfiles::savesCompleteProfile()
{
    QTemporaryDir app;
    ReceivedProfiles p;
    storeBoth(p, QStringLiteral("+71234567890"), 3, 5);
    QVERIFY(!QDir(app.filePath(QStringLiteral("BIN"))).exists());
    QCOMPARE(p.saveCompleteProfiles(app.path()), QStringList{savedLine(app.path(), QStringLiteral("+71234567890"))});
    // BIN is made; the name drops the first two characters of the sender
    const QByteArray written = readBytes(app.filePath(QStringLiteral("BIN/1234567890.bin")));
    QCOMPARE(written, profileFile(3, 5));
    QCOMPARE(p.entries(), ReceivedProfiles().entries());

    // An older file of that terminal is replaced whole.
    storeBoth(p, QStringLiteral("+71234567890"), 7, 1);
    QCOMPARE(p.saveCompleteProfiles(app.path()).size(), 1);
    QCOMPARE(readBytes(app.filePath(QStringLiteral("BIN/1234567890.bin"))), profileFile(7, 1));
    QCOMPARE(QDir(app.filePath(QStringLiteral("BIN"))).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("1234567890.bin")});
}

void TestReceivedProfiles::halfProfileWaits()
{
    QTemporaryDir app;
    ReceivedProfiles p;
    QVERIFY(p.storeBlock(QStringLiteral("89161234567"), PacketType::ReadBlock2, data(2)));
    QCOMPARE(p.saveCompleteProfiles(app.path()), QStringList());
    QVERIFY(!QFile::exists(app.filePath(QStringLiteral("BIN/9161234567.bin"))));
    QVERIFY(p.storeBlock(QStringLiteral("89161234567"), PacketType::ReadBlock1, data(4)));
    QCOMPARE(p.saveCompleteProfiles(app.path()), QStringList{savedLine(app.path(), QStringLiteral("89161234567"))});
    QCOMPARE(readBytes(app.filePath(QStringLiteral("BIN/9161234567.bin"))), profileFile(4, 2));
}

void TestReceivedProfiles::severalTerminalsInOnePoll()
{
    QTemporaryDir app;
    ReceivedProfiles p;
    // Entry 0 waits for a second block; three terminals complete behind it.
    QVERIFY(p.storeBlock(QStringLiteral("+70000000001"), PacketType::ReadBlock1, data(1)));
    storeBoth(p, QStringLiteral("+70000000002"), 2, 3);
    storeBoth(p, QStringLiteral("+70000000003"), 3, 4);
    storeBoth(p, QStringLiteral("+70000000004"), 4, 5);
    QCOMPARE(p.size(), 4);
    const QStringList lines = p.saveCompleteProfiles(app.path());
    QCOMPARE(lines, (QStringList{savedLine(app.path(), QStringLiteral("+70000000002")), savedLine(app.path(), QStringLiteral("+70000000003")),
                                 savedLine(app.path(), QStringLiteral("+70000000004"))}));
    for (int k = 2; k <= 4; ++k)
        QCOMPARE(readBytes(app.filePath(QStringLiteral("BIN/000000000%1.bin").arg(k))), profileFile(k, k + 1));
    QCOMPARE(p.size(), 1);
    QCOMPARE(p.at(0).Phone, QStringLiteral("+70000000001"));
}

void TestReceivedProfiles::senderKeepsItsEntry()
{
    QTemporaryDir app;
    ReceivedProfiles p;
    storeBoth(p, QStringLiteral("+70000000001"), 1, 2);
    QVERIFY(p.storeBlock(QStringLiteral("+79990000000"), PacketType::ReadBlock1, data(6)));
    p.saveCompleteProfiles(app.path()); // entry 0 emptied in place
    QCOMPARE(p.size(), 2);
    QVERIFY(p.at(0).Phone.isEmpty());
    // The waiting terminal's second answer joins its own entry, not the free entry 0.
    QVERIFY(p.storeBlock(QStringLiteral("+79990000000"), PacketType::ReadBlock2, data(7)));
    QVERIFY(p.at(1).complete());
    QVERIFY(p.at(0).Phone.isEmpty());
    // A new sender takes the free entry 0.
    QVERIFY(p.storeBlock(QStringLiteral("+75550000000"), PacketType::ReadBlock1, data(1)));
    QCOMPARE(p.at(0).Phone, QStringLiteral("+75550000000"));
    // A complete entry is not refilled: the same sender's next answer opens another one.
    QVERIFY(p.storeBlock(QStringLiteral("+79990000000"), PacketType::ReadBlock1, data(8)));
    QCOMPARE(p.size(), 3);
    QCOMPARE(p.saveCompleteProfiles(app.path()), QStringList{savedLine(app.path(), QStringLiteral("+79990000000"))});
    QCOMPARE(readBytes(app.filePath(QStringLiteral("BIN/9990000000.bin"))), profileFile(6, 7));
}

void TestReceivedProfiles::removeReceivedProfile()
{
    ReceivedProfiles p;
    for (const char *s : {"+70000000000", "+71111111111", "+72222222222", "+73333333333"})
        QVERIFY(p.storeBlock(QString::fromLatin1(s), PacketType::ReadBlock1, data(1)));
    QCOMPARE(p.size(), 4);
    QString err;
    QVERIFY(!p.RemoveReceivedProfile(4, &err));
    QCOMPARE(err, QStringLiteral("Откуда такой индекс?"));
    QCOMPARE(p.size(), 4);
    QVERIFY(p.RemoveReceivedProfile(1)); // inside: the later entries move down
    QCOMPARE(p.size(), 3);
    QCOMPARE(p.at(1).Phone, QStringLiteral("+72222222222"));
    QCOMPARE(p.at(2).Phone, QStringLiteral("+73333333333"));
    QVERIFY(p.RemoveReceivedProfile(2)); // the last: shortened
    QCOMPARE(p.size(), 2);
    QVERIFY(p.RemoveReceivedProfile(-5)); // zero and below: entry 0 emptied in place
    QCOMPARE(p.size(), 2);
    QCOMPARE(p.at(0), ReceivedProfile());
    QCOMPARE(p.at(1).Phone, QStringLiteral("+72222222222"));
}

void TestReceivedProfiles::unwritableFileIsKept()
{
    QTemporaryDir app;
    ReceivedProfiles p;
    storeBoth(p, QStringLiteral("+71234567890"), 1, 2);
    // BIN taken by a plain file: the folder cannot be made
    QVERIFY(writeBytes(app.filePath(QStringLiteral("BIN")), "x"));
    const QString path = QDir(app.path()).filePath(QStringLiteral("BIN/1234567890.bin"));
    QCOMPARE(p.saveCompleteProfiles(app.path()),
             QStringList{QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": не удалось создать папку ")
                         + app.filePath(QStringLiteral("BIN")) + "\r\n"});
    QVERIFY(p.at(0).complete());
    // the target name taken by a folder: the file cannot be replaced
    QVERIFY(QFile::remove(app.filePath(QStringLiteral("BIN"))));
    QVERIFY(QDir(app.path()).mkpath(QStringLiteral("BIN/1234567890.bin")));
    QCOMPARE(p.saveCompleteProfiles(app.path()),
             QStringList{QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": это не обычный файл\r\n")});
    QVERIFY(p.at(0).complete());
    // the next poll, with the way clear, writes it
    QVERIFY(QDir(path).removeRecursively());
    QCOMPARE(p.saveCompleteProfiles(app.path()), QStringList{savedLine(app.path(), QStringLiteral("+71234567890"))});
    QCOMPARE(readBytes(path), profileFile(1, 2));
}

void TestReceivedProfiles::refusedSenders()
{
    ReceivedProfiles p;
    for (const char *s : {"", "+", "../../etc/x", "+7/../../x", "+71234 567", "+7123456789+", "++71234",
                          "71234\n", "+A1234567890"})
        QVERIFY2(!p.storeBlock(QString::fromLatin1(s), PacketType::ReadBlock1, data(1)), s);
    QVERIFY(!p.storeBlock(QStringLiteral("+71234567890"), PacketType::ProfileBlock1, data(1)));
    QCOMPARE(p.entries(), ReceivedProfiles().entries());
    // Russian numbers by their last ten digits, in any of their forms; others by all their digits.
    for (const char *s : {"+79161234567", "89161234567", "79161234567"})
        QCOMPARE(ReceivedProfiles::profileFileName(QString::fromLatin1(s)), QStringLiteral("9161234567"));
    QCOMPARE(ReceivedProfiles::profileFileName(QStringLiteral("+19162220000")), QStringLiteral("19162220000"));
    QCOMPARE(ReceivedProfiles::profileFileName(QStringLiteral("123")), QStringLiteral("123"));
    QCOMPARE(ReceivedProfiles::profileFilePath(QStringLiteral("/app"), QStringLiteral("+7123")),
             QStringLiteral("/app/BIN/7123.bin"));
    QCOMPARE(ReceivedProfiles::profileFilePath(QStringLiteral("/app"), QStringLiteral("+7..")), QString());
}

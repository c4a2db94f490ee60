#include "TestListingSweep.h"

#include "SmsTestSupport.h"
#include "TestFiles.h"
#include "core/link/clsReceive.h"
#include "core/route/ListedMessage.h"
#include "core/inbox/ListingSweep.h"
#include "core/inbox/PendingHalves.h"
#include "core/inbox/SmsJournal.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kTerminal = QStringLiteral("+79001234567");

QByteArray block(int seed)
{
    return SmsTest::profileFile(seed).left(128);
}

// A listing column for a PDU, with a header that announces its true length.
std::array<QString, 2> listed(int index, const QString &pdu)
{
    const int centre = pdu.left(2).toInt(nullptr, 16);
    const int tpdu = int(pdu.size() / 2) - 1 - centre;
    return {QStringLiteral("+CMGL: %1,0,,%2").arg(index).arg(tpdu), pdu};
}

std::array<QString, 2> half(int index, quint8 type, int seed, const QString &sender = kTerminal)
{
    return listed(index, SmsTest::deliverPdu(sender, SmsTest::answer(type, block(seed))));
}

} // namespace

void TestListingSweep::halvesSurviveBetweenRuns()
{
    QTemporaryDir app;
    const QDateTime now = QDateTime::currentDateTime();
    // One run sees the first answer, a later run (a new program) the second.
    ReceivedProfiles first;
    ListingSweep::Outcome out = ListingSweep(app.path(), now).sweep(inboxMessages({half(1, 0x43, 5)}), first);
    QVERIFY(out.saved.isEmpty());
    QCOMPARE(out.deletable, QStringList{QStringLiteral("+CMGL: 1,0,,159")}); // kept on disk, so it may go
    QVERIFY(QFile::exists(app.filePath(QStringLiteral("BIN/pending/9001234567.43"))));

    ReceivedProfiles second;
    out = ListingSweep(app.path(), now).sweep(inboxMessages({half(4, 0x45, 6, QStringLiteral("89001234567"))}), second);
    QCOMPARE(out.saved.size(), 1);
    QCOMPARE(out.saved.at(0).path, app.filePath(QStringLiteral("BIN/9001234567.bin")));
    QCOMPARE(readBytes(out.saved.at(0).path).left(128), block(5));
    QCOMPARE(readBytes(out.saved.at(0).path).mid(130, 128), block(6));
    QCOMPARE(out.deletable, QStringList{QStringLiteral("+CMGL: 4,0,,159")});
    QCOMPARE(QDir(app.filePath(QStringLiteral("BIN/pending"))).entryList(QDir::Files), QStringList());
}

void TestListingSweep::oldHalvesDropped()
{
    QTemporaryDir app;
    QString error;
    QVERIFY(PendingHalves(app.path()).store(kTerminal, PacketType::ReadBlock1, block(1), error));
    const QString file = app.filePath(QStringLiteral("BIN/pending/9001234567.43"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-8), QFileDevice::FileModificationTime));
    f.close();
    ReceivedProfiles profiles;
    const ListingSweep::Outcome out =
        ListingSweep(app.path(), QDateTime::currentDateTime()).sweep(inboxMessages({half(2, 0x45, 2)}), profiles);
    QCOMPARE(out.lines, QStringList{QStringLiteral("Удалена половина профиля от +79001234567, ждавшая пару больше 7 дней\r\n")});
    QVERIFY(!QFile::exists(file));
    QVERIFY(out.saved.isEmpty()); // the new half does not complete the old one
    QVERIFY(QFile::exists(app.filePath(QStringLiteral("BIN/pending/9001234567.45"))));
}

void TestListingSweep::newRequestNeverJoinsAnEarlierHalf()
{
    QTemporaryDir app;
    const QDateTime now = QDateTime::currentDateTime();
    // The first read got only its 0x43 (settings 1).
    ReceivedProfiles profiles;
    ListingSweep::Outcome out = ListingSweep(app.path(), now).sweep(inboxMessages({half(1, 0x43, 1)}), profiles);
    QVERIFY(out.saved.isEmpty());
    // The settings change, and a new read goes: the old half is dropped, said once.
    const PendingHalves halves(app.path());
    QCOMPARE(halves.discardForNewRequest(QStringLiteral("89001234567")),
             QStringLiteral("Удалена половина профиля от 89001234567, полученная на прежний запрос\r\n"));
    QCOMPARE(halves.discardForNewRequest(QStringLiteral("89001234567")), QString());
    // The new answers come in reverse: 0x45 first, then 0x43. Only the new pair is joined.
    out = ListingSweep(app.path(), now).sweep(inboxMessages({half(2, 0x45, 8)}), profiles);
    QVERIFY(out.saved.isEmpty());
    out = ListingSweep(app.path(), now).sweep(inboxMessages({half(3, 0x43, 7)}), profiles);
    QCOMPARE(out.saved.size(), 1);
    const QByteArray saved = readBytes(out.saved.at(0).path);
    QCOMPARE(saved.left(128), block(7));
    QCOMPARE(saved.mid(130, 128), block(8));
}

void TestListingSweep::junkLeavesTheStoreOnTheSecondListing()
{
    QTemporaryDir app;
    const QDateTime now = QDateTime::currentDateTime();
    ReceivedProfiles profiles;
    const QString whole = SmsTest::deliverPdu(kTerminal, SmsTest::answer(0x43, block(1)));
    // Cut short on the line (the header announces more), and a text of another coding.
    const std::array<QString, 2> cut{QStringLiteral("+CMGL: 2,0,,159"), whole.left(100)};
    const std::array<QString, 2> foreign = listed(5, SmsTest::deliverPdu(kTerminal, QByteArray("hi"), 0x04));
    ListingSweep::Outcome out = ListingSweep(app.path(), now).sweep(inboxMessages({cut, foreign}), profiles);
    // What is not the system's goes at once; what could not be read may be noise: it stays once.
    QCOMPARE(out.deletable, QStringList{foreign[0]});
    QVERIFY(out.lines.contains(QStringLiteral("Сообщение 2 пришло не целиком и оставлено в модеме\r\n")));
    // The next listing shows the same text at the same index: journalled with where it stood, deleted.
    out = ListingSweep(app.path(), now).sweep(inboxMessages({cut}), profiles);
    QCOMPARE(out.deletable, QStringList{cut[0]});
    const QString journal = QString::fromUtf8(readBytes(SmsJournal::path(app.path(), now.date())));
    QVERIFY2(journal.contains(QStringLiteral("В модеме: +CMGL: 2,0,,159\nPDU: ") + cut[1] + QStringLiteral("\n\n")),
             qPrintable(journal));
    QVERIFY(journal.contains(QStringLiteral("В модеме: ") + foreign[0]));
    // Another text at that index is new noise again.
    const std::array<QString, 2> other{cut[0], whole.left(90)};
    out = ListingSweep(app.path(), now).sweep(inboxMessages({other}), profiles);
    QVERIFY(out.deletable.isEmpty());
    // Nothing unread left: nothing remembered.
    out = ListingSweep(app.path(), now).sweep(inboxMessages({}), profiles);
    QVERIFY(!QFile::exists(ListingSweep::unreadablePath(app.path())));
}

void TestListingSweep::plantedLinkRefused()
{
    QTemporaryDir app;
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath(QStringLiteral("victim"));
    QVERIFY(writeBytes(victim, "precious"));
    QVERIFY(QDir(app.path()).mkpath(QStringLiteral("BIN")));
    QVERIFY(QFile::link(victim, app.filePath(QStringLiteral("BIN/9001234567.bin"))));
    ReceivedProfiles profiles;
    const ListingSweep::Outcome out =
        ListingSweep(app.path(), QDateTime::currentDateTime()).sweep(inboxMessages({half(1, 0x43, 1), half(2, 0x45, 2)}), profiles);
    QCOMPARE(readBytes(victim), QByteArray("precious"));
    QVERIFY(out.saved.isEmpty());
    QCOMPARE(out.lines, QStringList{QStringLiteral("Ошибка записи в файл ") + app.filePath(QStringLiteral("BIN/9001234567.bin"))
                                    + QStringLiteral(": это ссылка, профиль не записан\r\n")});
    QVERIFY(out.deletable.isEmpty()); // the profile is not saved: its answers stay in the modem
}

void TestListingSweep::receiverTakesLongListings()
{
    // Far more than any buffer of the receiver held: 150 messages, headers with and without the space.
    clsReceive receiver;
    QByteArray listing;
    for (int i = 1; i <= 150; ++i) {
        const auto column = half(i, i % 2 ? 0x43 : 0x45, i, QStringLiteral("+7900000%1").arg(1000 + i));
        QByteArray header = column[0].toLatin1();
        if (i % 3 == 0)
            header.replace("+CMGL: ", "+CMGL:");
        listing += "\r\n" + header + "\r\n" + column[1].toLatin1();
    }
    listing += "\r\n\r\nOK\r\n";
    QVERIFY(listing.size() > 36000);
    QSignalSpy done(&receiver, &clsReceive::DataReady);
    for (char c : std::as_const(listing))
        receiver.ByteWHSE(quint8(c));
    QCOMPARE(done.count(), 1);
    SmsTable table;
    receiver.setSmsTable(&table);
    for (char c : std::as_const(listing))
        receiver.ByteWHSE(quint8(c));
    QCOMPARE(table.size(), 151); // one column per message and the empty one after them
    for (int i = 0; i < 150; ++i) {
        const ListedMessage message{table.at(i)[0], table.at(i)[1]};
        QVERIFY(message.whole());
        QCOMPARE(message.index(), i + 1);
    }
}

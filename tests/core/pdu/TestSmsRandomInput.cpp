#include "TestSmsRandomInput.h"

#include "SmsTestSupport.h"

#include "core/pdu/PduDecoder.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/pdu/ReceivedSms.h"
#include "core/pdu/mdlSMS.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Senders a hostile network might put in front of a well-formed answer.
const char *kSenders[] = {"+71234567890", "81234567890", "+7", "+79161234567", "+712345678901234567890"};

// A real answer or confirmation, then mutated: characters replaced, cut, inserted, or
// fields overwritten with random hex so the reads past the envelope get exercised.
QString randomListing(QRandomGenerator &rng)
{
    const quint8 types[] = {0x43, 0x45, 0x33, 0x35, 0x57, 0x43, 0x45};
    const quint8 type = types[rng.bounded(int(std::size(types)))];
    const QString sender = QString::fromLatin1(kSenders[rng.bounded(int(std::size(kSenders)))]);
    QString pdu = SmsTest::deliverPdu(sender, SmsTest::answer(type, SmsTest::randomBytes(rng, 128)), 0xF6,
                                      rng.bounded(2) ? QStringLiteral("+79168999100") : QString());
    static const QString alphabet = QStringLiteral("0123456789ABCDEFabcdef +/.\\\r\n:,\"ЖF") + QChar(0);
    const int edits = rng.bounded(4);
    for (int k = 0; k < edits && !pdu.isEmpty(); ++k) {
        const int at = rng.bounded(int(pdu.size()));
        switch (rng.bounded(5)) {
        case 0:
            pdu[at] = alphabet.at(rng.bounded(int(alphabet.size())));
            break;
        case 1:
            pdu.truncate(at);
            break;
        case 2:
            pdu.insert(at, alphabet.at(rng.bounded(int(alphabet.size()))));
            break;
        case 3:
            pdu.replace(at, 2, SmsTest::hex(SmsTest::randomBytes(rng, 1)));
            break;
        default:
            pdu = SmsTest::hex(SmsTest::randomBytes(rng, rng.bounded(0, 200)));
            break;
        }
    }
    return pdu;
}

} // namespace

void TestSmsRandomInput::randomListings()
{
    QRandomGenerator rng(20240506);
    const int rounds = qEnvironmentVariableIntValue("KVR_FUZZ_ROUNDS") > 0 ? qEnvironmentVariableIntValue("KVR_FUZZ_ROUNDS")
                                                                           : 5000;
    QTemporaryDir root;
    const QString app = root.filePath(QStringLiteral("app"));
    QVERIFY(QDir().mkpath(app));
    ReceivedProfiles profiles;
    int stored = 0, saved = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString pdu = randomListing(rng);
        const ReceivedSms r = decodeReceivedSms(pdu);
        if (r.accepted()) {
            QVERIFY(r.type.has_value());
            if (*r.type != PacketType::GprsSettings)
                QCOMPARE(r.data.size(), 128);
        }
        PduDecoder::decodePdu(pdu);
        QString line;
        if (mdlSMS::ParseReceivedSms(pdu, profiles, line) &&
            (r.type == PacketType::ReadBlock1 || r.type == PacketType::ReadBlock2))
            ++stored;
        if (round % 16 == 15)
            saved += int(profiles.saveCompleteProfiles(app).size());
    }
    saved += int(profiles.saveCompleteProfiles(app).size());
    QVERIFY(stored > rounds / 10); // the mutations leave many answers intact
    QVERIFY(saved > 0);

    // Every file written is a 260-byte profile named by digits inside app/BIN.
    const QRegularExpression name(QStringLiteral("^[0-9]+\\.bin$"));
    QDirIterator it(root.path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    int files = 0;
    while (it.hasNext()) {
        const QFileInfo f(it.next());
        QCOMPARE(f.absolutePath(), QDir(app).filePath(QStringLiteral("BIN")));
        QVERIFY2(name.match(f.fileName()).hasMatch(), qPrintable(f.fileName()));
        QCOMPARE(f.size(), qint64(260));
        ++files;
    }
    QVERIFY(files > 0);
}

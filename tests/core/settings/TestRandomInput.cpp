#include "TestRandomInput.h"

#include "core/settings/ControlTable.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"
#include "core/settings/ValueTypes.h"
#include "SettingsTestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Mostly well-formed pieces so the fuzzing gets past the first fields.
QByteArray randomTable(QRandomGenerator &rng)
{
    static const char *pieces[] = {"~", "~", "~", "1", "0", "5", "64", "65", "130", "129", "-1", "255", "300",
                                   "BYTE", "WORD", "INT", "SINT", "MBYTE", "BIT", "STRING", "X", "\r\n", ",",
                                   "\"", " ", "2.5", "1e9", "-32768", "abc", "\xC0\xE1\xE2", "\n", "\0"};
    QByteArray out;
    const int n = rng.bounded(1, 200);
    for (int i = 0; i < n; ++i) {
        if (rng.bounded(8) == 0)
            out.append(char(rng.bounded(256)));
        else
            out.append(pieces[rng.bounded(int(std::size(pieces)))]);
    }
    return out;
}
} // namespace

void TestRandomInput::parserSurvivesRandomTables()
{
    QRandomGenerator rng(20261207);
    const int rounds = qEnvironmentVariableIntValue("KVR_FUZZ_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("KVR_FUZZ_ROUNDS")
                           : 3000;
    for (int round = 0; round < rounds; ++round) {
        const QByteArray bytes = randomTable(rng);
        ControlTable t;
        QString err;
        const bool ok = t.ParseControlTableText(TextFile::decode1251(bytes), rng.bounded(2) == 1, err);
        QCOMPARE(ok, err.isEmpty());
        for (const TableEntry &e : t.TableEntries) {
            QVERIFY(e.EventNo >= 0 && e.EventNo <= 64);
            const int width = (e.TypeName == QLatin1String("WORD") || e.TypeName == QLatin1String("INT")) ? 2 : 1;
            QVERIFY(e.Offset >= 0 && e.Offset + width <= SettingsImage::BlockSize);
            if (e.TypeName == QLatin1String("MBYTE"))
                QVERIFY((e.Length & 0xFF) != 0);
        }
        // every stored entry can be shown, stored and reported without leaving the image
        SettingsImage img;
        for (const TableEntry &e : t.TableEntries) {
            ValueTypes::displayValue(e, img);
            ValueTypes::checkAndStore(QStringLiteral("1"), e, img);
        }
        QVERIFY(EventReport::build(t, img).endsWith("</tutorial>\r\n\r\n"));
    }
}

void TestRandomInput::loadersSurviveRandomFiles()
{
    QRandomGenerator rng(7);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.bin"));
    static const int lengths[] = {0, 1, 129, 130, 259, 260, 261, 389, 390, 391, 392, 393, 394, 395, 396, 500, 66000};
    for (int round = 0; round < 600; ++round) {
        const int len = round < int(std::size(lengths)) ? lengths[round] : rng.bounded(0, 1200);
        QByteArray bytes(len, '\0');
        for (char &c : bytes)
            c = char(rng.bounded(256));
        if (len >= 395 && rng.bounded(2) == 0) {
            // plausible description lengths around the end of the file
            const int count = qMax(0, len - 395 + rng.bounded(-3, 4));
            bytes[393] = char(count & 0xFF);
            bytes[394] = char((count >> 8) & 0xFF);
        }
        QVERIFY(writeBytes(path, bytes));
        SettingsImage img;
        const auto form = SettingsFiles::formForLength(SettingsFiles::FileLength(path));
        const bool ok = SettingsFiles::readFile(path, form, img);
        if (form != SettingsFiles::Form::Record)
            QVERIFY(ok);
        if (ok && form == SettingsFiles::Form::Record)
            QVERIFY(img.Description.size() <= len - 395);
        if (!ok) {
            for (quint8 b : img.Block1)
                QCOMPARE(b, quint8(0));
        }
    }
}

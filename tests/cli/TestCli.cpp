#include "TestCli.h"

#include "TestFiles.h"

#include "cli/CliOutput.h"

#include "core/settings/ControlTable.h"
#include "core/settings/EventReport.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>


namespace {
const QString kTable = QStringLiteral("1~5~10~gps~Поворот~~BYTE~~Угол~0~255~10~~град\r\n"
                                      "1~5~11~gps~Поворот~~BIT~1~Флаг\r\n"
                                      "0~5~12~gps~hidden~~WORD~~w~~~300\r\n"
                                      "1~6~~gsm~Звонок~~X\r\n");

QString writeTemp(QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    writeBytes(path, bytes);
    return path;
}
} // namespace

void TestCli::usageErrors()
{
    QCOMPARE(runCli({}).code, 2);
    QCOMPARE(runCli({QStringLiteral("frobnicate")}).code, 2);
    QCOMPARE(runCli({QStringLiteral("report"), QStringLiteral("--table")}).code, 2);
    QCOMPARE(runCli({QStringLiteral("convert"), QStringLiteral("--table"), QStringLiteral("a"), QStringLiteral("--data"),
                  QStringLiteral("b"), QStringLiteral("--out"), QStringLiteral("c"), QStringLiteral("--form"),
                  QStringLiteral("300")})
                 .code,
             2);
}

void TestCli::checkTable()
{
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    ProgramRun r = runCli({QStringLiteral("check-table"), table});
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QStringLiteral("entries: 3\nevents: 2\n"));
    r = runCli({QStringLiteral("check-table"), QStringLiteral("--service"), table});
    QCOMPARE(r.out, QStringLiteral("entries: 4\nevents: 2\n"));

    const QString bad = writeTemp(dir, "bad.stp", "1~5~10~g~c~~BYTE\r\n1~x\r\n");
    r = runCli({QStringLiteral("check-table"), bad});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("Ошибочный параметр в строке 1,ожидалось число(номер события)")));

    // A table without a single entry is no table.
    r = runCli({QStringLiteral("check-table"), writeTemp(dir, "empty.stp", QByteArray())});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("В управляющей таблице нет ни одной записи")));

    r = runCli({QStringLiteral("check-table"), dir.filePath(QStringLiteral("missing.stp"))});
    QCOMPARE(r.code, 1);
    QVERIFY(r.err.contains(QStringLiteral("нет файла управляющей таблицы: ")));
}

void TestCli::reportMatchesLibraryOutput()
{
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    QByteArray data(260, '\0');
    data[9] = char(0x1E);  // Block1[10] = 30
    data[0] = char(0x20);  // journal bit of event 5
    const QString dataPath = writeTemp(dir, "d.bin", data);
    const QString out = dir.filePath(QStringLiteral("Report.xml"));
    ProgramRun r = runCli({QStringLiteral("report"), QStringLiteral("--table"), table, QStringLiteral("--data"), dataPath,
                    QStringLiteral("--out"), out});
    QCOMPARE(r.code, 0);

    ControlTable t;
    QString err;
    QVERIFY(t.ParseControlTable(table, false, err));
    SettingsImage img;
    QVERIFY(SettingsFiles::readFile(dataPath, SettingsFiles::Form::TwoBlock, img));
    QFile f(out);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray written = f.readAll();
    // hidden defaults are not OR-ed into the reported image
    QCOMPARE(written, EventReport::build(t, img));
    QVERIFY(TextFile::decode1251(written).contains(QStringLiteral("<SDESCR> 30град,   </SDESCR>")));
    QVERIFY(TextFile::decode1251(written).contains(QStringLiteral("<JOURNAL>ДА</JOURNAL>")));

    // no data file: an empty image
    r = runCli({QStringLiteral("report"), QStringLiteral("--table"), table, QStringLiteral("--out"), out});
    QCOMPARE(r.code, 0);
    r = runCli({QStringLiteral("report"), QStringLiteral("--table"), table, QStringLiteral("--data"),
             dir.filePath(QStringLiteral("none.bin")), QStringLiteral("--out"), out});
    QCOMPARE(r.code, 1);
}

void TestCli::reportAsHtml()
{
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    const QString data = writeTemp(dir, "d.bin", QByteArray(1, '\x20') + QByteArray(8, '\0') + '\x1E'); // journal 5, 30
    const QString html = dir.filePath(QStringLiteral("Report.html"));
    const QStringList args = {QStringLiteral("report"), QStringLiteral("--table"), table, QStringLiteral("--html"), html};
    QCOMPARE(runCli(args + QStringList{QStringLiteral("--data"), data}).code, 0);
    // One row a event through the shipped stylesheet; the page names its code page.
    const QString page = TextFile::decode1251(readBytes(html));
    QVERIFY(page.contains(QStringLiteral("charset=windows-1251")) && page.count(QStringLiteral("<tr>")) == 1 + 2);
    QVERIFY(page.contains(QStringLiteral("<td>Поворот</td>")) && page.contains(QStringLiteral("<td>30град,</td>")));
    QCOMPARE(runCli(args + QStringList{QStringLiteral("--xsl"), writeTemp(dir, "b.xsl", "<xsl:")}).code, 1);
}

void TestCli::outputsThatCannotBeWritten()
{
    // What the tool adds to the writer: the message on standard error and exit code 1, for every output.
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    const QString in = writeTemp(dir, "in.bin", QByteArray(390, '\x01'));
    const QString refused = QStringLiteral("kvrsetup-cli: Ошибка записи в файл ") + dir.path() + QStringLiteral(": это каталог\n");
    ProgramRun r = runCli({QStringLiteral("convert"), QStringLiteral("--table"), table, QStringLiteral("--data"), in,
                           QStringLiteral("--out"), dir.path(), QStringLiteral("--form"), QStringLiteral("260")});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, refused);
    r = runCli({QStringLiteral("report"), QStringLiteral("--table"), table, QStringLiteral("--out"), dir.path()});
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err, refused);
}

void TestCli::convertAddsHiddenDefaults()
{
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    QByteArray data(390, '\0');
    data[130 * 2 + 4] = char(0x55); // Block3 position 5
    const QString in = writeTemp(dir, "in.bin", data);
    const QString out260 = dir.filePath(QStringLiteral("o260.bin"));
    const QString out390 = dir.filePath(QStringLiteral("o390.bin"));
    QCOMPARE(runCli({QStringLiteral("convert"), QStringLiteral("--table"), table, QStringLiteral("--data"), in,
                  QStringLiteral("--out"), out260, QStringLiteral("--form"), QStringLiteral("260")})
                 .code,
             0);
    QCOMPARE(runCli({QStringLiteral("convert"), QStringLiteral("--table"), table, QStringLiteral("--data"), in,
                  QStringLiteral("--out"), out390, QStringLiteral("--form"), QStringLiteral("390")})
                 .code,
             0);
    QFile a(out260), b(out390);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray two = a.readAll();
    const QByteArray three = b.readAll();
    QCOMPARE(two.size(), 260);
    QCOMPARE(three.size(), 390);
    // WORD 300 at offset 12: file bytes 11 and 12, then the sum 0x012D
    QCOMPARE(two.mid(11, 2), QByteArray("\x01\x2C", 2));
    QCOMPARE(two.mid(128, 2), QByteArray("\x00\x2D", 2));
    QCOMPARE(three.left(260), two);
    QCOMPARE(quint8(three[260 + 4]), quint8(0x55));
}

void TestCli::show()
{
    QTemporaryDir dir;
    const QString table = writeTemp(dir, "t.stp", TextFile::encode1251(kTable));
    QByteArray data(260, '\0');
    data[9] = char(42);
    data[10] = char(1);
    const QString in = writeTemp(dir, "in.bin", data);
    const ProgramRun r = runCli({QStringLiteral("show"), QStringLiteral("--table"), table, QStringLiteral("--data"), in});
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.contains(QStringLiteral("№5 Поворот")));
    QVERIFY(r.out.contains(QStringLiteral("Угол = 42 град")));
    QVERIFY(r.out.contains(QStringLiteral("Флаг = [x]")));
    QVERIFY(r.out.contains(QStringLiteral("№6 Звонок")));
    // --name=VALUE is --name VALUE.
    QCOMPARE(runCli({QStringLiteral("show"), QStringLiteral("--table=") + table, QStringLiteral("--data=") + in}).out, r.out);
}

void TestCli::shownTextIsInert_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("C0 and DEL") << QString::fromLatin1("\x1B[2Jok\rNO\0\t\n\x7F", 13)
                                << QStringLiteral("\\x1B[2Jok\\x0DNO\\x00\\x09\\x0A\\x7F");
    QTest::newRow("C1, separators, bidi") << QStringLiteral("\u009B2J\u2028\u2029\u202Eexe.txt\u202C\u2066\u2069\u200F")
                                          << QStringLiteral("\\u{009B}2J\\u{2028}\\u{2029}\\u{202E}exe.txt\\u{202C}"
                                                            "\\u{2066}\\u{2069}\\u{200F}");
    QTest::newRow("halves without a pair") << QString(QChar(0xD800)) + QLatin1Char('x') + QChar(0xDC00)
                                           << QStringLiteral("\\u{D800}x\\u{DC00}");
    QTest::newRow("left as it is") << QStringLiteral("Грузовик \\x41 \U0001F69A ©") << QStringLiteral("Грузовик \\x41 \U0001F69A ©");
}

void TestCli::shownTextIsInert()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(shown(text), expected);
    QCOMPARE(shown(expected), expected);
}

#include "TestMdlStrings.h"

#include "core/link/mdlStrings.h"

#include <QTest>

using namespace mdlStrings;

void TestMdlStrings::byteToHex_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("hex");
    QTest::newRow("3E") << 0x3E << "3E";
    QTest::newRow("05") << 0x05 << "05";
    QTest::newRow("00") << 0x00 << "00";
    QTest::newRow("FF") << 0xFF << "FF";
    QTest::newRow("A0") << 0xA0 << "A0";
}

void TestMdlStrings::byteToHex()
{
    QFETCH(int, byte);
    QFETCH(QString, hex);
    QCOMPARE(ByteToHex(quint8(byte)), hex);
}

void TestMdlStrings::trimCrLf_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("plain") << "OK" << "OK";
    QTest::newRow("both ends") << "\r\n\r\nOK\r\n" << "OK";
    QTest::newRow("inner stays") << "\nATI\r\r\nLINE\r" << "ATI\r\r\nLINE";
    QTest::newRow("only breaks") << "\r\n\n\r" << "";
    QTest::newRow("spaces stay") << " OK \r\n" << " OK ";
    QTest::newRow("empty") << "" << "";
}

void TestMdlStrings::trimCrLf()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(TrimCrLf(in), out);
}

void TestMdlStrings::recordSum()
{
    QByteArray record(140, '\0');
    record[0] = char(0x43);
    QCOMPARE(RecordSum(record), qint64(0x43));
    // Every byte 0xFF: no wrap, and octets 138 and 139 (the sum field) do not count.
    record.fill(char(0xFF));
    QCOMPARE(RecordSum(record), qint64(138 * 255));
    QCOMPARE(RecordSum(QByteArray("\x01\x02\x03", 3)), qint64(6));
}

void TestMdlStrings::ansiRoundTrip()
{
    for (int b = 0; b < 256; ++b) {
        const QChar c = ansiChar(quint8(b));
        QCOMPARE(int(ansiByte(c)), b);
    }
    QCOMPARE(ansiByte(QChar(0x4E00)), quint8('?'));
}

void TestMdlStrings::ansiCyrillic()
{
    QCOMPARE(toAnsi(QStringLiteral("Модем")), QByteArray("\xCC\xEE\xE4\xE5\xEC"));
    QCOMPARE(fromAnsi(QByteArray("\xA8\xB8\xB9")), QStringLiteral("Ёё№"));
}

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

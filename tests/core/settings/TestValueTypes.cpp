#include "TestValueTypes.h"

#include "core/settings/EventMasks.h"
#include "core/settings/ValueTypes.h"

#include <QTest>

namespace {
TableEntry entry(const char *type, int offset = 10, int length = 0, float min = -100000, float max = 100000)
{
    TableEntry e;
    e.TypeName = QLatin1String(type);
    e.Type = ParamTypes::fromName(e.TypeName);
    e.Offset = qint16(offset);
    e.Length = qint16(length);
    e.MinValue = min;
    e.MaxValue = max;
    e.ParamCaption = QStringLiteral("Label");
    return e;
}
} // namespace

void TestValueTypes::typeRanges_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("byte 255") << "BYTE" << "255" << true;
    QTest::newRow("byte 256") << "BYTE" << "256" << false;
    QTest::newRow("byte -1") << "BYTE" << "-1" << false;
    QTest::newRow("byte empty") << "BYTE" << "" << false;
    QTest::newRow("byte letters") << "BYTE" << "abc" << false;
    QTest::newRow("word 65535") << "WORD" << "65535" << true;
    QTest::newRow("word 65536") << "WORD" << "65536" << false;
    QTest::newRow("int -32768") << "INT" << "-32768" << true;
    QTest::newRow("int 32768") << "INT" << "32768" << false;
    QTest::newRow("sint -128") << "SINT" << "-128" << true;
    QTest::newRow("sint 128") << "SINT" << "128" << false;
    QTest::newRow("mbyte 255") << "MBYTE" << "255" << true;
    QTest::newRow("mbyte 256") << "MBYTE" << "256" << false;
    QTest::newRow("beyond 32 bits") << "WORD" << "5000000000" << false;
    QTest::newRow("spaces") << "BYTE" << "  7 " << true;
}

void TestValueTypes::typeRanges()
{
    QFETCH(QString, type);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    const TableEntry e = entry(type.toLatin1().constData());
    QString t = text;
    QCOMPARE(ValueTypes::isPossible(t, e), valid);
    QCOMPARE(t, text.trimmed());
}

void TestValueTypes::tableLimits()
{
    const TableEntry e = entry("BYTE", 10, 0, 1, 10);
    QString t;
    QVERIFY(!ValueTypes::IsPossibleByte(t = QStringLiteral("0"), e));
    QVERIFY(!ValueTypes::IsPossibleByte(t = QStringLiteral("11"), e));
    QVERIFY(ValueTypes::IsPossibleByte(t = QStringLiteral("10"), e));
    // 256 is refused by the type even when the table allows more
    const TableEntry wide = entry("BYTE", 10, 0, 0, 1000);
    QVERIFY(!ValueTypes::IsPossibleByte(t = QStringLiteral("256"), wide));
}

void TestValueTypes::storeAndDisplay_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("shown");
    QTest::newRow("byte 12.5") << "BYTE" << 0 << "12.5" << QByteArray("\x0C", 1) << qint64(12);
    QTest::newRow("word 300") << "WORD" << 0 << "300" << QByteArray("\x01\x2C", 2) << qint64(300);
    QTest::newRow("word 65535") << "WORD" << 0 << "65535" << QByteArray("\xFF\xFF", 2) << qint64(65535);
    QTest::newRow("int -2") << "INT" << 0 << "-2" << QByteArray("\xFF\xFE", 2) << qint64(-2);
    QTest::newRow("int -32768") << "INT" << 0 << "-32768" << QByteArray("\x80\x00", 2) << qint64(-32768);
    QTest::newRow("sint -2") << "SINT" << 0 << "-2" << QByteArray("\xFE", 1) << qint64(-2);
    QTest::newRow("sint -128") << "SINT" << 0 << "-128" << QByteArray("\x80", 1) << qint64(-128);
    QTest::newRow("mbyte 0x30 value 2") << "MBYTE" << 0x30 << "2" << QByteArray("\x20", 1) << qint64(2);
    QTest::newRow("mbyte 0x0C value 3") << "MBYTE" << 0x0C << "3" << QByteArray("\x0C", 1) << qint64(3);
    QTest::newRow("mbyte 0x0C value 5") << "MBYTE" << 0x0C << "5" << QByteArray("\x04", 1) << qint64(1);
}

void TestValueTypes::storeAndDisplay()
{
    QFETCH(QString, type);
    QFETCH(int, length);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, shown);
    const TableEntry e = entry(type.toLatin1().constData(), 20, length);
    SettingsImage img;
    QVERIFY(ValueTypes::checkAndStore(text, e, img));
    for (int i = 0; i < bytes.size(); ++i)
        QCOMPARE(img.Block1[20 + i], quint8(bytes[i]));
    QCOMPARE(img.Block1[19], quint8(0));
    QCOMPARE(img.Block1[20 + bytes.size()], quint8(0));
    QCOMPARE(ValueTypes::displayValue(e, img), shown);
}

void TestValueTypes::paramValidateNormalises()
{
    const TableEntry e = entry("BYTE", 5);
    SettingsImage img;
    img.Block1[5] = 99;
    QString box = QStringLiteral("  ");
    QVERIFY(!ValueTypes::ParamValidate(box, e, img));
    QCOMPARE(box, QStringLiteral("0"));
    QCOMPARE(img.Block1[5], quint8(0));

    img.Block1[5] = 99;
    box = QStringLiteral("-");
    QVERIFY(!ValueTypes::ParamValidate(box, e, img));
    QCOMPARE(box, QStringLiteral("-0"));
    QCOMPARE(img.Block1[5], quint8(0));

    box = QStringLiteral("+");
    QVERIFY(!ValueTypes::ParamValidate(box, e, img));
    QCOMPARE(box, QStringLiteral("0"));

    // invalid: text stays, image keeps its value
    img.Block1[5] = 42;
    box = QStringLiteral("abc");
    QVERIFY(ValueTypes::ParamValidate(box, e, img));
    QCOMPARE(box, QStringLiteral("abc"));
    QCOMPARE(img.Block1[5], quint8(42));

    // table limits that exclude 0 refuse the emptied box
    const TableEntry limited = entry("BYTE", 5, 0, 1, 10);
    box = QString();
    QVERIFY(ValueTypes::ParamValidate(box, limited, img));
    QCOMPARE(ValueTypes::invalidValueMessage(QStringLiteral("Порог")),
             QStringLiteral("Ошибочное значение в параметре Порог\r\n"));
}

void TestValueTypes::mbyteKeepsOtherBits()
{
    const TableEntry e = entry("MBYTE", 7, 0x30);
    SettingsImage img;
    img.Block1[7] = 0xDF; // bit 5 set, bit 4 set, others set too
    QVERIFY(ValueTypes::checkAndStore(QStringLiteral("2"), e, img));
    QCOMPARE(img.Block1[7], quint8(0xEF)); // AND 0xCF, OR 0x20
    QCOMPARE(ValueTypes::displayValue(e, img), 2);
    QCOMPARE(ValueTypes::maskShift(0x30), 4);
    QCOMPARE(ValueTypes::maskShift(0x80), 7);
    QCOMPARE(ValueTypes::maskShift(0), 0);
}

void TestValueTypes::stringAndBit()
{
    SettingsImage img;
    const SettingsImage before = img;
    QString box = QStringLiteral("anything at all");
    QVERIFY(!ValueTypes::ParamValidate(box, entry("STRING", 10, 8), img));
    QVERIFY(img == before);

    const TableEntry bit = entry("BIT", 30, 0x03);
    img.Block1[30] = 0xFF;
    QVERIFY(ValueTypes::bitValue(bit, img));
    ValueTypes::storeBit(bit, false, img);
    QCOMPARE(img.Block1[30], quint8(0xFC));
    QVERIFY(!ValueTypes::bitValue(bit, img));
    ValueTypes::storeBit(bit, true, img);
    QCOMPARE(img.Block1[30], quint8(0xFF));
}

void TestValueTypes::masks()
{
    SettingsImage img;
    // event 9: journal bit 1 of Block1[2], info bit 1 of Block1[122]
    EventMasks::setMaskBit(img, EventMasks::Journal, 9, true);
    EventMasks::setMaskBit(img, EventMasks::Info, 9, true);
    EventMasks::setMaskBit(img, EventMasks::Auto, 9, true);
    EventMasks::setMaskBit(img, EventMasks::Alarm, 9, true);
    QCOMPARE(img.Block1[2], quint8(0x02));
    QCOMPARE(img.Block1[10], quint8(0x02));
    QCOMPARE(img.Block1[18], quint8(0x02));
    QCOMPARE(img.Block1[122], quint8(0x02));
    EventMasks::setMaskBit(img, EventMasks::Journal, 9, false);
    QCOMPARE(img.Block1[2], quint8(0));
    QVERIFY(EventMasks::maskBit(img, EventMasks::Info, 9));
    // event 63 is the last with mask bits, 64 has none and writes nowhere
    EventMasks::setMaskBit(img, EventMasks::Info, 63, true);
    QCOMPARE(img.Block1[128], quint8(0x80));
    const SettingsImage before = img;
    EventMasks::setMaskBit(img, EventMasks::Info, 64, true);
    QVERIFY(img == before);
    QVERIFY(!EventMasks::maskBit(img, EventMasks::Info, 64));
    // output masks of event 9 and of event 64 (the last pair of the block)
    EventMasks::setOutputByte(img, 0, 9, 1);
    EventMasks::setOutputByte(img, 1, 9, 2);
    EventMasks::setOutputByte(img, 2, 9, 3);
    QCOMPARE(img.Block2[19], quint8(1));
    QCOMPARE(img.Block2[20], quint8(2));
    QCOMPARE(img.Block3[19], quint8(3));
    EventMasks::setOutputByte(img, 1, 64, 7);
    QCOMPARE(img.Block2[130], quint8(7));
}

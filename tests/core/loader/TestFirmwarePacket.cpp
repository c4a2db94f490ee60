#include "TestFirmwarePacket.h"

#include "FirmwareFixture.h"
#include "LoaderRig.h"
#include "core/loader/BankImages.h"
#include "core/loader/FirmwarePacket.h"

#include <QTest>

#include <cstring>
#include <memory>

using FirmwareFixture::pattern;

namespace {

std::unique_ptr<BankImages> imagesWith(int bank, const QByteArray &content)
{
    auto images = std::make_unique<BankImages>();
    images->clear();
    BankRecord &r = (*images)[bank];
    std::memcpy(r.Data.data(), content.constData(), size_t(content.size()));
    r.Length = qint32(content.size());
    return images;
}

} // namespace

void TestFirmwarePacket::headerBytesByHand()
{
    const auto images = imagesWith(0, QByteArray::fromHex("123498"));
    FirmwarePacket p;
    p.PreparePacket(*images, 0, 0, 0);
    // 0x12 ^ 0x34 ^ 0x98 = 0xBE; the header XOR is 0x04 ^ 0xBE = 0xBA.
    QCOMPARE(p.HeaderPacket.toHex().toUpper(), QByteArray("000004000000BEBA"));
    QCOMPARE(p.DataPacket, QByteArray::fromHex("123498") + QByteArray(1021, '\0'));
    QCOMPARE(p.PacketLength, 3);
    QCOMPARE(int(p.DataXor), 0xBE);
    QCOMPARE(int(p.HeaderXor), 0xBA);
}

void TestFirmwarePacket::bankedBlocks_data()
{
    QTest::addColumn<int>("bank");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("addr");
    QTest::addColumn<int>("packetLength");
    QTest::addColumn<int>("sentAddress");
    QTest::newRow("bank 1 at 0x400") << 1 << 32768 << 0x400 << 1024 << 0x8400;
    QTest::newRow("bank 0 at 0x2800") << 0 << 32768 << 0x2800 << 1024 << 0x2800;
    QTest::newRow("one byte left") << 2 << 1025 << 1024 << 1 << 0x8400;
    QTest::newRow("empty bank") << 3 << 0 << 0 << 0 << 0x8000;
    QTest::newRow("last block of bank 3") << 3 << 32768 << 0x7C00 << 1024 << 0xFC00;
}

void TestFirmwarePacket::bankedBlocks()
{
    QFETCH(int, bank);
    QFETCH(int, length);
    QFETCH(int, addr);
    QFETCH(int, packetLength);
    QFETCH(int, sentAddress);
    const QByteArray content = pattern(length, bank);
    const auto images = imagesWith(bank, content);
    FirmwarePacket p;
    p.PreparePacket(*images, addr, quint8(bank), 0);
    const QByteArray data = FirmwareFixture::padded(content, addr, 1024);
    QCOMPARE(p.DataPacket, data);
    QCOMPARE(p.HeaderPacket, headerOf(sentAddress, 1024, bank, data));
    QCOMPARE(p.PacketLength, packetLength);
    QCOMPARE(p.PacketAddress, sentAddress);
    QCOMPARE(int(p.PacketBank), bank);
    QCOMPARE(int(p.PacketReserved), 0);
    QCOMPARE(int(p.DataXor), int(quint8(p.HeaderPacket[6])));
    QCOMPARE(int(p.HeaderXor), int(quint8(p.HeaderPacket[7])));
}

void TestFirmwarePacket::closingPacket()
{
    const QByteArray content = pattern(32768, 9);
    const auto images = imagesWith(0, content);
    FirmwarePacket p;
    p.PreparePacket(*images, 0x2800, 0, 0); // a block before must not leak into the closing packet
    p.PreparePacket(*images, 0, 0, 256);
    QCOMPARE(p.HeaderPacket.left(6), QByteArray::fromHex("000001000000"));
    QCOMPARE(p.HeaderPacket, headerOf(0, 256, 0, content.left(256)));
    QCOMPARE(p.DataPacket, content.left(256));
    QCOMPARE(p.PacketLength, 256);
    QCOMPARE(p.PacketAddress, 0);

    // A bank 0 shorter than the closing packet: the rest are zeros.
    const auto shortImage = imagesWith(0, pattern(100, 2));
    p.PreparePacket(*shortImage, 0, 0, 256);
    QCOMPARE(p.DataPacket, pattern(100, 2) + QByteArray(156, '\0'));
    QCOMPARE(p.PacketLength, 256);
}

void TestFirmwarePacket::linearBlocks_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("addr");
    QTest::addColumn<int>("packetLength");
    QTest::newRow("at 0x1000") << 65501 << 0x1000 << 512;
    QTest::newRow("short last block") << 1300 << 1024 << 276;
    QTest::newRow("past the record at 0xFE00") << 65501 << 0xFE00 << 477;
}

void TestFirmwarePacket::linearBlocks()
{
    QFETCH(int, length);
    QFETCH(int, addr);
    QFETCH(int, packetLength);
    const QByteArray content = pattern(length, 3);
    const auto images = imagesWith(0, content);
    // Bytes in other banks must not matter: the linear image is bank 0.
    std::memset((*images)[2].Data.data(), 0x77, BankRecord::Size);
    (*images)[2].Length = BankRecord::Size;
    FirmwarePacket p;
    p.PreparePacket1(*images, addr, 2, 0);
    const QByteArray data = FirmwareFixture::padded(content, addr, 512);
    QCOMPARE(p.DataPacket, data);
    QCOMPARE(p.HeaderPacket, headerOf(addr, 512, 0, data));
    QCOMPARE(p.PacketLength, packetLength);
    QCOMPARE(p.PacketAddress, addr);
    QCOMPARE(int(p.PacketBank), 0);
}

#include "core/loader/FirmwarePacket.h"

#include "core/loader/BankImages.h"

#include <algorithm>

void FirmwarePacket::PreparePacket(const BankImages &images, qint32 AddrData, quint8 Bank, qint16 LastFlag)
{
    const qint32 address = Bank != 0 ? AddrData + BankImages::BankWindow : AddrData;
    build(images, Bank, AddrData, address, Bank, BankedBlock, LastFlag);
}

void FirmwarePacket::PreparePacket1(const BankImages &images, qint32 AddrData, quint8 /*Bank*/, qint16 LastFlag)
{
    build(images, 0, AddrData, AddrData, 0, LinearBlock, LastFlag);
}

void FirmwarePacket::build(const BankImages &images, int imageBank, qint32 AddrData, qint32 address, quint8 bank,
                           int blockSize, qint16 LastFlag)
{
    const qint32 remaining = images.usableLength(imageBank) - AddrData;
    const qint32 count = std::min(remaining, blockSize);

    PacketAddress = address;
    PacketBank = bank;
    PacketReserved = 0;
    int carried = blockSize;
    if (LastFlag != 0) {
        PacketLength = LastFlag;
        carried = LastFlag;
    } else {
        PacketLength = count;
    }

    DataPacket = images.bytes(imageBank, AddrData, carried);
    DataXor = 0;
    for (char c : std::as_const(DataPacket))
        DataXor ^= quint8(c);

    HeaderPacket.resize(HeaderSize);
    HeaderPacket[0] = char((PacketAddress >> 8) & 0xFF);
    HeaderPacket[1] = char(PacketAddress & 0xFF);
    HeaderPacket[2] = char((carried >> 8) & 0xFF);
    HeaderPacket[3] = char(carried & 0xFF);
    HeaderPacket[4] = char(PacketBank);
    HeaderPacket[5] = char(PacketReserved);
    HeaderPacket[6] = char(DataXor);
    HeaderXor = 0;
    for (int i = 0; i < 7; ++i)
        HeaderXor ^= quint8(HeaderPacket[i]);
    HeaderPacket[7] = char(HeaderXor);
}

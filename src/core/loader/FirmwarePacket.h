#pragma once

#include <QByteArray>

class BankImages;

// The packet state of the loader: one block cut from the bank images and
// framed as an 8-byte header packet and a data packet.
//
// Header: address high, address low, length high, length low, bank,
// reserved 0, XOR of the data, XOR of header bytes 0 to 6.
class FirmwarePacket
{
public:
    static constexpr int BankedBlock = 1024;
    static constexpr int LinearBlock = 512;
    static constexpr int ClosingBlock = 256;
    static constexpr int HeaderSize = 8;

    qint32 PacketAddress = 0; // only the low 16 bits are sent
    qint32 PacketLength = 0;  // real image bytes in the block; the loader advances by it
    quint8 PacketBank = 0;
    quint8 PacketReserved = 0;
    quint8 DataXor = 0;
    quint8 HeaderXor = 0;
    QByteArray HeaderPacket;
    QByteArray DataPacket;

    // A banked block of bank Bank from position AddrData. LastFlag not 0: a block of
    // exactly LastFlag bytes (the closing packet); otherwise 1024 bytes, of which
    // PacketLength are image bytes.
    void PreparePacket(const BankImages &images, qint32 AddrData, quint8 Bank, qint16 LastFlag);
    // A linear block: 512 bytes of bank 0, no address offset, bank byte 0. Bank is not used.
    void PreparePacket1(const BankImages &images, qint32 AddrData, quint8 Bank, qint16 LastFlag);

private:
    void build(const BankImages &images, int imageBank, qint32 AddrData, qint32 address, quint8 bank,
               int blockSize, qint16 LastFlag);
};

#pragma once

#include "core/pdu/PacketType.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>

// The 140 octets of user data of every short message the module builder sends:
// type, 130-byte block, 7 reserved zero bytes, 16-bit sum high byte first.
struct TransferRecord
{
    static constexpr int Size = 140;
    static constexpr int BlockSize = 130;
    static constexpr int ReservedSize = 7;
    static constexpr int SummedSize = 1 + BlockSize + ReservedSize; // octets 0..137
    static constexpr int ProfileFileSize = 2 * BlockSize;          // a two-block data file

    quint8 RecordType = 0;
    std::array<quint8, BlockSize> RecordBlock{};
    std::array<quint8, ReservedSize> RecordReserved{};
    // The plain sum of octets 0..137 can reach 138 * 255 = 35190; only its low 16 bits
    // fit, which is also what a terminal adding bytes in a 16-bit register computes.
    quint16 RecordSumField = 0;

    // Plain sum (no wrap) of the first 138 octets of a record: type byte, 130-byte block and
    // 7-byte block. A shorter array sums what it has.
    static qint64 RecordSum(const QByteArray &record);

    // Octets 0..137, the part the sum covers (what RecordSum takes).
    QByteArray summedOctets() const;
    // All 140 octets in record order.
    QByteArray octets() const;
    // RecordSumField = low 16 bits of RecordSum of the record.
    void updateSum();

    // One packet of a profile send or read request: type 0x33 carries bytes 0..129 of a
    // two-block profile file, 0x35 bytes 130..259, any other type a zero block. Bytes
    // missing from a short file count as zero. The sum is set.
    static TransferRecord forPacket(PacketType type, QByteArrayView profileFile = {});
};

#include "core/pdu/TransferRecord.h"

qint64 TransferRecord::RecordSum(const QByteArray &record)
{
    qint64 sum = 0;
    const qsizetype n = qMin<qsizetype>(record.size(), SummedSize);
    for (qsizetype i = 0; i < n; ++i)
        sum += quint8(record.at(i));
    return sum;
}

QByteArray TransferRecord::summedOctets() const
{
    QByteArray out;
    out.reserve(Size);
    out.append(char(RecordType));
    out.append(reinterpret_cast<const char *>(RecordBlock.data()), BlockSize);
    out.append(reinterpret_cast<const char *>(RecordReserved.data()), ReservedSize);
    return out;
}

QByteArray TransferRecord::octets() const
{
    QByteArray out = summedOctets();
    out.append(char(RecordSumField >> 8));
    out.append(char(RecordSumField & 0xFF));
    return out;
}

void TransferRecord::updateSum()
{
    RecordSumField = quint16(RecordSum(summedOctets()) & 0xFFFF);
}

TransferRecord TransferRecord::forPacket(PacketType type, QByteArrayView profileFile)
{
    TransferRecord rec;
    rec.RecordType = quint8(type);
    qsizetype from = -1;
    if (type == PacketType::ProfileBlock1)
        from = 0;
    else if (type == PacketType::ProfileBlock2)
        from = BlockSize;
    for (qsizetype i = 0; from >= 0 && i < BlockSize && from + i < profileFile.size(); ++i)
        rec.RecordBlock[i] = quint8(profileFile.at(from + i));
    rec.updateSum();
    return rec;
}

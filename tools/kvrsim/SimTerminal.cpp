#include "SimTerminal.h"

namespace {

int sumOf(const QByteArray &bytes, int from, int count)
{
    int sum = 0;
    for (int i = from; i < from + count; ++i)
        sum += uchar(bytes.at(i));
    return sum;
}

} // namespace

SimTerminal::SimTerminal(const QString &number, const QByteArray &image) : m_number(number), m_image(image)
{
    m_image.resize(ImageSize, '\0');
}

QByteArray SimTerminal::defaultImage(const QString &number)
{
    QByteArray image(ImageSize, '\0');
    uint seed = qHash(number);
    for (int block = 0; block < 2; ++block) {
        const int offset = block * BlockSize;
        for (int i = 0; i < DataOctets; ++i) {
            seed = seed * 1103515245u + 12345u;
            image[offset + i] = char((seed >> 16) & 0xFF);
        }
        const int sum = sumOf(image, offset, DataOctets);
        image[offset + 128] = char(sum >> 8);
        image[offset + 129] = char(sum & 0xFF);
    }
    return image;
}

QByteArray SimTerminal::answer(quint8 type, const QByteArray &data)
{
    QByteArray ud;
    ud.append(char(type));
    ud.append(QByteArray::fromHex("05000001"));
    ud += data.left(DataOctets).leftJustified(DataOctets, '\0');
    return ud.leftJustified(140, '\0');
}

void SimTerminal::setBlock(int offset, const QByteArray &data128)
{
    for (int i = 0; i < DataOctets; ++i)
        m_image[offset + i] = data128.at(i);
    const int sum = sumOf(m_image, offset, DataOctets);
    m_image[offset + 128] = char(sum >> 8);
    m_image[offset + 129] = char(sum & 0xFF);
}

QList<QByteArray> SimTerminal::receive(quint8 dataCoding, const QByteArray &userData, QString &note)
{
    if (userData.size() != 140) {
        note = QStringLiteral("ignored: %1 octets of user data").arg(userData.size());
        return {};
    }
    // The profile scenario writes its packets with coding 04 and its data bytes low nibble
    // first; the module builder uses coding F6 and whole transfer records.
    if (dataCoding == 0x04)
        return receiveScenarioPacket(userData, note);
    if (dataCoding == 0xF6)
        return receiveRecord(userData, note);
    note = QStringLiteral("ignored: coding %1").arg(dataCoding, 2, 16, QLatin1Char('0'));
    return {};
}

QList<QByteArray> SimTerminal::receiveRecord(const QByteArray &ud, QString &note)
{
    const int type = uchar(ud.at(0));
    const int sent = (uchar(ud.at(138)) << 8) | uchar(ud.at(139));
    if ((sumOf(ud, 0, 138) & 0xFFFF) != sent) {
        note = QStringLiteral("ignored: record %1 with a bad sum").arg(type, 2, 16, QLatin1Char('0'));
        return {};
    }
    note = QStringLiteral("record %1").arg(type, 2, 16, QLatin1Char('0'));
    switch (type) {
    case 0x33:
        m_image.replace(0, BlockSize, ud.mid(1, BlockSize));
        return {answer(0x33, m_image.mid(0, DataOctets))};
    case 0x35:
        m_image.replace(BlockSize, BlockSize, ud.mid(1, BlockSize));
        return {answer(0x35, m_image.mid(BlockSize, DataOctets))};
    case 0x43:
        return {answer(0x43, m_image.mid(0, DataOctets))};
    case 0x45:
        return {answer(0x45, m_image.mid(BlockSize, DataOctets))};
    case 0x57:
        m_gprs = ud.mid(1, BlockSize);
        return {answer(0x57, m_gprs)};
    default:
        note = QStringLiteral("ignored: record type %1").arg(type, 2, 16, QLatin1Char('0'));
        return {};
    }
}

QList<QByteArray> SimTerminal::receiveScenarioPacket(const QByteArray &ud, QString &note)
{
    const int type = uchar(ud.at(0));
    if (type != 0x33 && type != 0x35) {
        note = QStringLiteral("ignored: scenario packet %1").arg(type, 2, 16, QLatin1Char('0'));
        return {};
    }
    QByteArray data;
    for (int i = 1; i <= DataOctets; ++i) {
        const uchar b = uchar(ud.at(i));
        data.append(char((b << 4) | (b >> 4))); // the nibbles come swapped
    }
    const int sent = (uchar(ud.at(138)) << 8) | uchar(ud.at(139));
    if (((type + sumOf(data, 0, DataOctets)) & 0xFFFF) != sent) {
        note = QStringLiteral("ignored: scenario packet %1 with a bad sum").arg(type, 2, 16, QLatin1Char('0'));
        return {};
    }
    const int offset = type == 0x33 ? 0 : BlockSize;
    setBlock(offset, data);
    note = QStringLiteral("scenario packet %1").arg(type, 2, 16, QLatin1Char('0'));
    return {answer(quint8(type), m_image.mid(offset, DataOctets))};
}

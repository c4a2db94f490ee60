#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Firmware image files for the loader tests and, worked out independently of the
// loader, the blocks a load must send and the memory image kvrsim's boot loader
// must hold afterwards (4 banks of 64 KB, bank B at offset B * 65536, erased to 0xFF).
namespace FirmwareFixture {

constexpr int BankSize = 0x10000;

// size bytes in which every value 0x00..0xFF occurs (from 256 bytes on); seed shifts the pattern.
inline QByteArray pattern(int size, int seed = 0)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i + seed * 37 + (i >> 8) * 11) & 0xFF);
    return b;
}

struct Block
{
    int bank = 0;
    int address = 0; // within the bank's record (what the log shows)
    int imageBytes = 0;
};

struct Transfer
{
    QList<Block> blocks;
    QByteArray image; // after the closing packet
};

inline QByteArray padded(const QByteArray &bytes, int from, int count)
{
    QByteArray out = from < bytes.size() ? bytes.mid(from, count) : QByteArray();
    out.append(QByteArray(count - out.size(), '\0'));
    return out;
}

// Banked load: file 1 fills banks 0 and 1; files 2 and 3 (full 64 KB images) give their upper halves.
inline Transfer banked(const QByteArray &file1, const QByteArray &file2, const QByteArray &file3, int bank,
                       int address, bool haveFile2 = true, bool haveFile3 = true)
{
    QByteArray banks[4];
    banks[0] = file1.left(0x8000);
    banks[1] = file1.mid(0x8000);
    if (haveFile2) {
        banks[2] = file2.mid(0x8000);
        if (haveFile3)
            banks[3] = file3.mid(0x8000);
    }
    Transfer t;
    t.image = QByteArray(4 * BankSize, char(0xFF));
    bool none = false;
    if (banks[bank].size() < address) {
        if (bank == 3)
            none = true;
        else {
            ++bank;
            address = 0;
        }
    }
    while (!none) {
        const int length = int(banks[bank].size());
        const int carried = qMin(qMax(length - address, 0), 1024);
        t.blocks.append({bank, address, carried});
        t.image.replace(bank * BankSize + (bank ? 0x8000 : 0) + address, 1024, padded(banks[bank], address, 1024));
        address += carried;
        if (address < length)
            continue;
        if (bank == 3)
            break;
        ++bank;
        address = 0;
    }
    t.image.replace(0, 256, padded(banks[0], 0, 256));
    return t;
}

// Linear load: one file into bank 0, 512-byte blocks; logBank only names the blocks.
inline Transfer linear(const QByteArray &file, int address, int logBank = 0)
{
    Transfer t;
    t.image = QByteArray(4 * BankSize, char(0xFF));
    const int length = int(file.size());
    while (address < length) {
        const int carried = qMin(length - address, 512);
        t.blocks.append({logBank, address, carried});
        t.image.replace(address, 512, padded(file, address, 512));
        address += carried;
    }
    t.image.replace(0, 256, padded(file, 0, 256));
    return t;
}

// The state-log lines of a transfer whose boot loader had to be started and took it at once.
inline QStringList entryLines(bool bootStarted = true)
{
    QStringList lines;
    if (bootStarted)
        lines << QStringLiteral(" команда перейти в BOOT") << QStringLiteral(" команда перейти в BOOT принята")
              << QStringLiteral("Ожидание ответа BOOT попытка 1");
    lines << QStringLiteral("Терминал перешел в режим , ждем запрос заголовка")
          << QStringLiteral("Получен запрос заголовка") << QStringLiteral("Получен запрос заголовка");
    return lines;
}

inline QStringList blockLines(const Transfer &t, bool linearLog)
{
    QStringList lines;
    for (const Block &b : t.blocks) {
        const QString address = linearLog ? QString::number(b.address, 16).toUpper() + QStringLiteral("H")
                                          : QString::number(b.address);
        lines << QStringLiteral("Запрос заголовка")
              << QStringLiteral("Доставлен пакет банк = ") + QString::number(b.bank) + QStringLiteral(" адр = ")
                     + address
              << QStringLiteral("Получен запрос заголовка");
    }
    return lines;
}

inline QStringList closingLines()
{
    return {QStringLiteral("Получено подтверждение заголовка посылаем пакет адр =0 Длина=256"),
            QStringLiteral(" Передача завершена успешно. Спасибо! ")};
}

} // namespace FirmwareFixture

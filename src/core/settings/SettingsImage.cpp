#include "core/settings/SettingsImage.h"

void SettingsImage::clearBlocks()
{
    Block1.fill(0);
    Block2.fill(0);
    Block3.fill(0);
}

void SettingsImage::orBlock1(const SettingsImage &other)
{
    for (int i = 0; i < BlockSize; ++i)
        Block1[i] |= other.Block1[i];
}

QByteArray SettingsImage::fileBlock(const Block &block)
{
    QByteArray out(FileBlockSize, '\0');
    unsigned sum = 0;
    for (int i = 0; i < 128; ++i) {
        out[i] = char(block[i + 1]);
        sum += block[i + 1];
    }
    out[128] = char((sum >> 8) & 0xFF);
    out[129] = char(sum & 0xFF);
    return out;
}

bool SettingsImage::differsFrom(const SettingsImage &other) const
{
    if (Description.trimmed() != other.Description.trimmed())
        return true;
    for (int k = 1; k <= 3; ++k) {
        const Block &a = block(k);
        const Block &b = other.block(k);
        for (int i = 0; i <= 129; ++i) {
            if (a[i] != b[i])
                return true;
        }
    }
    return false;
}

#include "core/settings/EventMasks.h"

namespace EventMasks {

bool hasMaskBits(int event) { return event >= 0 && event <= 63; }
bool hasOutputMasks(int event) { return event >= 0 && event <= 64; }

int maskByte(int k, int event)
{
    const int base = (k == Info) ? 121 : 8 * k + 1;
    return base + event / 8;
}

bool maskBit(const SettingsImage &image, int k, int event)
{
    if (!hasMaskBits(event))
        return false;
    return (image.Block1[maskByte(k, event)] >> (event % 8)) & 1;
}

void setMaskBit(SettingsImage &image, int k, int event, bool on)
{
    if (!hasMaskBits(event))
        return;
    const quint8 m = quint8(1u << (event % 8));
    auto &byte = image.Block1[maskByte(k, event)];
    byte = quint8((byte & ~m) | (on ? m : 0));
}

static int outputPos(int column, int event)
{
    return column == 1 ? 2 * event + 2 : 2 * event + 1;
}

void setOutputByte(SettingsImage &image, int column, int event, quint8 value)
{
    if (hasOutputMasks(event))
        (column == 2 ? image.Block3 : image.Block2)[outputPos(column, event)] = value;
}

quint8 outputByte(const SettingsImage &image, int column, int event)
{
    if (!hasOutputMasks(event))
        return 0;
    return (column == 2 ? image.Block3 : image.Block2)[outputPos(column, event)];
}

void setOutputBit(SettingsImage &image, int column, int event, int bit, bool on)
{
    const quint8 m = quint8(1u << bit);
    setOutputByte(image, column, event, quint8((outputByte(image, column, event) & ~m) | (on ? m : 0)));
}

} // namespace EventMasks

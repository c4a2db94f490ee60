#pragma once

#include "core/settings/SettingsImage.h"

// Event-mask arrays in Block1 and device output masks in Block2/Block3.
namespace EventMasks {
enum Mask { Journal = 0, Auto = 1, Alarm = 2, Info = 3 };

// Event numbers 0..63 have mask bits; event 64 only output masks.
bool hasMaskBits(int event);
bool hasOutputMasks(int event);
// Block1 position of mask k for event E (valid only when hasMaskBits(E)).
int maskByte(int k, int event);
bool maskBit(const SettingsImage &image, int k, int event);
void setMaskBit(SettingsImage &image, int k, int event, bool on);

// Output mask bytes: 0 = Auto/GPRS (Block2[2E+1]), 1 = Alarm/info (Block2[2E+2]), 2 = Info (Block3[2E+1]).
// Events without output masks read 0 and write nothing.
quint8 outputByte(const SettingsImage &image, int column, int event);
void setOutputByte(SettingsImage &image, int column, int event, quint8 value);
// Sets or clears one bit (0..7) of an output byte; events without output masks write nothing.
void setOutputBit(SettingsImage &image, int column, int event, int bit, bool on);
} // namespace EventMasks

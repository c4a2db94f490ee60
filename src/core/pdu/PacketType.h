#pragma once

#include <QtGlobal>

// Octet 0 of a transfer record: what the short message carries.
enum class PacketType : quint8 {
    ProfileBlock1 = 0x33, // first file block of a profile, to the terminal
    ProfileBlock2 = 0x35, // second file block
    ReadBlock1 = 0x43,    // request for the first block, and the terminal's answer
    ReadBlock2 = 0x45,    // request for the second block, and the answer
    GprsSettings = 0x57,  // GPRS connection settings, and their confirmation
};

inline bool isPacketType(int octet)
{
    return octet == 0x33 || octet == 0x35 || octet == 0x43 || octet == 0x45 || octet == 0x57;
}

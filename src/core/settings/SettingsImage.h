#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

// Three 131-byte blocks (positions 0..130) plus a free description.
struct SettingsImage
{
    static constexpr int BlockSize = 131;
    static constexpr int FileBlockSize = 130;
    // The positions a data file and a profile packet hold: 1..LastFilePosition.
    static constexpr int LastFilePosition = 128;
    using Block = std::array<quint8, BlockSize>;

    Block Block1{};
    Block Block2{};
    Block Block3{};
    QString Description;

    Block &block(int k) { return k == 1 ? Block1 : (k == 2 ? Block2 : Block3); }
    const Block &block(int k) const { return k == 1 ? Block1 : (k == 2 ? Block2 : Block3); }

    void clearBlocks();
    // OR another image's Block1 into this Block1 (hidden defaults).
    void orBlock1(const SettingsImage &other);
    // Positions 1..128 followed by their 16-bit sum, high byte first.
    static QByteArray fileBlock(const Block &block);
    // The change rule: trimmed descriptions or positions 0..129 of any block differ.
    bool differsFrom(const SettingsImage &other) const;

    bool operator==(const SettingsImage &) const = default;
};

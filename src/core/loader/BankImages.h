#pragma once

#include <QByteArray>
#include <QString>

#include <array>

class UserPrompts;

// One bank of a firmware image: position p goes to bank address p
// (plus 0x8000 for banks 1 to 3).
struct BankRecord
{
    static constexpr int Size = 65501; // positions 0 to 65500

    qint32 Length = 0; // image bytes in this bank; 0 or less = empty
    std::array<quint8, Size> Data{};
};

// The four bank records of the firmware panel and the readers that fill them
// from the operator's image files.
class BankImages
{
public:
    static constexpr int BankCount = 4;
    static constexpr qint64 MaxFileSize = 70000;
    static constexpr int BankWindow = 0x8000;

    BankRecord &operator[](int bank) { return m_banks[size_t(bank)]; }
    const BankRecord &operator[](int bank) const { return m_banks[size_t(bank)]; }

    // Lengths 0 and every data byte 0, so a short block never carries bytes of an earlier load.
    void clear();

    // Length clamped at 0: a negative length (a too-short file) counts as empty.
    int usableLength(int bank) const;
    // count bytes of bank from position pos; positions outside the record read as 0.
    QByteArray bytes(int bank, qint64 pos, int count) const;

    // Banked image: the first file fills banks 0 and 1, the upper halves of the
    // second and third files fill banks 2 and 3. paths holds up to three paths.
    // A read error is shown through prompts as "Ошибка чтения файлов. " + why.
    bool LoadFileVariables(const QString paths[3], UserPrompts &prompts);
    // Linear image: the first file into bank 0.
    bool LoadFileVariables1(const QString &path, UserPrompts &prompts);

    static QString readErrorText() { return QStringLiteral("Ошибка чтения файлов. "); }

private:
    // Reads a whole file of at most MaxFileSize bytes; false with why set.
    static bool readFile(const QString &path, QByteArray &content, QString &why);
    void put(int bank, const QByteArray &content, qint64 from, qint64 to);
    // A load whose bank 0 is empty would rewrite the terminal's first bytes with zeros.
    bool refuseEmptyBank0(const QString &path, UserPrompts &prompts) const;

    std::array<BankRecord, BankCount> m_banks{};
};

#include "core/settings/ValueTypes.h"

#include "core/settings/NumericText.h"

#include <limits>

namespace ValueTypes {

namespace {

bool rangeCheck(QString &text, const TableEntry &entry, qint64 lo, qint64 hi)
{
    text = text.trimmed();
    if (text.isEmpty())
        return false;
    qint64 v = 0;
    if (!NumericText::toInt(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), v))
        return false;
    if (v < lo || v > hi)
        return false;
    return double(entry.MinValue) <= double(v) && double(v) <= double(entry.MaxValue);
}

bool inBlock(const TableEntry &entry, int bytes)
{
    return entry.Offset >= 0 && entry.Offset + bytes <= SettingsImage::BlockSize;
}

} // namespace

bool IsPossibleByte(QString &text, const TableEntry &entry) { return rangeCheck(text, entry, 0, 255); }
bool IsPossibleWord(QString &text, const TableEntry &entry) { return rangeCheck(text, entry, 0, 65535); }
bool IsPossibleInt(QString &text, const TableEntry &entry) { return rangeCheck(text, entry, -32768, 32767); }
bool IsPossibleSINT(QString &text, const TableEntry &entry) { return rangeCheck(text, entry, -128, 127); }
bool IsPossibleMByte(QString &text, const TableEntry &entry) { return rangeCheck(text, entry, 0, 255); }

bool isPossible(QString &text, const TableEntry &entry)
{
    switch (entry.Type) {
    case ParamType::Byte:
        return IsPossibleByte(text, entry);
    case ParamType::Word:
        return IsPossibleWord(text, entry);
    case ParamType::Int:
        return IsPossibleInt(text, entry);
    case ParamType::SInt:
        return IsPossibleSINT(text, entry);
    case ParamType::MByte:
        return IsPossibleMByte(text, entry);
    default:
        return true;
    }
}

int maskShift(quint8 mask)
{
    if (mask == 0)
        return 0;
    int s = 0;
    while (!(mask & (1u << s)))
        ++s;
    return s;
}

void storeValue(const TableEntry &entry, qint64 value, SettingsImage &image)
{
    auto &b = image.Block1;
    const int o = entry.Offset;
    switch (entry.Type) {
    case ParamType::Byte:
    case ParamType::SInt:
        if (inBlock(entry, 1))
            b[o] = quint8(value & 0xFF);
        break;
    case ParamType::Word:
    case ParamType::Int:
        if (inBlock(entry, 2)) {
            const quint16 u = quint16(value & 0xFFFF);
            b[o] = quint8(u >> 8);
            b[o + 1] = quint8(u & 0xFF);
        }
        break;
    case ParamType::MByte: {
        const quint8 mask = quint8(entry.Length & 0xFF);
        if (mask != 0 && inBlock(entry, 1)) {
            const int s = maskShift(mask);
            b[o] = quint8((b[o] & ~mask) | ((quint32(value) << s) & mask));
        }
        break;
    }
    default:
        break;
    }
}

bool checkAndStore(const QString &text, const TableEntry &entry, SettingsImage &image)
{
    if (!ParamTypes::isNumeric(entry.Type))
        return true;
    QString copy = text;
    if (!isPossible(copy, entry))
        return false;
    qint64 v = 0;
    NumericText::toInt(copy, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(), v);
    storeValue(entry, v, image);
    return true;
}

bool ParamValidate(QString &boxText, const TableEntry &entry, SettingsImage &image)
{
    const QString trimmed = boxText.trimmed();
    if (trimmed.isEmpty())
        boxText = QStringLiteral("0");
    else if (trimmed == QLatin1String("-"))
        boxText = QStringLiteral("-0");
    else if (trimmed == QLatin1String("+"))
        boxText = QStringLiteral("0");
    return !checkAndStore(boxText, entry, image);
}

qint64 displayValue(const TableEntry &entry, const SettingsImage &image)
{
    const auto &b = image.Block1;
    const int o = entry.Offset;
    switch (entry.Type) {
    case ParamType::Byte:
        return inBlock(entry, 1) ? b[o] : 0;
    case ParamType::SInt:
        return inBlock(entry, 1) ? qint8(b[o]) : 0;
    case ParamType::Word:
        return inBlock(entry, 2) ? (b[o] * 256 + b[o + 1]) : 0;
    case ParamType::Int:
        return inBlock(entry, 2) ? qint16(quint16(b[o] * 256 + b[o + 1])) : 0;
    case ParamType::MByte: {
        const quint8 mask = quint8(entry.Length & 0xFF);
        return inBlock(entry, 1) ? ((b[o] & mask) >> maskShift(mask)) : 0;
    }
    default:
        return 0;
    }
}

bool bitValue(const TableEntry &entry, const SettingsImage &image)
{
    return inBlock(entry, 1) && (image.Block1[entry.Offset] & quint8(entry.Length & 0xFF)) != 0;
}

void storeBit(const TableEntry &entry, bool checked, SettingsImage &image)
{
    if (!inBlock(entry, 1))
        return;
    const quint8 m = quint8(entry.Length & 0xFF);
    auto &byte = image.Block1[entry.Offset];
    byte = quint8((byte & ~m) | (checked ? m : 0));
}

QString invalidValueMessage(const QString &label)
{
    return QStringLiteral("Ошибочное значение в параметре ") + label + QStringLiteral("\r\n");
}

} // namespace ValueTypes

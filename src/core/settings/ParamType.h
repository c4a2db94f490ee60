#pragma once

#include <QString>

// Value type of a control-table parameter, decided once when the table is read.
enum class ParamType { Byte, Word, Int, SInt, MByte, Bit, String, X, Unknown };

namespace ParamTypes {
// The table's type text ("BYTE", "WORD", ...), spaces trimmed, any letter case; Unknown otherwise.
ParamType fromName(const QString &typeName);
// The types that are entered as numbers and range-checked.
bool isNumeric(ParamType type);
} // namespace ParamTypes

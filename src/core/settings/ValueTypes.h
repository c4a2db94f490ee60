#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>

// Value types of table parameters: range checks, storing into Block1, display.
namespace ValueTypes {
// The range checks: trim (returned through text), numeric, 32-bit, type range, table limits.
bool IsPossibleByte(QString &text, const TableEntry &entry);
bool IsPossibleWord(QString &text, const TableEntry &entry);
bool IsPossibleInt(QString &text, const TableEntry &entry);
bool IsPossibleSINT(QString &text, const TableEntry &entry);
bool IsPossibleMByte(QString &text, const TableEntry &entry);
// Dispatch by the entry's type; true for types that are not checked.
bool isPossible(QString &text, const TableEntry &entry);

// Stores an already checked value of a numeric entry into Block1.
void storeValue(const TableEntry &entry, qint64 value, SettingsImage &image);
// Checks text by the entry's type and stores it when valid; true when valid or not a numeric type.
bool checkAndStore(const QString &text, const TableEntry &entry, SettingsImage &image);

// The box-leaving rule: normalises boxText ("" -> "0", "-" -> "-0", "+" -> "0"),
// checks it and stores it. Returns true when the text is INVALID (focus stays).
bool ParamValidate(QString &boxText, const TableEntry &entry, SettingsImage &image);

// Decoded value of a numeric entry (display rules).
qint64 displayValue(const TableEntry &entry, const SettingsImage &image);
// BIT state and store.
bool bitValue(const TableEntry &entry, const SettingsImage &image);
void storeBit(const TableEntry &entry, bool checked, SettingsImage &image);

// Number of zero bits below the lowest set bit of an 8-bit mask (0 for mask 0).
int maskShift(quint8 mask);

// "Ошибочное значение в параметре " + label + "\r\n"
QString invalidValueMessage(const QString &label);
} // namespace ValueTypes

#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>

// How an event, its flags and its parameters read in the tool's output ("show" prints the
// same texts; "diff" prints them for the values that differ).
namespace EventText {

// "№5 Поворот  [GPS]": number, caption and, when there is one, the group.
QString heading(const TableEntry &head);
// The four event-mask flags: "Журнал", "Авто/GPRS", "Тревога", "Инфо".
QString flagName(int k);
// "ДА" when set, "-" when clear, "--" for an event without mask bits.
QString flagValue(const SettingsImage &image, int k, int event);
// The output-mask columns: "Маска вывода Авто/GPRS", "... Тревога/Инфо", "... Инфо".
QString outputMaskName(int column);
// The output byte as eight bits, row 8 first ("00100000").
QString outputMaskValue(const SettingsImage &image, int column, int event);
// False for "X" lines, which carry no value.
bool hasValue(const TableEntry &entry);
// "30 град", "[x]", "(text, 10 characters)".
QString parameterValue(const TableEntry &entry, const SettingsImage &image);

} // namespace EventText

#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>

// How events, flags, masks, parameters and the fields of a decoded message read in the
// tool's results: "show" prints the values of a file, "diff" the values that differ between
// two, "decode-pdu" the fields of a message, all through these texts.
namespace EventText {

// "label: value", the one form of a named field.
QString field(const QString &label, const QString &value);
// "№5 Поворот  [GPS]": number, caption and, when there is one, the group.
QString heading(const TableEntry &head);
// The four event-mask flags: "Журнал", "Авто/GPRS", "Тревога", "Инфо".
QString flagName(int k);
// "ДА" when set, "-" when clear, "--" for an event without mask bits.
QString flagValue(const SettingsImage &image, int k, int event);
// The four flags of an event on one line: "    Журнал: ДА Авто/GPRS: - Тревога: - Инфо: -".
QString flagsLine(const SettingsImage &image, int event);
// The output-mask columns: "Маска вывода Авто/GPRS", "... Тревога/Инфо", "... Инфо".
QString outputMaskName(int column);
// The output byte as eight bits, row 8 first ("00100000").
QString outputMaskValue(const SettingsImage &image, int column, int event);
// False for "X" lines, which carry no value.
bool hasValue(const TableEntry &entry);
// "30 град", "[x]", "(text, 10 characters)".
QString parameterValue(const TableEntry &entry, const SettingsImage &image);
// "    Угол = 30 град"; the value given is one parameterValue made.
QString parameterLine(const TableEntry &entry, const QString &value);

} // namespace EventText

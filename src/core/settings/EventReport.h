#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QByteArray>
#include <QString>

namespace EventReport {
// The report document, encoded in code page 1251.
QByteArray build(const ControlTable &table, const SettingsImage &image);
// Writes it to path (replacing the file whole). False when it cannot be written.
// Written whole or not at all; error says why not.
bool write(const QString &path, const ControlTable &table, const SettingsImage &image, QString &error);
// Parameter text of one event (values and units separated by ", ").
QString parameterText(const ControlTable &table, int first, const SettingsImage &image);
} // namespace EventReport

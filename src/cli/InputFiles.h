#pragma once

#include <QString>

class ControlTable;
struct SettingsImage;

// The tool's inputs, loaded the one way every command loads them; false after one message
// on standard error for the fault.
namespace InputFiles {

bool loadTable(const QString &path, bool service, ControlTable &table);
// A data file of any form, told by its length.
bool loadImage(const QString &path, SettingsImage &image);

} // namespace InputFiles

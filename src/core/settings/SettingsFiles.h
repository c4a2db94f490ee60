#pragma once

#include "core/settings/SettingsImage.h"

#include <QByteArray>
#include <QString>

// The on-disk forms of a settings data file (.bin) and the file routines they need; no prompts.
namespace SettingsFiles {
enum class Form { TwoBlock, ThreeBlock, Record };

// The form of a file is chosen by its length alone.
Form formForLength(qint64 length);
QByteArray buildFile(const SettingsImage &image, int blocks); // 2 -> 260 bytes, 3 -> 390
// Reads a file of the given form into image (blocks cleared first). False when unreadable.
bool readFile(const QString &path, Form form, SettingsImage &image);
qint64 FileLength(const QString &path);
bool FileExists(const QString &path);
QString FileNameOf(const QString &path);
} // namespace SettingsFiles

#pragma once

#include <QByteArray>
#include <QString>

// A profile to send: a settings data file of two blocks (260 bytes) or three (390 bytes, whose
// first 260 are the profile). Anything else, an empty file or a firmware image chosen by mistake
// among them, would overwrite every setting of the terminal.
namespace ProfileFile {

constexpr int ProfileSize = 260;
constexpr int ThreeBlockSize = 390;

// The 260 profile bytes of path; false with the operator's message in refusal:
// "Файл " + path + " не является профильным файлом (" + size + " байт)".
bool read(const QString &path, QByteArray &profile, QString &refusal);

} // namespace ProfileFile

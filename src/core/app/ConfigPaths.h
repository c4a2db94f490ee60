#pragma once

#include "core/app/UserPrompts.h"

#include <QString>

// Paths that the configuration files keep (Const.ini, Default.ini). Those files are code page 1251:
// a path with characters outside it would be written as substitutes and be lost on the next start.
namespace ConfigPaths {
bool representable(const QString &path);
// Why path cannot be kept in iniName.
QString refusal(const QString &path, const QString &iniName);
// False, after telling the operator why, when iniName could not keep path.
bool accept(UserPrompts &prompts, const QString &path, const QString &iniName);
} // namespace ConfigPaths

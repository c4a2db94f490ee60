#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QString>

// The documents of "Помощь": the compiled help beside the program when it is there, otherwise the
// HTML pages shipped with it (the compiled help never is on Linux).
namespace HelpDocuments {
// baseName "about" or "help": the path of "<baseName>.chm", or of "<baseName>.html" when the former is missing.
QString path(const AppState &state, const QString &baseName);
// Opens that document; without it, or without a program to show it, says where the file is so
// the operator can open it by hand.
void show(const AppState &state, UserPrompts &prompts, const QString &baseName);
} // namespace HelpDocuments

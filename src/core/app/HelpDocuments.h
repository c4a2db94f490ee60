#pragma once

#include "core/app/AppState.h"

#include <QString>

// The documents of "Помощь": the compiled help beside the program when it is there, otherwise the
// HTML pages shipped with it (the compiled help never is on Linux).
namespace HelpDocuments {
// baseName "about" or "help": the path of "<baseName>.chm", or of "<baseName>.html" when the former is missing.
QString path(const AppState &state, const QString &baseName);
} // namespace HelpDocuments

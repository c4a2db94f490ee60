#include "core/app/HelpDocuments.h"

#include "core/settings/SettingsFiles.h"

namespace HelpDocuments {

QString path(const AppState &state, const QString &baseName)
{
    const QString compiled = state.appPath(baseName + QStringLiteral(".chm"));
    if (SettingsFiles::FileExists(compiled))
        return compiled;
    return state.appPath(baseName + QStringLiteral(".html"));
}

} // namespace HelpDocuments

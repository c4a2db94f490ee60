#include "core/app/HelpDocuments.h"

#include "core/settings/SettingsFiles.h"

#include <QDir>

namespace HelpDocuments {

QString path(const AppState &state, const QString &baseName)
{
    const QString compiled = state.appPath(baseName + QStringLiteral(".chm"));
    if (SettingsFiles::FileExists(compiled))
        return compiled;
    return state.appPath(baseName + QStringLiteral(".html"));
}

void show(const AppState &state, UserPrompts &prompts, const QString &baseName)
{
    const QString file = path(state, baseName);
    if (!SettingsFiles::FileExists(file))
        prompts.message(QStringLiteral("Файл справки не найден: ") + QDir::toNativeSeparators(file), QString(),
                        UserPrompts::Icon::Warning);
    else if (!prompts.openDocument(file))
        prompts.message(QStringLiteral("Не удалось открыть справку: нет программы для просмотра. Файл справки: ")
                            + QDir::toNativeSeparators(file),
                        QString(), UserPrompts::Icon::Information);
}

} // namespace HelpDocuments

#include "core/editor/TableChange.h"

#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QDir>
#include <QFileInfo>

TableChange::Result TableChange::run()
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"), m_state.appFolder(),
                                            {{QStringLiteral("Файлы STP"), QStringLiteral("*.stp")}}, true);
    return apply(path);
}

TableChange::Result TableChange::apply(const QString &chosenPath)
{
    if (chosenPath.trimmed().isEmpty())
        return Result::Cancelled;
    QString name = SettingsFiles::FileNameOf(chosenPath);
    if (name.isEmpty())
        name = QFileInfo(chosenPath.trimmed()).fileName();
    const QString upper = name.toUpper();
    if (upper == QLatin1String("DEFAULT.STP") || upper == QLatin1String("CONST.STP")) {
        m_prompts.message(QStringLiteral("Файл не может иметь имя 'Default.stp' & 'Const.stp'"));
        return Result::ReservedName;
    }
    // A table must lie in the application folder.
    if (!SettingsFiles::FileExists(m_state.appPath(name)))
        return Result::NotInFolder;

    const QString constIni =
        m_state.ConstIniPath.isEmpty() ? m_state.appPath(QStringLiteral("Const.ini")) : m_state.ConstIniPath;
    const QString previousPath = m_state.ControlTablePath;
    m_state.ControlTablePath = m_state.appPath(name);
    TextFile::writeLines(constIni, {name});

    // Parse aside: the grid's rows index into the table in use, which must stay whole on failure.
    ControlTable fresh;
    QString error;
    if (fresh.ParseControlTable(m_state.ControlTablePath, m_state.ServiceMode, error)) {
        m_state.table = std::move(fresh);
        return Result::Accepted;
    }
    m_prompts.message(QStringLiteral("Не управляющая таблица"));
    // Keep the next start on the table that is actually in use.
    m_state.ControlTablePath = previousPath;
    if (!previousPath.isEmpty())
        TextFile::writeLines(constIni, {QDir(m_state.appFolder()).relativeFilePath(previousPath)});
    return Result::NotTable;
}

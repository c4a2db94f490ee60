#include "core/editor/TableChange.h"

#include "core/app/ConfigPaths.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QFileInfo>

TableChange::Result TableChange::run()
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"), m_state.appFolder(),
                                            {{QStringLiteral("Файлы STP"), QStringLiteral("*.stp")},
                                             // the shipped table is Data.ini: reachable without typing its name
                                             {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
                                            true);
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

    // Const.ini keeps the name for the next start: refuse it before anything changes.
    const QString path = m_state.appPath(name);
    if (!ConfigPaths::representable(name)) {
        m_prompts.message(ConfigPaths::refusal(path, QStringLiteral("Const.ini")));
        return Result::NameNotKept;
    }

    // Parse aside: the grid's rows index into the table in use, which stays whole on failure.
    ControlTable fresh;
    QString error;
    if (!fresh.ParseControlTable(path, m_state.ServiceMode, error)) {
        m_prompts.message(QStringLiteral("Не управляющая таблица"));
        return Result::NotTable;
    }
    m_state.table = std::move(fresh);
    m_state.ControlTablePath = path;
    const QString constIni =
        m_state.ConstIniPath.isEmpty() ? m_state.appPath(QStringLiteral("Const.ini")) : m_state.ConstIniPath;
    // The table is in use either way; only the next start would not find it.
    QString writeError;
    if (!TextFile::writeLines(constIni, {TextFile::formatText(name)}, writeError))
        m_prompts.message(writeError);
    return Result::Accepted;
}

#include "cli/InputFiles.h"

#include "cli/CliOutput.h"
#include "cli/CliText.h"

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsFiles.h"

#include <QFileInfo>

namespace InputFiles {

bool loadTable(const QString &path, bool service, ControlTable &table)
{
    if (!QFileInfo(path).isFile()) {
        printMessage(CliText::tr("нет файла управляющей таблицы: %1").arg(shown(path)));
        return false;
    }
    QString error;
    if (!table.ParseControlTable(path, service, error)) {
        printMessage(CliText::tr("не управляющая таблица: %1").arg(shown(path)) + QLatin1Char('\n') + error.trimmed());
        return false;
    }
    return true;
}

bool loadImage(const QString &path, SettingsImage &image)
{
    if (!QFileInfo(path).isFile()) {
        printMessage(CliText::tr("нет файла данных: %1").arg(shown(path)));
        return false;
    }
    if (!SettingsFiles::readFile(path, SettingsFiles::formForLength(SettingsFiles::FileLength(path)), image)) {
        printMessage(CliText::tr("не удалось прочитать файл данных: %1").arg(shown(path)));
        return false;
    }
    return true;
}

} // namespace InputFiles

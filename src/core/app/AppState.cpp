#include "core/app/AppState.h"

#include "core/app/AppFolder.h"
#include "core/settings/NumericText.h"

#include <QDir>

AppState::AppState(const QString &applicationFolder)
    : m_appFolder(applicationFolder.isEmpty() ? defaultApplicationFolder() : applicationFolder)
{
}

QString AppState::defaultApplicationFolder()
{
    return AppFolder::current().path();
}

QString AppState::appPath(const QString &name) const
{
    QString folder = m_appFolder;
    if (!folder.endsWith(QDir::separator()) && !folder.endsWith(QLatin1Char('/')))
        folder += QDir::separator();
    return folder + name;
}

void AppState::setCaption(const QString &caption)
{
    m_caption = caption;
    if (onCaptionChanged)
        onCaptionChanged(caption);
}

void AppState::setDataFileCaption()
{
    setCaption(QStringLiteral("Настройки терминала, файл ") + DataFilePath + QStringLiteral(", управляющая таблица ")
               + ControlTablePath);
}

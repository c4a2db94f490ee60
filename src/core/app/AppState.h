#pragma once

#include "core/app/SerialSettings.h"
#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>
#include <functional>

class Database;

// Program-wide values created at start-up and living for the whole run.
class AppState
{
public:
    explicit AppState(const QString &applicationFolder = QString());

    // Application folder: KVRSETUP_HOME when set, the executable's folder when it is a program
    // folder of its own, otherwise the user's data folder (AppFolder).
    static QString defaultApplicationFolder();

    QString appFolder() const { return m_appFolder; }
    // Folder + separator (when missing) + name.
    QString appPath(const QString &name) const;

    bool ServiceMode = false;
    QString ConstIniPath;
    QString ControlTablePath;
    QString DataFilePath;
    SerialSettings serial;
    // The address book, open from start-up to shut-down (none in some tests).
    Database *database = nullptr;
    QString firmwarePaths[3];
    QString terminalNumber;
    qint32 lastPageAddress = 0;
    qint16 lastBank = 0;

    ControlTable table;      // TableEntries, EntryCount, HiddenDefaults
    SettingsImage CurrentImage;
    SettingsImage SavedImage;

    // Main window caption; the window listens through onCaptionChanged.
    QString caption() const { return m_caption; }
    void setCaption(const QString &caption);
    // "Настройки терминала, файл " + DataFilePath + ", управляющая таблица " + ControlTablePath
    void setDataFileCaption();
    std::function<void(const QString &)> onCaptionChanged;

private:
    QString m_appFolder;
    QString m_caption;
};

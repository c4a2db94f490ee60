#pragma once

#include "core/settings/ControlTable.h"
#include "core/settings/SettingsImage.h"

#include <QString>
#include <functional>

struct SerialSettings
{
    // A port number ("1".."40") or a device path typed by the operator.
    QString port = QStringLiteral("1");
    int baudRate = 9600;
    QChar parity = QLatin1Char('n');
    int dataBits = 8;
    int stopBits = 1;

    // A number is kept as its plain decimal text, anything else as a device path.
    // False (and nothing changes) for an empty text.
    bool setPort(const QString &text);
};

// Program-wide values created at start-up and living for the whole run.
class AppState
{
public:
    explicit AppState(const QString &applicationFolder = QString());

    // Application folder: folder of the executable, or KVRSETUP_HOME when set.
    static QString defaultApplicationFolder();

    QString appFolder() const { return m_appFolder; }
    // Folder + separator (when missing) + name.
    QString appPath(const QString &name) const;

    bool ServiceMode = false;
    QString ConstIniPath;
    QString DefaultIniPath;
    QString ControlTablePath;
    QString DataFilePath;
    SerialSettings serial;
    QString firmwarePaths[3];
    QString terminalNumber;
    qint32 lastPageAddress = 0;
    qint16 lastBank = 0;
    bool SmsPromptPending = false;
    bool SmsPollEnabled = true;

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

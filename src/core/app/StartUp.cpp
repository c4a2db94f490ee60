#include "core/app/StartUp.h"

#include "core/app/DataFileFlows.h"
#include "core/settings/NumericText.h"
#include "core/settings/SettingsFiles.h"
#include "core/settings/TextFile.h"

#include <QCoreApplication>
#include <QFileInfo>

bool StartUp::serviceModeFromArguments(const QStringList &argumentsAfterProgram)
{
    return argumentsAfterProgram.join(QLatin1Char(' ')).toUpper() == QLatin1String("/S");
}

bool StartUp::OpenDatabase()
{
    QString error;
    if (m_db.open(m_state.appPath(QStringLiteral("Data.db")), error)) {
        m_state.database = &m_db;
        // Said from the event loop, not from inside the operation whose row it was.
        m_db.setWriteFailureHandler([prompts = &m_prompts](const QString &why) {
            QMetaObject::invokeMethod(
                QCoreApplication::instance(),
                [prompts, why] {
                    prompts->message(QStringLiteral("История операций не записана: ") + why, QString(),
                                     UserPrompts::Icon::Warning);
                },
                Qt::QueuedConnection);
        });
        return true;
    }
    m_prompts.message(QStringLiteral("Ошибка открытия базы ") + error);
    return false;
}

bool StartUp::run(const QStringList &argumentsAfterProgram)
{
    // The editor does not need the book: a book that cannot be opened is named, and the program
    // starts without it (the link window's book stays empty, nothing is kept in the history).
    if (!OpenDatabase())
        m_prompts.message(QStringLiteral("Ошибка открытия базы") + QStringLiteral("\r\n")
                          + m_state.appPath(QStringLiteral("Data.db"))
                          + QStringLiteral("\r\nАдресная книга недоступна; программа работает без нее"));
    m_state.ServiceMode = serviceModeFromArguments(argumentsAfterProgram);

    m_state.ConstIniPath = m_state.appPath(QStringLiteral("Const.ini"));
    bool missing = true;
    QString text;
    if (SettingsFiles::FileExists(m_state.ConstIniPath) && TextReader::openFile(m_state.ConstIniPath, text)) {
        TextReader reader(text);
        QString name;
        if (reader.readValue(name)) {
            m_state.ControlTablePath = name.trimmed();
            missing = m_state.ControlTablePath.isEmpty()
                      || !SettingsFiles::FileExists(m_state.appPath(m_state.ControlTablePath));
        }
    }
    if (missing) {
        m_prompts.message(
            QStringLiteral("Не найден файл с управляющей таблицей, попытка загрузить таблицу по умолчанию"));
        m_state.ControlTablePath = QStringLiteral("Data.ini");
        QString error;
        if (!TextFile::writeLines(m_state.ConstIniPath, {TextFile::formatText(QStringLiteral("Data.ini"))}, error))
            m_prompts.message(error);
    }
    m_state.ControlTablePath = m_state.appPath(m_state.ControlTablePath);
    if (!SettingsFiles::FileExists(m_state.ControlTablePath)) {
        m_prompts.message(QStringLiteral(" Не найден файл с таблицей данных "), QStringLiteral("Критическая ошибка"),
                          UserPrompts::Icon::Critical);
        return false;
    }
    QString error;
    if (!m_state.table.ParseControlTable(m_state.ControlTablePath, m_state.ServiceMode, error)) {
        // The parser's line ends with "\r\n": the table's path follows on a line of its own.
        m_prompts.message(error + m_state.ControlTablePath, QStringLiteral("Критическая ошибка"),
                          UserPrompts::Icon::Critical);
        return false;
    }
    m_state.ConstIniPath = m_state.appPath(QStringLiteral("Const.ini"));
    LoadDefaults();
    return true;
}

void StartUp::LoadDefaults()
{
    const QString path = m_state.appPath(QStringLiteral("Default.ini"));
    if (!QFileInfo::exists(path)) {
        m_state.serial = SerialSettings();
        return;
    }

    QString text;
    // Each field stands alone: one that cannot be read keeps its default, and the fields after it are
    // still read, so that writing the file back loses nothing that was there.
    QString unreadable;
    bool ok = TextReader::openFile(path, text, &unreadable);
    TextReader reader(text);
    auto next = [&](QString &v) {
        if (reader.readValue(v))
            return true;
        ok = false;
        return false;
    };
    auto readText = [&](QString &out) {
        QString v;
        if (next(v))
            out = v;
    };
    auto readInt = [&](auto &out, qint64 lo, qint64 hi) {
        QString v;
        qint64 n = 0;
        if (!next(v))
            return;
        if (NumericText::toInt(v, lo, hi, n))
            out = static_cast<std::remove_reference_t<decltype(out)>>(n);
        else
            ok = false;
    };

    readText(m_state.DataFilePath);
    {
        // A number, or a device path chosen in the serial settings dialog.
        QString v;
        if (next(v) && !m_state.serial.setPort(v))
            ok = false;
    }
    readInt(m_state.serial.baudRate, 0, 0x7FFFFFFF);
    {
        QString v;
        if (next(v) && v.trimmed().isEmpty())
            ok = false;
        else if (!v.trimmed().isEmpty())
            m_state.serial.parity = v.trimmed().at(0);
    }
    readInt(m_state.serial.dataBits, -32768, 32767);
    readInt(m_state.serial.stopBits, -32768, 32767);
    readText(m_state.firmwarePaths[0]);
    readText(m_state.firmwarePaths[1]);
    readText(m_state.firmwarePaths[2]);
    readText(m_state.terminalNumber);
    readInt(m_state.lastPageAddress, -2147483648LL, 2147483647LL);
    readInt(m_state.lastBank, -32768, 32767);
    // Written only when a gateway is chosen: files without it are read as before.
    if (QString gateway; !reader.atEnd() && reader.readValue(gateway))
        m_state.serial.smsGateway = gateway.trimmed();
    if (!ok)
        m_prompts.message((unreadable.isEmpty() ? QString() : unreadable + QStringLiteral("\r\n"))
                          + QStringLiteral("Ошибки чтения файла умолчаний, установите вручную"));
    loadLastDataFile();
}

void StartUp::loadLastDataFile()
{
    m_state.DataFilePath = m_state.DataFilePath.trimmed();
    DataFileFlows files(m_state, m_prompts);
    if (!m_state.DataFilePath.isEmpty() && SettingsFiles::FileExists(m_state.DataFilePath)) {
        if (!files.loadByLength(m_state.DataFilePath))
            m_state.DataFilePath.clear();
    } else {
        m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
        m_state.setDataFileCaption();
    }
}

bool StartUp::WriteDefaultIni()
{
    const SerialSettings &serial = m_state.serial;
    const QString portText = SerialSettings::isPortNumber(serial.port) ? TextFile::formatNumber(serial.portNumber())
                                                                       : TextFile::formatText(serial.port);
    QStringList lines = {
        TextFile::formatText(m_state.DataFilePath),
        portText,
        TextFile::formatNumber(m_state.serial.baudRate),
        QString(m_state.serial.parity),
        TextFile::formatNumber(m_state.serial.dataBits),
        TextFile::formatNumber(m_state.serial.stopBits),
        TextFile::formatText(m_state.firmwarePaths[0]),
        TextFile::formatText(m_state.firmwarePaths[1]),
        TextFile::formatText(m_state.firmwarePaths[2]),
        TextFile::formatText(m_state.terminalNumber),
        TextFile::formatNumber(m_state.lastPageAddress),
        TextFile::formatNumber(m_state.lastBank),
    };
    if (!serial.smsGateway.isEmpty())
        lines << TextFile::formatText(serial.smsGateway);
    QString error;
    if (TextFile::writeLines(m_state.appPath(QStringLiteral("Default.ini")), lines, error))
        return true;
    m_prompts.message(error);
    return false;
}

bool StartUp::ShutDown()
{
    // Yes to the offer without a file written: the edits would be lost, so the program stays.
    if (DataFileFlows(m_state, m_prompts).AskSaveChanges() == DataFileFlows::SaveOffer::Abandoned)
        return false;
    WriteDefaultIni();
    m_state.database = nullptr;
    m_db.close();
    return true;
}

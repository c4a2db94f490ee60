#include "core/app/DataFileFlows.h"

#include "core/settings/TextFile.h"

using SettingsFiles::Form;

QString DataFileFlows::ShowSaveDialog(const QString &folder, const QString &title)
{
    QString path = m_prompts
                       .saveFile(title, folder,
                                 {{QStringLiteral("KVR bin files (*.bin)"), QStringLiteral("*.bin")},
                                  {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")}})
                       .trimmed();
    if (!path.isEmpty() && !path.contains(QLatin1Char('.')))
        path += QStringLiteral(".bin");
    return path;
}

bool DataFileFlows::saveForm(int blocks, const QString &title, const QString &existsQuestion, bool appendBin)
{
    QString path = ShowSaveDialog(m_state.appFolder(), title);
    if (path.isEmpty())
        return false;
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    const QByteArray data = SettingsFiles::buildFile(m_state.CurrentImage, blocks);
    if (appendBin && !SettingsFiles::FileNameOf(path).contains(QLatin1Char('.')))
        path += QStringLiteral(".BIN");
    m_state.DataFilePath = path;
    if (SettingsFiles::FileExists(path)) {
        if (m_prompts.message(existsQuestion, QString(), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
            != UserPrompts::Answer::Yes)
            return false;
        m_prompts.processEvents();
    }
    // The old file is replaced only once the new one is complete.
    if (!TextFile::writeBytes(path, data)) {
        m_prompts.message(QStringLiteral("Ошибка записи в файл ") + path);
        return false;
    }
    SnapshotImage();
    m_state.setDataFileCaption();
    return true;
}

void DataFileFlows::SaveDataFile()
{
    saveForm(3, QStringLiteral("Укажите файл для сохранения данных"), QStringLiteral("Файл существует, заменить"),
             true);
}

void DataFileFlows::ExportDataFile()
{
    saveForm(2, QStringLiteral("Укажите файл для сохранения данных"),
             QStringLiteral("Файл уже существует, заменить?"), false);
}

bool DataFileFlows::loadForm(const QString &path, bool noAsk, Form form)
{
    if (!noAsk)
        AskSaveChanges();
    m_state.CurrentImage.clearBlocks();
    if (!SettingsFiles::readFile(path, form, m_state.CurrentImage)) {
        if (form != Form::Record)
            m_prompts.message(QStringLiteral("Ошибка экспорта из файла"));
        return false;
    }
    m_state.DataFilePath = path;
    m_state.setDataFileCaption();
    SnapshotImage();
    return true;
}

bool DataFileFlows::LoadImageFile(const QString &path, bool noAsk) { return loadForm(path, noAsk, Form::Record); }

bool DataFileFlows::LoadDataFile390(const QString &path, bool noAsk)
{
    return loadForm(path, noAsk, Form::ThreeBlock);
}

bool DataFileFlows::LoadDataFile260(const QString &path, bool noAsk)
{
    return loadForm(path, noAsk, Form::TwoBlock);
}

bool DataFileFlows::loadByLength(const QString &path)
{
    switch (SettingsFiles::formForLength(SettingsFiles::FileLength(path))) {
    case Form::TwoBlock:
        return LoadDataFile260(path, true);
    case Form::ThreeBlock:
        return LoadDataFile390(path, true);
    case Form::Record:
        return LoadImageFile(path, true);
    }
    return false;
}

void DataFileFlows::SnapshotImage()
{
    m_state.CurrentImage.Description = m_state.CurrentImage.Description.trimmed();
    m_state.SavedImage = m_state.CurrentImage;
}

void DataFileFlows::AskSaveChanges()
{
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    if (!m_state.CurrentImage.differsFrom(m_state.SavedImage))
        return;
    if (m_prompts.message(QStringLiteral("Сохранить данные"), QStringLiteral("Сохранение данных"),
                          UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
        == UserPrompts::Answer::Yes)
        SaveDataFile();
}

void DataFileFlows::clearImage()
{
    m_state.CurrentImage.clearBlocks();
    m_state.CurrentImage.Description.clear();
}

void DataFileFlows::loadFromUser()
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"),
                                            m_state.appPath(QStringLiteral("data")),
                                            {{QStringLiteral("Файл с таблицами масок событий"), QStringLiteral("*.bin")},
                                             {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
                                            true);
    m_state.DataFilePath = path;
    clearImage();
    if (!path.isEmpty() && SettingsFiles::FileExists(path)) {
        if (!loadByLength(path))
            m_state.DataFilePath.clear();
    } else {
        m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    }
    m_state.setDataFileCaption();
    SnapshotImage();
}

void DataFileFlows::newDataFile()
{
    clearImage();
    m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    m_state.setDataFileCaption();
    SnapshotImage();
}

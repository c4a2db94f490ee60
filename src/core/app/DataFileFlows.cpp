#include "core/app/DataFileFlows.h"

#include "core/app/ConfigPaths.h"
#include "core/common/FileIo.h"

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
    if (appendBin && !SettingsFiles::FileNameOf(path).contains(QLatin1Char('.')))
        path += QStringLiteral(".BIN");
    // Default.ini keeps the path for the next start: refuse it before anything changes.
    if (!ConfigPaths::accept(m_prompts, path, QStringLiteral("Default.ini")))
        return false;
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    const QByteArray data = SettingsFiles::buildFile(m_state.CurrentImage, blocks);
    const QString earlierPath = m_state.DataFilePath;
    m_state.DataFilePath = path;
    if (SettingsFiles::FileExists(path)) {
        if (m_prompts.message(existsQuestion, QString(), UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
            != UserPrompts::Answer::Yes)
            return false;
    }
    // The old file is replaced only once the new one is complete; on failure the edits stay unsaved.
    QString error;
    if (!FileIo::writeWhole(path, data, error)) {
        // The next start must not open a file that does not hold these settings.
        m_state.DataFilePath = earlierPath;
        m_prompts.message(error);
        return false;
    }
    snapshotSaved(blocks);
    m_state.setDataFileCaption();
    return true;
}

void DataFileFlows::snapshotSaved(int blocks)
{
    const SettingsImage::Block block3 = m_state.SavedImage.Block3;
    SnapshotImage();
    // The two-block form has no third block: what it holds ("Инфо" output masks) is still unsaved.
    if (blocks < 3)
        m_state.SavedImage.Block3 = block3;
}

bool DataFileFlows::SaveDataFile()
{
    return saveForm(3, QStringLiteral("Укажите файл для сохранения данных"),
                    QStringLiteral("Файл существует, заменить"), true);
}

bool DataFileFlows::ExportDataFile()
{
    return saveForm(2, QStringLiteral("Укажите файл для сохранения данных"),
                    QStringLiteral("Файл уже существует, заменить?"), false);
}

bool DataFileFlows::loadForm(const QString &path, bool noAsk, Form form)
{
    if (!noAsk && AskSaveChanges() == SaveOffer::Abandoned)
        return false; // the edits stay
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

DataFileFlows::SaveOffer DataFileFlows::AskSaveChanges()
{
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    // The hidden defaults go into every image: alone they are no edit of the operator's.
    SettingsImage saved = m_state.SavedImage;
    saved.orBlock1(m_state.table.HiddenDefaults);
    if (!m_state.CurrentImage.differsFrom(saved))
        return SaveOffer::Unchanged;
    const UserPrompts::Answer answer =
        m_prompts.message(QStringLiteral("Сохранить данные"), QStringLiteral("Сохранение данных"),
                          UserPrompts::Icon::Question, UserPrompts::Buttons::YesNoCancel);
    if (answer == UserPrompts::Answer::Cancel)
        return SaveOffer::Abandoned;
    if (answer != UserPrompts::Answer::Yes)
        return SaveOffer::Declined;
    return SaveDataFile() ? SaveOffer::Saved : SaveOffer::Abandoned;
}

void DataFileFlows::clearImage()
{
    m_state.CurrentImage.clearBlocks();
    m_state.CurrentImage.Description.clear();
}

bool DataFileFlows::loadFromUser()
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"),
                                            m_state.appPath(QStringLiteral("data")),
                                            {{QStringLiteral("Файл с таблицами масок событий"), QStringLiteral("*.bin")},
                                             {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
                                            true);
    // Cancel changes nothing; nor does a path that Default.ini could not keep.
    if (path.isEmpty() || !ConfigPaths::accept(m_prompts, path, QStringLiteral("Default.ini")))
        return false;
    if (AskSaveChanges() == SaveOffer::Abandoned)
        return false;
    m_state.DataFilePath = path;
    clearImage();
    if (SettingsFiles::FileExists(path)) {
        if (!loadByLength(path))
            m_state.DataFilePath.clear();
    } else {
        m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    }
    m_state.setDataFileCaption();
    SnapshotImage();
    return true;
}

void DataFileFlows::newDataFile()
{
    clearImage();
    m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    m_state.setDataFileCaption();
    SnapshotImage();
}

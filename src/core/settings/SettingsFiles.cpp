#include "core/settings/SettingsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/settings/TextFile.h"

namespace {
constexpr int kRecordBlocks = 3 * SettingsImage::BlockSize; // 393
constexpr int kRecordHeader = kRecordBlocks + 2;           // plus the description length

void fillFromFileBlocks(const QByteArray &data, int blocks, SettingsImage &image)
{
    for (int k = 1; k <= blocks; ++k) {
        auto &block = image.block(k);
        for (int i = 0; i < SettingsImage::FileBlockSize; ++i) {
            const int at = (k - 1) * SettingsImage::FileBlockSize + i;
            if (at >= data.size())
                return; // a short file leaves the rest 0
            block[i + 1] = quint8(data[at]);
        }
    }
}
} // namespace

SettingsFiles::Form SettingsFiles::formForLength(qint64 length)
{
    if (length < 261)
        return Form::TwoBlock;
    if (length == 390)
        return Form::ThreeBlock;
    return Form::Record;
}

QByteArray SettingsFiles::buildFile(const SettingsImage &image, int blocks)
{
    QByteArray out;
    for (int k = 1; k <= blocks; ++k)
        out += SettingsImage::fileBlock(image.block(k));
    return out;
}

bool SettingsFiles::readFile(const QString &path, Form form, SettingsImage &image)
{
    image.clearBlocks();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    switch (form) {
    case Form::TwoBlock:
        fillFromFileBlocks(f.read(2 * SettingsImage::FileBlockSize), 2, image);
        return true;
    case Form::ThreeBlock:
        fillFromFileBlocks(f.read(3 * SettingsImage::FileBlockSize), 3, image);
        return true;
    case Form::Record: {
        const QByteArray data = f.readAll();
        if (data.size() < kRecordHeader)
            return false;
        const int count = quint8(data[kRecordBlocks]) | (quint8(data[kRecordBlocks + 1]) << 8);
        if (qsizetype(kRecordHeader) + count > data.size())
            return false;
        for (int k = 1; k <= 3; ++k) {
            auto &block = image.block(k);
            for (int i = 0; i < SettingsImage::BlockSize; ++i)
                block[i] = quint8(data[(k - 1) * SettingsImage::BlockSize + i]);
        }
        image.Description = TextFile::decode1251(data.mid(kRecordHeader, count));
        return true;
    }
    }
    return false;
}

qint64 SettingsFiles::FileLength(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isFile() ? fi.size() : 0;
}

bool SettingsFiles::FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString SettingsFiles::FileNameOf(const QString &path)
{
    const QString p = path.trimmed();
    const qsizetype slash = std::max(p.lastIndexOf(QLatin1Char('/')), p.lastIndexOf(QDir::separator()));
    if (slash < 0)
        return QString();
    return p.mid(slash + 1);
}

QString SettingsFiles::ShowSaveDialog(const QString &folder, const QString &title)
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

bool SettingsFiles::saveForm(int blocks, const QString &title, const QString &existsQuestion, bool appendBin)
{
    QString path = ShowSaveDialog(m_state.appFolder(), title);
    if (path.isEmpty())
        return false;
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    const QByteArray data = buildFile(m_state.CurrentImage, blocks);
    if (appendBin && !FileNameOf(path).contains(QLatin1Char('.')))
        path += QStringLiteral(".BIN");
    m_state.DataFilePath = path;
    if (FileExists(path)) {
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

void SettingsFiles::SaveDataFile()
{
    saveForm(3, QStringLiteral("Укажите файл для сохранения данных"), QStringLiteral("Файл существует, заменить"),
             true);
}

void SettingsFiles::ExportDataFile()
{
    saveForm(2, QStringLiteral("Укажите файл для сохранения данных"),
             QStringLiteral("Файл уже существует, заменить?"), false);
}

bool SettingsFiles::loadForm(const QString &path, bool noAsk, Form form)
{
    if (!noAsk)
        AskSaveChanges();
    m_state.CurrentImage.clearBlocks();
    if (!readFile(path, form, m_state.CurrentImage)) {
        if (form != Form::Record)
            m_prompts.message(QStringLiteral("Ошибка экспорта из файла"));
        return false;
    }
    m_state.DataFilePath = path;
    m_state.setDataFileCaption();
    SnapshotImage();
    return true;
}

bool SettingsFiles::LoadImageFile(const QString &path, bool noAsk) { return loadForm(path, noAsk, Form::Record); }
bool SettingsFiles::LoadDataFile390(const QString &path, bool noAsk)
{
    return loadForm(path, noAsk, Form::ThreeBlock);
}
bool SettingsFiles::LoadDataFile260(const QString &path, bool noAsk)
{
    return loadForm(path, noAsk, Form::TwoBlock);
}

bool SettingsFiles::loadByLength(const QString &path)
{
    switch (formForLength(FileLength(path))) {
    case Form::TwoBlock:
        return LoadDataFile260(path, true);
    case Form::ThreeBlock:
        return LoadDataFile390(path, true);
    case Form::Record:
        return LoadImageFile(path, true);
    }
    return false;
}

void SettingsFiles::SnapshotImage()
{
    m_state.CurrentImage.Description = m_state.CurrentImage.Description.trimmed();
    m_state.SavedImage = m_state.CurrentImage;
}

void SettingsFiles::AskSaveChanges()
{
    m_state.CurrentImage.orBlock1(m_state.table.HiddenDefaults);
    if (!m_state.CurrentImage.differsFrom(m_state.SavedImage))
        return;
    if (m_prompts.message(QStringLiteral("Сохранить данные"), QStringLiteral("Сохранение данных"),
                          UserPrompts::Icon::Question, UserPrompts::Buttons::YesNo)
        == UserPrompts::Answer::Yes)
        SaveDataFile();
}

void SettingsFiles::clearImage()
{
    m_state.CurrentImage.clearBlocks();
    m_state.CurrentImage.Description.clear();
}

void SettingsFiles::loadFromUser()
{
    const QString path = m_prompts.openFile(QStringLiteral("Укажите директорию и файл с базой"),
                                            m_state.appPath(QStringLiteral("data")),
                                            {{QStringLiteral("Файл с таблицами масок событий"), QStringLiteral("*.bin")},
                                             {QStringLiteral("Все файлы"), QStringLiteral("*.*")}},
                                            true);
    m_state.DataFilePath = path;
    clearImage();
    if (!path.isEmpty() && FileExists(path)) {
        if (!loadByLength(path))
            m_state.DataFilePath.clear();
    } else {
        m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    }
    m_state.setDataFileCaption();
    SnapshotImage();
}

void SettingsFiles::newDataFile()
{
    clearImage();
    m_state.DataFilePath = m_state.appPath(QStringLiteral("new.bin"));
    m_state.setDataFileCaption();
    SnapshotImage();
}

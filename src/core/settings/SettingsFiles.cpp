#include "core/settings/SettingsFiles.h"

#include <QDir>
#include <QFileInfo>

#include "core/common/FileIo.h"
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

namespace SettingsFiles {

Form formForLength(qint64 length)
{
    if (length < 261)
        return Form::TwoBlock;
    if (length == 390)
        return Form::ThreeBlock;
    return Form::Record;
}

QByteArray buildFile(const SettingsImage &image, int blocks)
{
    QByteArray out;
    for (int k = 1; k <= blocks; ++k)
        out += SettingsImage::fileBlock(image.block(k));
    return out;
}

bool readFile(const QString &path, Form form, SettingsImage &image)
{
    image.clearBlocks();
    QByteArray data;
    QString error;
    // The longest record: the blocks, the length and 65535 description characters. A longer
    // file is read no further, whatever its size.
    if (!FileIo::readRegular(path, data, error, kRecordHeader + 0xFFFF))
        return false;
    switch (form) {
    case Form::TwoBlock:
        fillFromFileBlocks(data.left(2 * SettingsImage::FileBlockSize), 2, image);
        return true;
    case Form::ThreeBlock:
        fillFromFileBlocks(data.left(3 * SettingsImage::FileBlockSize), 3, image);
        return true;
    case Form::Record: {
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

qint64 FileLength(const QString &path)
{
    const QFileInfo fi(path);
    return fi.isFile() ? fi.size() : 0;
}

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

QString FileNameOf(const QString &path)
{
    const QString p = path.trimmed();
    const qsizetype slash = std::max(p.lastIndexOf(QLatin1Char('/')), p.lastIndexOf(QDir::separator()));
    if (slash < 0)
        return QString();
    return p.mid(slash + 1);
}

} // namespace SettingsFiles

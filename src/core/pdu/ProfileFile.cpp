#include "core/pdu/ProfileFile.h"

#include "core/common/FileIo.h"

#include <QFileInfo>

namespace ProfileFile {

bool read(const QString &path, QByteArray &profile, QString &refusal)
{
    QByteArray data;
    QString why;
    // One byte more than the longest form tells a longer file from a data file.
    const bool readable = FileIo::readRegular(path, data, why, ThreeBlockSize + 1);
    if (!readable || (data.size() != ProfileSize && data.size() != ThreeBlockSize)) {
        const qint64 size = readable ? QFileInfo(path).size() : 0;
        refusal = QStringLiteral("Файл ") + path + QStringLiteral(" не является профильным файлом (")
                  + QString::number(size) + QStringLiteral(" байт)");
        return false;
    }
    profile = data.left(ProfileSize);
    return true;
}

} // namespace ProfileFile

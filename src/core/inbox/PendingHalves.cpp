#include "core/inbox/PendingHalves.h"

#include "core/common/FileIo.h"
#include "core/common/PhoneNumber.h"
#include "core/inbox/ReceivedProfiles.h"

#include <QDir>
#include <QFileInfo>

PendingHalves::PendingHalves(const QString &appFolder) : m_appFolder(appFolder) {}

QString PendingHalves::folder() const
{
    return QDir(m_appFolder).filePath(QStringLiteral("BIN/pending"));
}

QString PendingHalves::fileFor(const QString &sender, PacketType type) const
{
    return QDir(folder()).filePath(PhoneNumber::fileKey(sender) + QLatin1Char('.')
                                   + QString::number(int(type), 16));
}

bool PendingHalves::store(const QString &sender, PacketType type, const QByteArray &data, QString &error)
{
    const QString file = fileFor(sender, type);
    if (PhoneNumber::fileKey(sender).isEmpty() || data.size() != ReceivedProfiles::DataOctets) {
        error = QStringLiteral("Ошибка записи в файл ") + file;
        return false;
    }
    if (!QDir().mkpath(folder())) {
        error = QStringLiteral("Ошибка записи в файл ") + file + QStringLiteral(": не удалось создать папку ") + folder();
        return false;
    }
    // The sender as it came, then the data octets.
    return FileIo::writeWhole(file, sender.toUtf8() + '\n' + data, error);
}

void PendingHalves::load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const
{
    const QFileInfoList files = QDir(folder()).entryInfoList({QStringLiteral("*.43"), QStringLiteral("*.45")},
                                                             QDir::Files, QDir::Name);
    for (const QFileInfo &info : files) {
        QByteArray content;
        QString error;
        if (!FileIo::readRegular(info.filePath(), content, error, 256))
            continue;
        const qsizetype newline = content.indexOf('\n');
        const QString sender = QString::fromUtf8(content.left(newline));
        const QByteArray data = content.mid(newline + 1);
        const PacketType type = info.suffix() == QLatin1String("43") ? PacketType::ReadBlock1 : PacketType::ReadBlock2;
        if (info.lastModified().daysTo(now) > KeepDays) {
            QFile::remove(info.filePath());
            lines << expiredLine(sender);
            continue;
        }
        if (newline >= 0 && data.size() == ReceivedProfiles::DataOctets)
            profiles.storeBlock(sender, type, data);
    }
}

void PendingHalves::remove(const QString &sender) const
{
    QFile::remove(fileFor(sender, PacketType::ReadBlock1));
    QFile::remove(fileFor(sender, PacketType::ReadBlock2));
}

QString PendingHalves::discardForNewRequest(const QString &phone) const
{
    if (PhoneNumber::fileKey(phone).isEmpty())
        return {};
    bool any = false;
    for (PacketType type : {PacketType::ReadBlock1, PacketType::ReadBlock2})
        any = QFile::remove(fileFor(phone, type)) || any;
    return any ? discardedLine(phone) : QString();
}

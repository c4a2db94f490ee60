#include "core/inbox/ReceivedProfiles.h"

#include "core/common/FileIo.h"
#include "core/common/PhoneNumber.h"
#include "core/pdu/ReceivedSms.h"
#include "core/pdu/mdlSMS.h"

#include <QDir>
#include <QFileInfo>

namespace {

void fillBlock(std::array<quint8, ReceivedProfile::BlockSize> &block, QByteArrayView data)
{
    int sum = 0;
    for (int i = 0; i < ReceivedProfiles::DataOctets; ++i) {
        block[i] = i < data.size() ? quint8(data.at(i)) : 0;
        sum += block[i];
    }
    block[128] = quint8(sum >> 8); // at most 128 * 255: fits 16 bits
    block[129] = quint8(sum & 0xFF);
}

} // namespace

QByteArray ReceivedProfile::fileData() const
{
    QByteArray out(reinterpret_cast<const char *>(FirstBlock.data()), BlockSize);
    out.append(reinterpret_cast<const char *>(SecondBlock.data()), BlockSize);
    return out;
}

ReceivedProfiles::ReceivedProfiles() : m_entries(1) {}

bool ReceivedProfiles::storeBlock(const QString &sender, PacketType type, QByteArrayView data)
{
    if ((type != PacketType::ReadBlock1 && type != PacketType::ReadBlock2) || profileFileName(sender).isEmpty())
        return false;
    // A sender's own unfinished entry comes first: taking an emptied entry 0 before it would
    // split one terminal's two answers over two entries that never complete.
    int taken = -1;
    for (int i = 0; i < size() && taken < 0; ++i) {
        const ReceivedProfile &e = m_entries.at(i);
        // One subscriber in whatever form the network wrote the number.
        if (!e.Phone.isEmpty() && PhoneNumber::fileKey(e.Phone) == PhoneNumber::fileKey(sender) && !(e.Has43 && e.Has45))
            taken = i;
    }
    if (taken < 0 && m_entries.at(0).Phone.isEmpty())
        taken = 0;
    if (taken < 0) {
        m_entries.append(ReceivedProfile());
        taken = size() - 1;
    }
    ReceivedProfile &e = m_entries[taken];
    e.Phone = sender;
    if (type == PacketType::ReadBlock1) {
        fillBlock(e.FirstBlock, data);
        e.Has43 = true;
    } else {
        fillBlock(e.SecondBlock, data);
        e.Has45 = true;
    }
    return true;
}

bool ReceivedProfiles::RemoveReceivedProfile(int i, QString *errorDescription)
{
    if (i <= 0) {
        m_entries[0].clear();
        return true;
    }
    if (i >= size()) {
        if (errorDescription)
            *errorDescription = QStringLiteral("Откуда такой индекс?");
        return false;
    }
    m_entries.removeAt(i);
    return true;
}

QString ReceivedProfiles::profileFileName(const QString &phone)
{
    return PhoneNumber::fileKey(phone);
}

QString ReceivedProfiles::profileFilePath(const QString &appFolder, const QString &phone)
{
    const QString name = profileFileName(phone);
    if (name.isEmpty())
        return {};
    return QDir(appFolder).filePath(QStringLiteral("BIN/") + name + QStringLiteral(".bin"));
}

QStringList ReceivedProfiles::saveCompleteProfiles(const QString &appFolder, QList<Saved> *saved)
{
    QStringList lines;
    const QString binFolder = QDir(appFolder).filePath(QStringLiteral("BIN"));
    int i = 0;
    while (i < size()) {
        const ReceivedProfile &e = m_entries.at(i);
        if (!e.complete()) {
            ++i;
            continue;
        }
        // storeBlock admits only senders that make a usable name, so path is never empty here.
        const QString path = profileFilePath(appFolder, e.Phone);
        QString error = QStringLiteral("Ошибка записи в файл ") + path;
        bool written = false;
        if (!path.isEmpty()) {
            const QFileInfo existing(path);
            // A profile is a regular file inside BIN: a planted link would carry it anywhere.
            if (existing.isSymLink())
                error += QStringLiteral(": это ссылка, профиль не записан");
            else if (existing.exists() && !existing.isFile())
                error += QStringLiteral(": это не обычный файл");
            else if (!QDir().mkpath(binFolder))
                error += QStringLiteral(": не удалось создать папку ") + binFolder;
            else
                written = FileIo::writeWhole(path, e.fileData(), error);
        }
        if (!written) {
            lines << error + QStringLiteral("\r\n");
            ++i; // kept for the next poll
            continue;
        }
        lines << QStringLiteral("Сохранен профильный файл от терминала: ") + e.Phone + QStringLiteral(", файл ")
                     + QDir::toNativeSeparators(path) + QStringLiteral("\r\n");
        if (saved)
            saved->append({e.Phone, path});
        // Removing entry i > 0 moves the next entry into place i: look at i again.
        RemoveReceivedProfile(i);
        if (i == 0)
            ++i;
    }
    return lines;
}

namespace mdlSMS {

bool ParseReceivedSms(const QString &pdu, ReceivedProfiles &profiles, QString &cmdInfoLine)
{
    cmdInfoLine.clear();
    const ReceivedSms sms = decodeReceivedSms(pdu);
    if (!sms.accepted())
        return false;
    cmdInfoLine = confirmationLine(sms);
    if (!cmdInfoLine.isEmpty())
        return true;
    // The sender becomes a file name under BIN: anything but "+" and digits stays out.
    if (!profiles.storeBlock(sms.sender, *sms.type, sms.data)) {
        cmdInfoLine = QStringLiteral("Ответ терминала не принят: номер отправителя \"") + sms.sender +
                      QStringLiteral("\" не годится для имени файла") + QStringLiteral("\r\n");
        return false;
    }
    return true;
}

} // namespace mdlSMS

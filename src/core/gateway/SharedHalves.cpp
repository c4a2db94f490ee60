#include "core/gateway/SharedHalves.h"

#include "core/common/PhoneNumber.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/tasks/TaskBook.h"

bool SharedHalves::store(const QString &sender, PacketType type, const QByteArray &data, QString &error)
{
    if (PhoneNumber::fileKey(sender).isEmpty() || data.size() != ReceivedProfiles::DataOctets) {
        error = QStringLiteral("Половина профиля от ") + sender + QStringLiteral(" не годится для хранения");
        return false;
    }
    QString why;
    // The newer answer replaces the older, as a later request's would.
    if (m_book.removeHalves(sender, why, int(type)) && m_book.putHalf(sender, int(type), data, 0, why))
        return true;
    error = QStringLiteral("Половина профиля не записана в базу шлюза: ") + why;
    return false;
}

void SharedHalves::load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const
{
    QString error;
    const std::optional<QList<TaskBook::Half>> halves = m_book.halves(error);
    if (!halves) {
        lines << QStringLiteral("Половины профилей не читаются из базы шлюза: ") + error + QStringLiteral("\r\n");
        return;
    }
    for (const TaskBook::Half &half : *halves) {
        if (half.received.isValid() && half.received.daysTo(now) > KeepDays) {
            if (m_book.removeHalves(half.number, error, half.packet))
                lines << expiredLine(half.number);
            continue;
        }
        if (half.data.size() == ReceivedProfiles::DataOctets)
            profiles.storeBlock(half.number, PacketType(half.packet), half.data);
    }
}

void SharedHalves::remove(const QString &sender) const
{
    QString error;
    m_book.removeHalves(sender, error);
}

QString SharedHalves::discardForNewRequest(const QString &phone) const
{
    QString error;
    int removed = 0;
    return m_book.removeHalves(phone, error, 0, &removed) && removed > 0 ? discardedLine(phone) : QString();
}

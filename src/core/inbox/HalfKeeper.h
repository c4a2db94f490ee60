#pragma once

#include "core/pdu/PacketType.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class ReceivedProfiles;

// Where halves of profiles (a terminal's answer 0x43 or 0x45 whose partner has not come yet)
// wait for their partner: on this workstation's disk for a modem, in the gateway's database
// when several workstations read one gateway's inbox. One half per sender and packet: a newer
// one replaces the older.
class HalfKeeper
{
public:
    static constexpr int KeepDays = 7;

    virtual ~HalfKeeper() = default;
    // Keeps the 128 data octets of one answer; false with error set when they could not be kept.
    virtual bool store(const QString &sender, PacketType type, const QByteArray &data, QString &error) = 0;
    // Every half kept into profiles; halves older than KeepDays are removed, each with a line.
    virtual void load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const = 0;
    // The halves of this sender's number are no longer needed (its profile was saved).
    virtual void remove(const QString &sender) const = 0;
    // A new read request goes to this terminal: the halves it may have left from an earlier one
    // belong to other settings and must never join the new answers. The line for txtCmdInfo
    // when any was kept, else "".
    virtual QString discardForNewRequest(const QString &phone) const = 0;

    static QString expiredLine(const QString &sender)
    {
        return QStringLiteral("Удалена половина профиля от ") + sender + QStringLiteral(", ждавшая пару больше ")
               + QString::number(KeepDays) + QStringLiteral(" дней\r\n");
    }
    static QString discardedLine(const QString &phone)
    {
        return QStringLiteral("Удалена половина профиля от ") + phone + QStringLiteral(", полученная на прежний запрос\r\n");
    }
};

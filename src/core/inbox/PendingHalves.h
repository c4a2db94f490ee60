#pragma once

#include "core/pdu/PacketType.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class ReceivedProfiles;

// Halves of profiles (a terminal's answer 0x43 or 0x45 whose partner has not come yet), kept
// under BIN/pending of the application folder so that a later poll, in the window or the
// command-line tool, completes them. A half older than KeepDays is dropped.
class PendingHalves
{
public:
    static constexpr int KeepDays = 7;

    explicit PendingHalves(const QString &appFolder);

    QString folder() const;
    // Keeps the 128 data octets of one answer; false with error set when they could not be written.
    bool store(const QString &sender, PacketType type, const QByteArray &data, QString &error);
    // Every half kept into profiles; halves older than KeepDays are removed, each with a line.
    void load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const;
    // The halves of this sender's number are no longer needed (its profile was saved).
    void remove(const QString &sender) const;
    // A new read request goes to this terminal: the halves it may have left from an earlier one
    // belong to other settings and must never join the new answers. The line for txtCmdInfo
    // when any was kept, else "".
    QString discardForNewRequest(const QString &phone) const;

private:
    QString fileFor(const QString &sender, PacketType type) const;

    QString m_appFolder;
};

#pragma once

#include "core/inbox/HalfKeeper.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class ReceivedProfiles;

// Halves of profiles kept under BIN/pending of the application folder, so that a later poll,
// in the window or the command-line tool, completes them.
class PendingHalves : public HalfKeeper
{
public:
    explicit PendingHalves(const QString &appFolder);

    QString folder() const;
    bool store(const QString &sender, PacketType type, const QByteArray &data, QString &error) override;
    void load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const override;
    void remove(const QString &sender) const override;
    QString discardForNewRequest(const QString &phone) const override;

private:
    QString fileFor(const QString &sender, PacketType type) const;

    QString m_appFolder;
};

#pragma once

#include "core/inbox/HalfKeeper.h"

class TaskBook;

// Halves of profiles in the gateway's database, beside the tasks: whichever workstation reads
// the second half of an answer completes the profile, wherever the first was read.
class SharedHalves : public HalfKeeper
{
public:
    explicit SharedHalves(TaskBook &book) : m_book(book) {}

    bool store(const QString &sender, PacketType type, const QByteArray &data, QString &error) override;
    void load(ReceivedProfiles &profiles, const QDateTime &now, QStringList &lines) const override;
    void remove(const QString &sender) const override;
    QString discardForNewRequest(const QString &phone) const override;

private:
    TaskBook &m_book;
};

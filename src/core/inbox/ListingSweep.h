#pragma once

#include "core/inbox/InboxMessage.h"
#include "core/inbox/ReceivedProfiles.h"
#include "core/pdu/PacketType.h"

#include <QDateTime>
#include <QStringList>

#include <functional>

class HalfKeeper;

// What the poll does with one listing of a message store (a modem's or a gateway's), short of
// talking to it: confirmations are logged, terminals' answers kept as pending halves and complete profiles
// saved, the operator's own messages written to the journal. Only what is safely kept, or needs no
// keeping, may then be deleted; a message that did not arrive whole is left alone.
class ListingSweep
{
public:
    struct Outcome
    {
        int messages = 0;      // messages listed
        QStringList lines;     // for txtCmdInfo, each ending in "\r\n"
        QList<ReceivedProfiles::Saved> saved;
        // The terminals' confirmations: who took which packet.
        struct Confirmation
        {
            QString sender;
            PacketType packet;
        };
        QList<Confirmation> confirmations;
        QStringList deletable; // ids of the messages that may be deleted
        bool writeFailed = false; // a profile or a half of one could not be kept on disk
        // Complete profiles the holder took: not saved here, their halves still kept.
        struct Held
        {
            QString phone;
            QByteArray file;
        };
        QList<Held> held;
    };
    // Whether a complete profile belongs to someone else (another workstation's read), who is
    // handed it instead of this workstation's BIN folder.
    using Holder = std::function<bool(const QString &phone, const QByteArray &file)>;

    ListingSweep(const QString &appFolder, const QDateTime &now) : m_appFolder(appFolder), m_now(now) {}

    // Where halves wait for their partner: BIN/pending of the application folder unless set.
    void setHalves(HalfKeeper *halves) { m_halves = halves; }
    void setHolder(Holder holder) { m_holder = std::move(holder); }

    // Where the messages a listing could not read are remembered until the next listing: one
    // that shows the same text at the same index again is no line noise but junk that stays.
    static QString unreadablePath(const QString &appFolder);

    // profiles is rebuilt: the halves kept from earlier polls, with this listing's added.
    Outcome sweep(const QList<InboxMessage> &messages, ReceivedProfiles &profiles) const;

private:
    QString m_appFolder;
    QDateTime m_now;
    HalfKeeper *m_halves = nullptr;
    Holder m_holder;
};

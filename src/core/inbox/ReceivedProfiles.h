#pragma once

#include "core/pdu/PacketType.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>

// A terminal's profile collected from its answers 0x43 and 0x45.
struct ReceivedProfile
{
    static constexpr int BlockSize = 130; // 128 data bytes, then their sum high, low

    QString Phone; // the sender as decoded; empty: an unused entry
    bool Has43 = false;
    bool Has45 = false;
    std::array<quint8, BlockSize> FirstBlock{};
    std::array<quint8, BlockSize> SecondBlock{};

    void clear() { *this = ReceivedProfile(); }
    bool complete() const { return !Phone.isEmpty() && Has43 && Has45; }
    // FirstBlock then SecondBlock: exactly a two-block settings data file (260 bytes).
    QByteArray fileData() const;

    bool operator==(const ReceivedProfile &) const = default;
};

// The answers collected per sender. Entry 0 always exists; an emptied entry 0 is reused.
class ReceivedProfiles
{
public:
    static constexpr int DataOctets = 128;

    ReceivedProfiles();

    int size() const { return int(m_entries.size()); }
    const ReceivedProfile &at(int i) const { return m_entries.at(i); }
    const QList<ReceivedProfile> &entries() const { return m_entries; }

    // Stores the 128 data octets of an answer 0x43 (FirstBlock) or 0x45 (SecondBlock) for
    // the sender, with their sum, and sets Has43 or Has45. The entry taken is the first
    // one of this sender that is not yet complete, else an empty entry 0, else a new
    // entry at the end. Other types and senders that are not usable as a file name are
    // refused (false).
    bool storeBlock(const QString &sender, PacketType type, QByteArrayView data);

    // i <= 0 empties entry 0 in place; the last index shortens the list; an index inside
    // the list empties it and moves the later entries down. An index past the end changes
    // nothing and returns false with errorDescription "Откуда такой индекс?".
    bool RemoveReceivedProfile(int i, QString *errorDescription = nullptr);

    // Writes every complete profile to <appFolder>/BIN/<profileFileName>.bin (BIN is created
    // when missing), whole or not at all, as a regular file (an existing link or anything but a
    // regular file is refused), and removes it from the list. Returns the lines for txtCmdInfo,
    // each ending in "\r\n": one per saved file, and "Ошибка записи в файл " + path + why for a
    // file that could not be written (that profile stays for the next poll). saved, when given, receives the sender and the path
    // of each file written.
    struct Saved
    {
        QString phone;
        QString path;
    };
    QStringList saveCompleteProfiles(const QString &appFolder, QList<Saved> *saved = nullptr);

    // The file name (without ".bin") for a sender: the last 10 digits of a Russian number, all
    // digits of any other (PhoneNumber::fileKey). Empty unless the sender is "+" or a digit
    // followed by digits only, so a name can never leave the BIN folder.
    static QString profileFileName(const QString &phone);
    // <appFolder>/BIN/<name>.bin, or empty when the sender gives no usable name.
    static QString profileFilePath(const QString &appFolder, const QString &phone);

private:
    QList<ReceivedProfile> m_entries;
};

// The decoder of one listed message into the profiles, under the module's routine name.
namespace mdlSMS {

// Acts on one PDU of a message listing: a GPRS confirmation or a profile block
// confirmation gives a line for txtCmdInfo, a terminal's answer 0x43/0x45 is stored in
// profiles for its sender. Anything that is not one of the system's packets is ignored.
// cmdInfoLine receives the line to show (ending in "\r\n") or stays empty. True when
// the message was one of the system's packets and was acted on.
bool ParseReceivedSms(const QString &pdu, ReceivedProfiles &profiles, QString &cmdInfoLine);

} // namespace mdlSMS

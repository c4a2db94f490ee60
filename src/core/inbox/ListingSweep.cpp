#include "core/inbox/ListingSweep.h"

#include "core/inbox/PendingHalves.h"
#include "core/common/PhoneNumber.h"
#include "core/pdu/ReceivedSms.h"
#include "core/inbox/SmsJournal.h"
#include "core/pdu/mdlSMS.h"
#include "core/common/FileIo.h"

#include <QDir>
#include <QFile>
#include <QSet>

QString ListingSweep::unreadablePath(const QString &appFolder)
{
    return QDir(appFolder).filePath(QStringLiteral("SMS/unreadable.txt"));
}

ListingSweep::Outcome ListingSweep::sweep(const QList<InboxMessage> &messages, ReceivedProfiles &profiles) const
{
    Outcome out;
    PendingHalves local(m_appFolder);
    HalfKeeper &halves = m_halves ? *m_halves : local;
    struct Answer
    {
        QString id;
        QString key;
    };
    QList<Answer> answers;
    bool journalFailed = false;
    // Messages the last listing could not read: "index<TAB>text" per line.
    QSet<QString> unreadableBefore;
    {
        QByteArray content;
        QString error;
        if (FileIo::readRegular(unreadablePath(m_appFolder), content, error, 1 << 20)) {
            for (const QByteArray &line : content.split('\n'))
                unreadableBefore.insert(QString::fromUtf8(line));
        }
    }
    QStringList unreadableNow;

    for (const InboxMessage &message : messages) {
        ++out.messages;
        const ReceivedSms &sms = message.sms;
        const bool unreadable = !message.whole || sms.ignored == SmsIgnoreReason::Truncated
                                || sms.ignored == SmsIgnoreReason::NotHex;
        // A message that does not read may be line noise on this listing: left alone once; when the
        // next listing shows the same text at the same index it is junk, journalled and deleted.
        const QString seenAs = message.name + QLatin1Char('\t') + message.raw;
        if (unreadable && !unreadableBefore.contains(seenAs)) {
            unreadableNow << seenAs;
            out.lines << (message.whole ? QStringLiteral("Сообщение %1 не разобрано и оставлено в модеме\r\n")
                                          : QStringLiteral("Сообщение %1 пришло не целиком и оставлено в модеме\r\n"))
                             .arg(message.name);
            continue;
        }
        const bool answer = sms.accepted()
                            && (*sms.type == PacketType::ReadBlock1 || *sms.type == PacketType::ReadBlock2);
        if (sms.accepted() && !answer) {
            // A confirmation: the line is all there is to keep.
            out.lines << mdlSMS::confirmationLine(sms);
            out.confirmations.append({sms.sender, *sms.type});
            out.deletable << message.id;
            continue;
        }
        if (answer && sms.senderUsableAsFileName()) {
            QString error;
            if (halves.store(sms.sender, *sms.type, sms.data, error)) {
                answers.append({message.id, PhoneNumber::fileKey(sms.sender)});
            } else {
                out.writeFailed = true;
                out.lines << error + QStringLiteral(": ответ терминала оставлен в модеме\r\n");
            }
            continue;
        }
        // Not the system's (or junk seen twice): kept in the journal before it goes.
        const SmsJournal::Entry &entry = message.journal;
        if (answer) {
            // A named sender is shown by its name, not by the raw octets of its address.
            out.lines << QStringLiteral("Ответ терминала не принят: номер отправителя \"") + entry.sender
                             + QStringLiteral("\" не годится для имени файла\r\n");
        }
        if (journalFailed)
            continue;
        QString error;
        if (!SmsJournal::append(m_appFolder, m_now.date(), entry, error)) {
            journalFailed = true;
            out.lines << error + QStringLiteral(": посторонние сообщения оставлены в модеме\r\n");
            continue;
        }
        out.lines << SmsJournal::deletedLine(entry);
        out.deletable << message.id;
    }

    {
        // Remembered for the next listing only; losing the file only delays the clean-up.
        QString error;
        if (unreadableNow.isEmpty())
            QFile::remove(unreadablePath(m_appFolder));
        else if (QDir().mkpath(QDir(m_appFolder).filePath(QStringLiteral("SMS"))))
            FileIo::writeWhole(unreadablePath(m_appFolder), unreadableNow.join(QLatin1Char('\n')).toUtf8(), error);
    }
    profiles = ReceivedProfiles();
    halves.load(profiles, m_now, out.lines);
    for (int i = profiles.size() - 1; m_holder && i >= 0; --i) {
        const ReceivedProfile &e = profiles.at(i);
        if (!e.complete() || !m_holder(e.Phone, e.fileData()))
            continue;
        out.held.append({e.Phone, e.fileData()});
        profiles.RemoveReceivedProfile(i);
    }
    out.lines << profiles.saveCompleteProfiles(m_appFolder, &out.saved);
    for (const ReceivedProfiles::Saved &saved : std::as_const(out.saved))
        halves.remove(saved.phone);
    // A complete profile still held could not be written: its answers stay in the modem too.
    QStringList unsaved;
    for (const ReceivedProfile &e : profiles.entries()) {
        if (e.complete())
            unsaved << PhoneNumber::fileKey(e.Phone);
        out.writeFailed = out.writeFailed || e.complete();
    }
    for (const Answer &a : std::as_const(answers)) {
        if (!unsaved.contains(a.key))
            out.deletable << a.id;
    }
    return out;
}

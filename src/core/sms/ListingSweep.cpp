#include "core/sms/ListingSweep.h"

#include "core/sms/ListedMessage.h"
#include "core/sms/PendingHalves.h"
#include "core/common/PhoneNumber.h"
#include "core/sms/ReceivedSms.h"
#include "core/sms/SmsJournal.h"
#include "core/sms/mdlSMS.h"

ListingSweep::Outcome ListingSweep::sweep(const SmsTable &list, ReceivedProfiles &profiles) const
{
    Outcome out;
    PendingHalves halves(m_appFolder);
    struct Answer
    {
        QString header;
        QString key;
    };
    QList<Answer> answers;
    bool journalFailed = false;

    for (const auto &column : list) {
        if (column[1].isEmpty())
            continue;
        ++out.messages;
        const ListedMessage message{column[0], column[1]};
        if (!message.whole()) {
            out.lines << QStringLiteral("Сообщение %1 пришло не целиком и оставлено в модеме\r\n").arg(message.index());
            continue;
        }
        const ReceivedSms sms = decodeReceivedSms(message.pdu);
        const bool answer = sms.accepted()
                            && (*sms.type == PacketType::ReadBlock1 || *sms.type == PacketType::ReadBlock2);
        if (sms.accepted() && !answer) {
            // A confirmation: the line is all there is to keep.
            out.lines << mdlSMS::confirmationLine(sms);
            out.confirmations.append({sms.sender, *sms.type});
            out.deletable << message.header;
            continue;
        }
        if (answer && sms.senderUsableAsFileName()) {
            QString error;
            if (halves.store(sms.sender, *sms.type, sms.data, error))
                answers.append({message.header, PhoneNumber::fileKey(sms.sender)});
            else
                out.lines << error + QStringLiteral(": ответ терминала оставлен в модеме\r\n");
            continue;
        }
        // Not the system's: the operator's, kept in the journal before it goes.
        const SmsJournal::Entry entry = SmsJournal::describe(message.pdu);
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
        out.deletable << message.header;
    }

    profiles = ReceivedProfiles();
    halves.load(profiles, m_now, out.lines);
    out.lines << profiles.saveCompleteProfiles(m_appFolder, &out.saved);
    for (const ReceivedProfiles::Saved &saved : std::as_const(out.saved))
        halves.remove(saved.phone);
    // A complete profile still held could not be written: its answers stay in the modem too.
    QStringList unsaved;
    for (const ReceivedProfile &e : profiles.entries()) {
        if (e.complete())
            unsaved << PhoneNumber::fileKey(e.Phone);
    }
    for (const Answer &a : std::as_const(answers)) {
        if (!unsaved.contains(a.key))
            out.deletable << a.header;
    }
    return out;
}

#include "core/route/ListedMessage.h"

#include "core/common/HexText.h"
#include "core/pdu/PduDecoder.h"

int ListedMessage::index() const
{
    const qsizetype colon = header.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return -1;
    const qsizetype comma = header.indexOf(QLatin1Char(','), colon);
    bool ok = false;
    const int i = header.mid(colon + 1, comma < 0 ? -1 : comma - colon - 1).trimmed().toInt(&ok);
    return ok ? i : -1;
}

int ListedMessage::announcedLength() const
{
    const qsizetype comma = header.lastIndexOf(QLatin1Char(','));
    if (comma < 0)
        return -1;
    bool ok = false;
    const int n = header.mid(comma + 1).trimmed().toInt(&ok);
    return ok ? n : -1;
}

bool ListedMessage::whole() const
{
    const QString t = pdu.trimmed();
    if (t.size() % 2 != 0 || !HexText::isHexRun(t, 0, t.size()))
        return false;
    const int centre = HexText::octetAt(t, 0);
    const int announced = announcedLength();
    if (centre < 0)
        return false;
    if (announced < 0) // nothing to compare with: the PDU must at least read through
        return PduDecoder::decodePdu(t).ok;
    return t.size() == 2 * (1 + centre + announced);
}

QList<InboxMessage> inboxMessages(const SmsTable &listing)
{
    QList<InboxMessage> messages;
    for (const auto &column : listing) {
        if (column[1].isEmpty())
            continue;
        const ListedMessage listed{column[0], column[1]};
        InboxMessage m;
        m.id = listed.header;
        m.name = QString::number(listed.index());
        m.sms = decodeReceivedSms(listed.pdu);
        m.whole = listed.whole();
        m.raw = listed.pdu;
        m.journal = SmsJournal::describe(listed.pdu);
        m.journal.listing = listed.header;
        messages.append(m);
    }
    return messages;
}

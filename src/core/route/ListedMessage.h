#pragma once

#include "core/inbox/InboxMessage.h"
#include "core/link/clsReceive.h"

#include <QList>
#include <QString>

// One message of a store listing: the header line ("+CMGL: 3,1,,159", with or without the space
// after the colon) and the PDU line that followed it.
struct ListedMessage
{
    QString header;
    QString pdu;

    // The store index, the text between the colon and the first comma; -1 when there is none.
    int index() const;
    // The TPDU length the header announces (its last field); -1 when it announces none.
    int announcedLength() const;
    // The PDU arrived whole: hex throughout, and as many octets after the centre part as announced.
    bool whole() const;
};

// The messages of a modem's listing ("+CMGL" header, PDU line) as the sweep takes them: the
// header line is the id the deletion needs, a header without its PDU line is no message.
QList<InboxMessage> inboxMessages(const SmsTable &listing);

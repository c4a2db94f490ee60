#pragma once

#include "core/inbox/SmsJournal.h"
#include "core/pdu/ReceivedSms.h"

#include <QString>

// One message of a store as the sweep sees it: decoded by its route, with a handle only that
// route understands (the store's header line on a modem, the row id in a gateway).
struct InboxMessage
{
    QString id;   // handed back in the sweep's deletable list
    QString name; // how the operator's texts name it: the store index
    ReceivedSms sms;
    bool whole = true; // false: a listing cut it short (line noise)
    QString raw;       // the stored text, to tell junk seen twice from noise seen once
    SmsJournal::Entry journal; // what the journal keeps if the message goes there
};

#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>

// The journal of the operator's own messages: what the poll finds in the modem's store that is
// not one of the system's is written here, whole, before it is deleted.
namespace SmsJournal {

struct Entry
{
    QString timeStamp; // from the PDU; empty for a saved outgoing message
    QString sender;    // sender, destination or recipient, alphanumeric ones decoded
    QString kind;      // "входящее", "исходящее", "отчет о доставке", "не разобрано"
    QString text;      // GSM 7-bit or UCS-2 decoded; hex for 8-bit data
    QString pdu;
    QString listing; // the store's header line ("+CMGL: 3,1,,159": index, status, length), when listed
};

Entry describe(const QString &pdu);
// The entry as written to the journal (UTF-8, "\n" line ends, a blank line after it).
QByteArray format(const Entry &entry);
// <appFolder>/SMS/YYYY-MM-DD.txt
QString path(const QString &appFolder, const QDate &day);
// The line for txtCmdInfo: "Удалено постороннее сообщение от " + sender + ": " + 60 characters.
QString deletedLine(const Entry &entry);
// Appends the entry to the day's journal (the folder made when missing); false with error set.
bool append(const QString &appFolder, const QDate &day, const Entry &entry, QString &error);

} // namespace SmsJournal

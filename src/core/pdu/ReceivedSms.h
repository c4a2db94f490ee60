#pragma once

#include "core/pdu/PacketType.h"

#include <QByteArray>
#include <QString>
#include <optional>

// Why a listed message is not one of the system's packets (and is left alone).
enum class SmsIgnoreReason {
    None,             // a packet of the system
    Truncated,        // the text ends before a field that is read
    NotDeliver,       // a status report or a stored SMS-SUBMIT: never a terminal's answer
    NotHex,           // a field that is read holds a character that is not a hex digit
    ForeignCoding,    // data coding scheme other than "F6"
    ShortUserData,    // fewer user-data octets than the packet type needs
    HeaderNotDecimal, // the type octet is not written with two decimal digits
    UnknownType,      // a type octet that is none of 0x33, 0x35, 0x43, 0x45, 0x57
    HeaderMismatch,   // octets 1, 3, 4 of an answer are not 0x05, 0x00, 0x01
};

// One SMS-DELIVER PDU of a message listing, read by positions as the terminals write it.
struct ReceivedSms
{
    static constexpr int DataOctets = 128; // octets 5..132 of an answer
    static constexpr int HeaderOctets = 5;

    SmsIgnoreReason ignored = SmsIgnoreReason::Truncated;
    QString sender;          // "+" for type "91", then the digits; a trailing "F" removed
    QString senderType;      // two hex digits
    QString dataCoding;      // the two characters of the data coding scheme
    int userDataLength = -1; // octets announced
    QByteArray userData;     // the user data octets that were read
    QString typeText;        // octet 0 as written ("43")
    std::optional<PacketType> type;
    QByteArray data;         // the 128 data octets of types 0x33..0x45

    bool accepted() const { return ignored == SmsIgnoreReason::None; }
    // Only "+" and digits, and at least one digit left once the first two characters go:
    // the sender can name a profile file.
    bool senderUsableAsFileName() const;
};

// Decodes a PDU text (surrounding white space ignored, hex digits in either case).
// Never reads outside the text.
ReceivedSms decodeReceivedSms(const QString &pdu);
// A message whose fields a store gave apart (a gateway's row): the sender as written, the data
// coding as two hex digits, the user data octets.
ReceivedSms receivedSms(const QString &sender, const QString &dataCoding, const QByteArray &userData);

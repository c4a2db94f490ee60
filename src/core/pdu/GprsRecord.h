#pragma once

#include "core/pdu/TransferRecord.h"

#include <QString>
#include <array>

// What the operator typed in the frame "Параметры GPRS".
struct GprsSettings
{
    QString apn;           // txtgprsAPN
    QString userName;      // txtgprsNAME
    QString password;      // txtgprsPASS
    QString serverAddress; // txtgprsIP, dotted
    QString port;          // txtgprsPORT
};

// The record of packet type 0x57 that carries GPRS settings to a terminal.
namespace GprsRecord {

// Block layout: access point name from byte 0, user name from 64, password from 80
// (code page 1251, rest zero), server address 96..99, port 100..101 high byte first.
constexpr int ApnOffset = 0;
constexpr int UserNameOffset = 64;
constexpr int PasswordOffset = 80;
constexpr int AddressOffset = 96;
constexpr int PortOffset = 100;
// The input limits of the text boxes; longer texts are cut there, which also keeps a zero
// after each text inside its field.
constexpr int ApnLimit = 60;
constexpr int UserNameLimit = 14;
constexpr int PasswordLimit = 14;

// Four dotted parts of 0..255 ("10.0.0.1", and "10.0.0.1." with the last part keeping its
// dot). False for fewer or more parts or a part that is not a number in range.
bool parseServerAddress(const QString &text, std::array<quint8, 4> &parts);
// A port number 1..65535.
bool parsePort(const QString &text, quint16 &port);

// What the refusal of a server address adds after "Неверно задан IP адрес": what is expected,
// and for a host name that the terminal takes none.
QString addressExpected(const QString &text);

// Fills rec (type 0x57, block, zero reserved bytes, sum). On a bad address the result is
// false with errorText "Неверно задан IP адрес" and addressExpected(); on a bad port "Неверно задан порт". The
// address is checked first. rec is untouched on failure.
bool buildGprsRecord(const GprsSettings &settings, TransferRecord &rec, QString &errorText);

} // namespace GprsRecord

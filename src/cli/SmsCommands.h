#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

// Command-line subcommands for profile transfer traffic and profile files:
//   decode-pdu PDU
//       the fields of one PDU as the modem shows it, the packet it carries and what the
//       program does with it when it arrives in a message listing.
//       0 decoded, 1 not a PDU that can be decoded, 2 bad usage.
//   diff [--service] --table TABLE A.bin B.bin
//       every flag, output mask and parameter whose value differs, then bytes that differ
//       where no table line reads them. 0 equal, 1 different or bad input, 2 bad usage.
bool isSmsCommand(const QString &command);
// args are the arguments after the subcommand name.
int runSmsCommand(const QString &command, const QStringList &args, QTextStream &out, QTextStream &err);

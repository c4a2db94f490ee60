#pragma once

#include <QString>
#include <QStringList>

// Command-line subcommands that send profiles and GPRS settings by SMS and collect the
// terminals' answers, with the steps and log lines of the link window's profile mode:
//   send-profile --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] FILE
//   read-profile --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] [--wait SECONDS]
//   poll --port DEVICE [serial options]
//   send-gprs --port DEVICE [serial options] --phone NUMBER [--smsc NUMBER] --apn TEXT
//             [--user TEXT] [--password TEXT] --server ADDRESS --server-port N
// Log lines go to standard output; read-profile ends with the path of the saved file.
// Returns 0 on success, 1 on failure (refused input, a modem that does not take the
// message, no profile within the wait), 2 on bad usage. A QCoreApplication must exist.
bool isSmsTransferCommand(const QString &command);
int runSmsTransferCommand(const QString &command, const QStringList &args);

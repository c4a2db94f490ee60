#pragma once

#include <QString>
#include <QStringList>

// Command-line subcommands that talk to a modem on a serial port:
//   modem-info --port DEVICE [--baud N --parity n|e|o --data 7|8 --stop 1|2]
//   at --port DEVICE [serial options] COMMAND...
// args are the arguments after the subcommand name. Returns 0 on success, 1 when
// the modem does not answer as required or the port cannot be opened, 2 on bad usage.
// The exchanges wait in event loops: a QCoreApplication must exist.
int runLinkCommand(const QString &command, const QStringList &args);


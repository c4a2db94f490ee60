#pragma once

struct CliContext;
struct CliOptions;

// The commands that talk to a modem on a serial port. 0 on success, 1 when the modem does
// not answer as required or the port cannot be opened. The exchanges wait in event loops:
// a QCoreApplication must exist.
int runModemInfo(const CliOptions &o, CliContext &c);
int runAtCommands(const CliOptions &o, CliContext &c);

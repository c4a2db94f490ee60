#pragma once

struct CliContext;
struct CliOptions;

// The commands that send profiles and GPRS settings by SMS and collect the terminals'
// answers, with the steps and log lines of the link window's profile mode. The log lines
// are their record, on standard output as they come; read-profile ends with the path of the
// saved file. 0 on success, 1 on failure (refused input, a modem that does not take the
// message, no profile within the wait). A QCoreApplication must exist.
int runSendProfile(const CliOptions &o, CliContext &c);
int runReadProfile(const CliOptions &o, CliContext &c);
int runPoll(const CliOptions &o, CliContext &c);
int runSendGprs(const CliOptions &o, CliContext &c);

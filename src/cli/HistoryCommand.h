#pragma once

struct CliContext;
struct CliOptions;

// history [--terminal NAME | --phone N] [--since YYYY-MM-DD] [--failed] [--json]: what was done
// to the terminals, newest first, from Data.db of the application folder. 0 done, 1 when the
// database cannot be read, 2 on bad usage.
int runHistory(const CliOptions &o, CliContext &c);

#pragma once

struct CliContext;
struct CliOptions;

// The commands on a control table and data files (their entries are in CommandTable.cpp).
int runCheckTable(const CliOptions &o, CliContext &c);
int runReport(const CliOptions &o, CliContext &c);
int runShow(const CliOptions &o, CliContext &c);
int runConvert(const CliOptions &o, CliContext &c);

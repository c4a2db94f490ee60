#pragma once

#include <QString>

struct CliCommand;
struct CliContext;
struct CliOptions;

// The texts made from the command table: usage, help, the README's command list, the bash
// completion script and the manual page.
namespace CliHelp {

// "kvrsetup-cli show [--service] --table TABLE --data FILE"
QString usageLine(const CliCommand &command);
// The usage, the summary and every option of one command.
QString commandHelp(const CliCommand &command);
// Every command with its summary.
QString overview();
// The usage line of every command as an indented markdown block.
QString markdown();
// A bash script that completes commands, their options and the options' values.
QString bashCompletion();
// The manual page kvrsetup-cli(1) in roff: every command with its usage, summary and options.
QString manPage();

// Bad usage without a known command: the problem and the overview on standard error, 2.
int badUsage(const QString &problem);

} // namespace CliHelp

// kvrsetup-cli help [COMMAND]
int runHelp(const CliOptions &o, CliContext &c);

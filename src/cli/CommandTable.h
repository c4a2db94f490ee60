#pragma once

#include "cli/CliCommand.h"

// Every command of kvrsetup-cli, in the order help lists them. The dispatcher, the help,
// the usage, the README's command list and the bash completion all come from here.
const QList<CliCommand> &commandTable();
// nullptr for a name the table does not have.
const CliCommand *findCommand(const QString &name);

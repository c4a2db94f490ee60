#pragma once

#include <QCoreApplication>

// The tool's own messages, usage and help, written here in Russian like the rest of the
// program; another language comes as kvrsetup-cli_<language>.qm beside the program.
class CliText
{
    Q_DECLARE_TR_FUNCTIONS(CliText)
};

#include "cli/CliCommand.h"

#include "cli/CliHelp.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"

const CliOption *CliCommand::option(const QString &optionName) const
{
    for (const CliOption &o : options) {
        if (o.name == optionName)
            return &o;
    }
    return nullptr;
}

int CliContext::badUsage(const QString &problem) const
{
    printMessage(problem);
    writeText(stderr, CliText::tr("Использование: %1").arg(CliHelp::usageLine(command)) + QLatin1Char('\n')
                          + CliText::tr("Справка: kvrsetup-cli help %1").arg(command.name) + QLatin1Char('\n'));
    return 2;
}

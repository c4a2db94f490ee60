#include "cli/CliCommands.h"

#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/CommandTable.h"

int CliCommands::run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return CliHelp::badUsage(QString());
    if (arguments.first() == QLatin1String("--help")) {
        m_out << CliHelp::overview();
        m_out.flush();
        return 0;
    }
    const CliCommand *command = findCommand(arguments.first());
    if (!command)
        return CliHelp::badUsage(CliText::tr("нет команды %1").arg(shown(arguments.first())));
    const CliOptions o = parseOptions(arguments.mid(1), *command);
    CliContext context{m_out, *command};
    int rc = 0;
    if (o.help) {
        m_out << CliHelp::commandHelp(*command);
    } else {
        for (const QString &warning : o.warnings)
            printMessage(warning);
        rc = o.problem.isEmpty() ? command->run(o, context) : context.badUsage(o.problem);
    }
    m_out.flush();
    return rc;
}

#include "cli/CliCommands.h"

#include "cli/CliHelp.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/CommandTable.h"
#include "core/app/AppFolder.h"

#include "KvrVersion.h"

#include <QDir>

int CliCommands::run(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return CliHelp::badUsage(QString());
    if (arguments.first() == QLatin1String("--help")) {
        m_out << CliHelp::overview();
        m_out.flush();
        return 0;
    }
    if (arguments.first() == QLatin1String("--version")) {
        if (arguments.size() > 1)
            return CliHelp::badUsage(CliText::tr("лишний аргумент %1").arg(shown(arguments.at(1))));
        // The second line is the folder of the program's files, for scripts and for the operator's questions.
        m_out << QStringLiteral("kvrsetup-cli " KVR_VERSION "\n")
              << QDir::toNativeSeparators(AppFolder::current().path()) << QLatin1Char('\n');
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
        // An installed program's first run makes the user's folder; a command that needs no file still runs.
        QString why;
        if (command->name != QLatin1String("help") && !AppFolder::current().prepare(why))
            printMessage(CliText::tr("папка файлов программы: %1").arg(why));
        rc = o.problem.isEmpty() ? command->run(o, context) : context.badUsage(o.problem);
    }
    m_out.flush();
    return rc;
}

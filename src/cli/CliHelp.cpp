#include "cli/CliHelp.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/CommandTable.h"

namespace CliHelp {

namespace {

QString translated(const char *text)
{
    return text ? CliText::tr(text) : QString();
}

QString optionText(const CliOption &o)
{
    return o.isFlag() ? o.name : o.name + QLatin1Char(' ') + QLatin1String(o.argument);
}

// A bash word list: the names are plain words of the table, nothing to quote.
QString words(const QStringList &list)
{
    return QLatin1Char('"') + list.join(QLatin1Char(' ')) + QLatin1Char('"');
}

} // namespace

QString usageLine(const CliCommand &command)
{
    QStringList parts{QStringLiteral("kvrsetup-cli"), command.name};
    for (const CliOption &o : command.options) {
        if (!o.hidden)
            parts << (o.required ? optionText(o) : QLatin1Char('[') + optionText(o) + QLatin1Char(']'));
    }
    if (command.arguments)
        parts << QLatin1String(command.arguments);
    return parts.join(QLatin1Char(' '));
}

QString commandHelp(const CliCommand &command)
{
    QString text = CliText::tr("Использование: %1").arg(usageLine(command)) + QStringLiteral("\n\n")
                   + translated(command.summary) + QLatin1Char('\n');
    QStringList lines;
    qsizetype width = 0;
    for (const CliOption &o : command.options)
        width = o.hidden ? width : qMax(width, optionText(o).size());
    for (const CliOption &o : command.options) {
        if (!o.hidden)
            lines << QStringLiteral("  ") + optionText(o).leftJustified(width + 2) + translated(o.help);
    }
    if (!lines.isEmpty())
        text += QLatin1Char('\n') + CliText::tr("Параметры:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n'))
                + QLatin1Char('\n');
    return text;
}

QString overview()
{
    QString text = CliText::tr("Использование: kvrsetup-cli КОМАНДА [ПАРАМЕТРЫ]") + QStringLiteral("\n\n")
                   + CliText::tr("Команды:") + QLatin1Char('\n');
    for (const CliCommand &c : commandTable())
        text += QStringLiteral("  ") + c.name.leftJustified(14) + translated(c.summary) + QLatin1Char('\n');
    return text + QLatin1Char('\n')
           + CliText::tr("Значение параметра: --параметр ЗНАЧЕНИЕ или --параметр=ЗНАЧЕНИЕ (значение, которое "
                         "начинается с --, только так); после -- все аргументы простые.")
           + QLatin1Char('\n')
           + CliText::tr("Справка по команде: kvrsetup-cli help КОМАНДА или kvrsetup-cli КОМАНДА --help")
           + QLatin1Char('\n');
}

QString markdown()
{
    QString text;
    for (const CliCommand &c : commandTable())
        text += QStringLiteral("    ") + usageLine(c) + QLatin1Char('\n');
    return text;
}

QString bashCompletion()
{
    QStringList names;
    QString cases;
    for (const CliCommand &c : commandTable()) {
        names << c.name;
        QStringList options{QStringLiteral("--help")};
        QString values;
        for (const CliOption &o : c.options) {
            if (o.hidden)
                continue;
            options << o.name;
            if (o.isFlag())
                continue;
            const QString reply = o.value == OptionValue::Path     ? QStringLiteral("compgen -f -- \"$cur\"")
                                  : o.value == OptionValue::Choice ? QStringLiteral("compgen -W ") + words(o.choices)
                                                                         + QStringLiteral(" -- \"$cur\"")
                                                                   : QStringLiteral("true");
            values += QStringLiteral("                %1) COMPREPLY=($(%2)); return ;;\n").arg(o.name, reply);
        }
        const QStringList first = c.name == QLatin1String("help") ? names : c.words;
        const QString plain = first.isEmpty() ? QStringLiteral("compgen -f -- \"$cur\"")
                                              : QStringLiteral("compgen -W ") + words(first)
                                                    + QStringLiteral(" -- \"$cur\"");
        cases += QStringLiteral("        %1)\n"
                                "            case \"$prev\" in\n"
                                "%2"
                                "            esac\n"
                                "            options=%3\n"
                                "            plain='%4' ;;\n")
                     .arg(c.name, values, words(options), plain);
    }
    return QStringLiteral("# bash completion for kvrsetup-cli, made by \"kvrsetup-cli help --bash-completion\"\n"
                          "_kvrsetup_cli()\n"
                          "{\n"
                          "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} options plain\n"
                          "    if [[ $COMP_CWORD -eq 1 ]]; then\n"
                          "        COMPREPLY=($(compgen -W %1 -- \"$cur\"))\n"
                          "        return\n"
                          "    fi\n"
                          "    case \"${COMP_WORDS[1]}\" in\n"
                          "%2"
                          "        *) return ;;\n"
                          "    esac\n"
                          "    if [[ $cur == -* ]]; then\n"
                          "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
                          "    elif [[ $COMP_CWORD -eq 2 || $plain == compgen\\ -f* ]]; then\n"
                          "        COMPREPLY=($(eval \"$plain\"))\n"
                          "    fi\n"
                          "}\n"
                          "complete -F _kvrsetup_cli kvrsetup-cli\n")
        .arg(words(names), cases);
}

int badUsage(const QString &problem)
{
    if (!problem.isEmpty())
        printMessage(problem);
    writeText(stderr, overview());
    return 2;
}

} // namespace CliHelp

int runHelp(const CliOptions &o, CliContext &c)
{
    if (o.flag(QStringLiteral("--markdown"))) {
        c.out << CliHelp::markdown();
        return 0;
    }
    if (o.flag(QStringLiteral("--bash-completion"))) {
        c.out << CliHelp::bashCompletion();
        return 0;
    }
    if (o.positional.isEmpty()) {
        c.out << CliHelp::overview();
        return 0;
    }
    const CliCommand *command = findCommand(o.positional.first());
    if (!command)
        return c.badUsage(CliText::tr("нет команды %1").arg(shown(o.positional.first())));
    c.out << CliHelp::commandHelp(*command);
    return 0;
}

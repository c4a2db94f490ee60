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

// Text as roff prints it: backslashes and minus signs escaped, no line taken for a request.
QString roff(const QString &text)
{
    QString out = text;
    out.replace(QLatin1Char('\\'), QStringLiteral("\\e")).replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (out.startsWith(QLatin1Char('.')) || out.startsWith(QLatin1Char('\'')))
        out.prepend(QStringLiteral("\\&"));
    return out;
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

QString manPage()
{
    QString page = QStringLiteral(
        ".\\\" Made by \"kvrsetup-cli help --man\" from the command table; kept equal to it by a test.\n"
        ".TH KVRSETUP\\-CLI 1 \"\" \"prjKVRSetup\" \"Команды пользователя\"\n"
        ".SH ИМЯ\n"
        "kvrsetup\\-cli \\- настройка терминалов KVR из командной строки\n"
        ".SH СИНТАКСИС\n"
        ".B kvrsetup\\-cli\n"
        ".I КОМАНДА\n"
        "[\\fIПАРАМЕТРЫ\\fR]\n"
        ".br\n"
        ".B kvrsetup\\-cli \\-\\-version\n"
        ".SH ОПИСАНИЕ\n"
        "Программа для сценариев и работы без окон: проверяет управляющие таблицы, показывает,\n"
        "преобразует и сравнивает файлы данных, пишет отчет, говорит с модемом, ведет адресную\n"
        "книгу, посылает профили настроек SMS и загружает микропрограмму.\n"
        "Коды завершения: 0 \\- успех, 1 \\- ошибка, 2 \\- неверный вызов.\n"
        ".PP\n"
        "Значение параметра задается как \\-\\-параметр ЗНАЧЕНИЕ или \\-\\-параметр=ЗНАЧЕНИЕ;\n"
        "после \\-\\- все аргументы простые.\n"
        ".SH КОМАНДЫ\n");
    for (const CliCommand &c : commandTable()) {
        page += QStringLiteral(".SS ") + roff(c.name) + QLatin1Char('\n') + roff(usageLine(c)) + QStringLiteral("\n.PP\n")
                + roff(translated(c.summary)) + QLatin1Char('\n');
        for (const CliOption &o : c.options) {
            if (!o.hidden)
                page += QStringLiteral(".TP\n.B ") + roff(optionText(o)) + QLatin1Char('\n') + roff(translated(o.help))
                        + QLatin1Char('\n');
        }
    }
    return page
           + QStringLiteral(
               ".SH ПЕРЕМЕННЫЕ ОКРУЖЕНИЯ\n"
               ".TP\n.B KVRSETUP_HOME\n"
               "папка файлов программы вместо выбранной по умолчанию (см. ФАЙЛЫ)\n"
               ".TP\n.B KVRSETUP_GPRS_PASSWORD\n"
               "пароль GPRS для send\\-gprs, если он не задан параметром\n"
               ".SH ФАЙЛЫ\n"
               "Адресная книга Data.db, файлы Const.ini и Default.ini, управляющая таблица Data.ini и\n"
               "стиль отчета Rep03\\-1.xsl лежат в папке файлов программы: KVRSETUP_HOME, если задана;\n"
               "иначе папка самой программы, если в ней есть Data.ini и в нее можно писать (папка сборки);\n"
               "иначе\n"
               ".IR ~/.local/share/kvrsetup ,\n"
               "куда при первом запуске копируются файлы из\n"
               ".IR /usr/share/kvrsetup .\n"
               "Какая папка используется, показывает вторая строка\n"
               ".BR \"kvrsetup\\-cli \\-\\-version\" .\n"
               ".PP\n"
               "Для работы с модемом пользователь должен входить в группу\n"
               ".BR dialout .\n"
               ".SH СМОТРИТЕ ТАКЖЕ\n"
               ".BR kvrsetup (1),\n"
               ".BR kvrsim (1)\n");
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
    if (o.flag(QStringLiteral("--man"))) {
        c.out << CliHelp::manPage();
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

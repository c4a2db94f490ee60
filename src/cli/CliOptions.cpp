#include "cli/CliOptions.h"

#include "cli/CliCommand.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"

#include "core/app/SerialSettings.h"

namespace {

QString checked(const CliOptions &o, const CliCommand &command)
{
    for (const CliOption &option : command.options) {
        if (option.required && !o.has(option.name))
            return CliText::tr("не задан %1 %2").arg(option.name, QLatin1String(option.argument));
    }
    const auto count = o.positional.size();
    if (count < command.minArguments) {
        return command.arguments ? CliText::tr("не хватает аргументов: %1").arg(QLatin1String(command.arguments))
                                 : CliText::tr("не хватает аргументов");
    }
    if (command.maxArguments >= 0 && count > command.maxArguments)
        return CliText::tr("лишний аргумент %1").arg(shown(o.positional.at(command.maxArguments)));
    return QString();
}

// An argument after an option is never its value when it begins with "--", known option or not:
// a forgotten value must not take the next option (or a misspelt one) as its own. A value that
// does begin so is given as --name=VALUE.
bool isOptionWord(const QString &argument)
{
    return argument.startsWith(QLatin1String("--"));
}

} // namespace

CliOptions parseOptions(const QStringList &args, const CliCommand &command)
{
    CliOptions o;
    const auto fail = [&o](const QString &problem) {
        if (o.problem.isEmpty())
            o.problem = problem;
    };
    bool optionsEnded = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (optionsEnded || !isOptionWord(a)) {
            o.positional << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        const qsizetype equals = a.indexOf(QLatin1Char('='));
        const QString given = equals < 0 ? a : a.left(equals);
        if (given == QLatin1String("--help") && equals < 0) {
            o.help = true;
            return o;
        }
        const CliOption *option = command.option(given);
        if (!option) {
            fail(given == QLatin1String("--help") ? CliText::tr("параметр %1 задается без значения").arg(given)
                                                  : CliText::tr("неизвестный параметр %1").arg(shown(given)));
            continue;
        }
        if (!option->renamedTo.isEmpty()) {
            o.warnings << CliText::tr("%1 устарел, используйте %2").arg(given, option->renamedTo);
            option = command.option(option->renamedTo);
        }
        QString value;
        if (option->isFlag()) {
            if (equals >= 0) {
                fail(CliText::tr("параметр %1 задается без значения").arg(given));
                continue;
            }
        } else if (equals >= 0) {
            value = a.mid(equals + 1);
        } else if (i + 1 < args.size() && !isOptionWord(args[i + 1])) {
            value = args[++i];
        } else {
            fail(CliText::tr("для %1 нужно значение %2").arg(given, QLatin1String(option->argument)));
            continue;
        }
        const QString &name = option->name;
        if (option->warning)
            o.warnings << CliText::tr(option->warning);
        if (!option->repeatable && (o.values.contains(name) || o.flags.contains(name)))
            fail(CliText::tr("параметр %1 задан дважды").arg(given));
        else if (option->value == OptionValue::Choice && !option->choices.contains(value))
            fail(CliText::tr("недопустимое значение %1: %2").arg(given, shown(value)));
        if (option->isFlag()) {
            o.flags << name;
            o.service = o.service || name == QLatin1String("--service");
        } else {
            o.values.insert(name, value);
            o.repeated[name] << value;
        }
    }
    if (o.problem.isEmpty())
        o.problem = checked(o, command);
    return o;
}

QList<CliOption> smsRouteOptions(bool pool)
{
    QList<CliOption> options = serialOptions(pool);
    options.first().required = false;
    options.append({QStringLiteral("--smsd"), "FILE",
                    QT_TRANSLATE_NOOP("CliText", "файл настроек gammu-smsd: SMS через шлюз (вместо --port)"),
                    OptionValue::Path});
    return options;
}

QList<CliOption> serialOptions(bool pool)
{
    CliOption port{QStringLiteral("--port"), "DEVICE", QT_TRANSLATE_NOOP("CliText", "последовательный порт модема"),
                   OptionValue::Path, {}, true};
    if (pool) {
        port.help = QT_TRANSLATE_NOOP("CliText", "последовательный порт модема; с --all можно несколько (пул модемов)");
        port.repeatable = true;
    }
    return {port,
            // The rates the window's serial dialog offers, and the faster ones of a USB modem.
            {QStringLiteral("--baud"), "N", QT_TRANSLATE_NOOP("CliText", "скорость порта, бит/с"), OptionValue::Choice,
             {QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
              QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")}},
            {QStringLiteral("--parity"), "n|e|o", QT_TRANSLATE_NOOP("CliText", "четность: нет, четная, нечетная"),
             OptionValue::Choice, {QStringLiteral("n"), QStringLiteral("e"), QStringLiteral("o")}},
            {QStringLiteral("--data-bits"), "7|8", QT_TRANSLATE_NOOP("CliText", "битов данных"), OptionValue::Choice,
             {QStringLiteral("7"), QStringLiteral("8")}},
            // The old name, for the scripts that still use it; elsewhere --data names a data file.
            {QStringLiteral("--data"), "7|8", nullptr, OptionValue::None, {}, false, true, false,
             QStringLiteral("--data-bits")},
            {QStringLiteral("--stop"), "1|2", QT_TRANSLATE_NOOP("CliText", "стоповых битов"), OptionValue::Choice,
             {QStringLiteral("1"), QStringLiteral("2")}}};
}

QString readSerialOptions(const CliOptions &o, SerialSettings &s)
{
    if (!o.problem.isEmpty())
        return o.problem;
    if (!s.setPort(o.value(QStringLiteral("--port"))))
        return CliText::tr("не задан --port DEVICE");
    // The parser has held each value to the table's choices.
    const struct
    {
        const char *name;
        int *target;
    } numbers[] = {{"--baud", &s.baudRate}, {"--data-bits", &s.dataBits}, {"--stop", &s.stopBits}};
    for (const auto &n : numbers) {
        if (o.has(QLatin1String(n.name)))
            *n.target = o.value(QLatin1String(n.name)).toInt();
    }
    if (o.has(QStringLiteral("--parity")))
        s.parity = o.value(QStringLiteral("--parity")).at(0);
    const QString problem = s.problem();
    return problem.isEmpty() ? QString() : CliText::tr("недопустимые настройки порта: %1").arg(problem);
}

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

} // namespace

CliOptions parseOptions(const QStringList &args, const CliCommand &command)
{
    CliOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--help")) {
            o.help = true;
            return o;
        }
        const CliOption *option = command.option(a);
        if (!option && a.startsWith(QLatin1String("--"))) {
            if (o.problem.isEmpty())
                o.problem = CliText::tr("неизвестный параметр %1").arg(shown(a));
        } else if (!option) {
            o.positional << a;
        } else if (option->isFlag()) {
            o.flags << a;
            o.service = o.service || a == QLatin1String("--service");
        } else if (i + 1 >= args.size()) {
            if (o.problem.isEmpty())
                o.problem = CliText::tr("для %1 нужно значение %2").arg(a, QLatin1String(option->argument));
        } else {
            o.values.insert(a, args[++i]);
            o.repeated[a] << args[i];
        }
    }
    if (o.problem.isEmpty())
        o.problem = checked(o, command);
    return o;
}

QList<CliOption> smsRouteOptions()
{
    QList<CliOption> options = serialOptions();
    options.first().required = false;
    options.append({QStringLiteral("--smsd"), "FILE",
                    QT_TRANSLATE_NOOP("CliText", "файл настроек gammu-smsd: SMS через шлюз (вместо --port)"),
                    OptionValue::Path});
    return options;
}

QList<CliOption> serialOptions()
{
    return {{QStringLiteral("--port"), "DEVICE", QT_TRANSLATE_NOOP("CliText", "последовательный порт модема; с --all можно несколько (пул модемов)"),
             OptionValue::Path, {}, true},
            {QStringLiteral("--baud"), "N", QT_TRANSLATE_NOOP("CliText", "скорость порта, бит/с"), OptionValue::Choice,
             {QStringLiteral("9600"), QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
              QStringLiteral("115200")}},
            {QStringLiteral("--parity"), "n|e|o", QT_TRANSLATE_NOOP("CliText", "четность: нет, четная, нечетная"),
             OptionValue::Choice, {QStringLiteral("n"), QStringLiteral("e"), QStringLiteral("o")}},
            {QStringLiteral("--data"), "7|8", QT_TRANSLATE_NOOP("CliText", "битов данных"), OptionValue::Choice,
             {QStringLiteral("7"), QStringLiteral("8")}},
            {QStringLiteral("--stop"), "1|2", QT_TRANSLATE_NOOP("CliText", "стоповых битов"), OptionValue::Choice,
             {QStringLiteral("1"), QStringLiteral("2")}}};
}

QString readSerialOptions(const CliOptions &o, SerialSettings &s)
{
    if (!o.problem.isEmpty())
        return o.problem;
    if (!s.setPort(o.value(QStringLiteral("--port"))))
        return CliText::tr("не задан --port DEVICE");
    // The command line takes what a modem line is set to in practice.
    const struct
    {
        const char *name;
        int *target;
        QList<int> allowed;
    } numbers[] = {{"--baud", &s.baudRate, {}}, {"--data", &s.dataBits, {7, 8}}, {"--stop", &s.stopBits, {1, 2}}};
    for (const auto &n : numbers) {
        const QString name = QLatin1String(n.name);
        if (!o.has(name))
            continue;
        bool ok = false;
        *n.target = o.value(name).toInt(&ok);
        if (!ok || (!n.allowed.isEmpty() && !n.allowed.contains(*n.target)))
            return CliText::tr("недопустимое значение %1: %2").arg(name, shown(o.value(name)));
    }
    if (o.has(QStringLiteral("--parity"))) {
        const QString v = o.value(QStringLiteral("--parity"));
        if (v.size() != 1 || !QStringLiteral("neo").contains(v.toLower()))
            return CliText::tr("недопустимое значение %1: %2").arg(QStringLiteral("--parity"), shown(v));
        s.parity = v.toLower().at(0);
    }
    const QString problem = s.problem();
    return problem.isEmpty() ? QString() : CliText::tr("недопустимые настройки порта: %1").arg(problem);
}

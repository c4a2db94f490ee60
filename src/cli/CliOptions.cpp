#include "cli/CliOptions.h"

#include "core/app/SerialSettings.h"

CliOptions parseOptions(const QStringList &args, const QStringList &valued, const QStringList &flags)
{
    CliOptions o;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--service")) {
            o.service = true;
        } else if (flags.contains(a)) {
            o.flags << a;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size()) {
                o.problem = a + QStringLiteral(" needs a value");
                return o;
            }
            o.values.insert(a, args[++i]);
        } else if (a.startsWith(QLatin1String("--"))) {
            o.problem = QStringLiteral("unknown option ") + a;
            return o;
        } else {
            o.positional << a;
        }
    }
    return o;
}

QString checkOptions(const CliOptions &o, const QStringList &required, int positional, const QString &need)
{
    if (!o.problem.isEmpty())
        return o.problem;
    bool ok = positional < 0 || o.positional.size() == positional;
    for (const QString &r : required)
        ok = ok && o.values.contains(r);
    return ok ? QString() : need;
}

QStringList serialOptionNames()
{
    return {QStringLiteral("--port"), QStringLiteral("--baud"), QStringLiteral("--parity"), QStringLiteral("--data"),
            QStringLiteral("--stop")};
}

QString readSerialOptions(const CliOptions &o, SerialSettings &s)
{
    if (!o.problem.isEmpty())
        return o.problem;
    if (!s.setPort(o.value(QStringLiteral("--port"))))
        return QStringLiteral("--port DEVICE is required");
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
            return QStringLiteral("bad value for ") + name + QStringLiteral(": ") + o.value(name);
    }
    if (o.has(QStringLiteral("--parity"))) {
        const QString v = o.value(QStringLiteral("--parity"));
        if (v.size() != 1 || !QStringLiteral("neo").contains(v.toLower()))
            return QStringLiteral("bad value for --parity: ") + v;
        s.parity = v.toLower().at(0);
    }
    const QString problem = s.problem();
    return problem.isEmpty() ? QString() : QStringLiteral("bad serial settings: ") + problem;
}

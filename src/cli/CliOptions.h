#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

struct SerialSettings;

// The one option parser of kvrsetup-cli: "--service" as a flag, the named options with a
// value, everything else positional. Commands then check what they need with checkOptions.
struct CliOptions
{
    bool service = false;
    QHash<QString, QString> values;
    QStringList flags; // the flags given, of those the command takes
    QStringList positional;
    QString problem; // the first thing that did not parse

    QString value(const QString &name) const { return values.value(name); }
    bool has(const QString &name) const { return values.contains(name); }
    bool flag(const QString &name) const { return flags.contains(name); }
};

CliOptions parseOptions(const QStringList &args, const QStringList &valued, const QStringList &flags = {});

// Empty when the options fit: no parse problem, the required ones present and the expected
// number of plain arguments (-1: any); otherwise the problem, or need.
QString checkOptions(const CliOptions &o, const QStringList &required, int positional, const QString &need);

// --port DEVICE [--baud N --parity n|e|o --data 7|8 --stop 1|2]
QStringList serialOptionNames();
// Fills s from the serial options; an empty result when they make sense.
QString readSerialOptions(const CliOptions &o, SerialSettings &s);

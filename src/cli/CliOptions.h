#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

struct CliCommand;
struct CliOption;
struct SerialSettings;

// The one option parser of kvrsetup-cli: the options of the command's table entry, flags
// and options with a value, everything else a plain argument.
struct CliOptions
{
    bool service = false; // --service: the table's service lines too
    QHash<QString, QString> values;      // the last value of each option
    QHash<QString, QStringList> repeated; // every value, in order (--port of a modem pool)
    QStringList flags; // the flags given
    QStringList positional;
    QString problem; // the first thing that does not fit the command's entry
    bool help = false; // --help: the command's help is wanted, nothing else counts

    QString value(const QString &name) const { return values.value(name); }
    bool has(const QString &name) const { return values.contains(name); }
    bool flag(const QString &name) const { return flags.contains(name); }
    QStringList all(const QString &name) const { return repeated.value(name); }
};

// Parses args (after the command name) by the command's entry and checks what the entry
// requires: its required options and the number of plain arguments.
CliOptions parseOptions(const QStringList &args, const CliCommand &command);

// --port DEVICE [--baud N --parity n|e|o --data 7|8 --stop 1|2]
QList<CliOption> serialOptions();
// The serial options with --port made optional, and --smsd FILE: the SMS commands take either.
QList<CliOption> smsRouteOptions();
// Fills s from the serial options; an empty result when they make sense.
QString readSerialOptions(const CliOptions &o, SerialSettings &s);

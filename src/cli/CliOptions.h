#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

struct CliCommand;
struct CliOption;
struct SerialSettings;

// The one option parser of kvrsetup-cli: the options of the command's table entry, flags
// and options with a value ("--name VALUE" or "--name=VALUE"), everything else, and
// everything after "--", a plain argument.
struct CliOptions
{
    bool service = false; // --service: the table's service lines too
    QHash<QString, QString> values;      // the value of each option (the last of a repeatable one)
    QHash<QString, QStringList> repeated; // every value, in order (--port of a modem pool)
    QStringList flags; // the flags given
    QStringList positional;
    QString problem; // the first thing that does not fit the command's entry
    QStringList warnings; // for standard error before the command runs
    bool help = false; // --help: the command's help is wanted, nothing else counts

    QString value(const QString &name) const { return values.value(name); }
    bool has(const QString &name) const { return values.contains(name); }
    bool flag(const QString &name) const { return flags.contains(name); }
    QStringList all(const QString &name) const { return repeated.value(name); }
};

// Parses args (after the command name) by the command's entry and checks what the entry
// requires: its required options, the values of its choices, one of each option that is not
// repeatable, and the number of plain arguments.
CliOptions parseOptions(const QStringList &args, const CliCommand &command);

// --port DEVICE [--baud N --parity n|e|o --data-bits 7|8 --stop 1|2]; with pool, --port
// may be given several times (a modem pool).
QList<CliOption> serialOptions(bool pool = false);
// The serial options with --port made optional, and --smsd FILE: the SMS commands take either.
QList<CliOption> smsRouteOptions(bool pool = false);
// Fills s from the serial options; an empty result when they make sense.
QString readSerialOptions(const CliOptions &o, SerialSettings &s);

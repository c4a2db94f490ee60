#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QTextStream>

struct CliOptions;

// What the value of an option completes to in the shell.
enum class OptionValue { None, Path, Choice, Word };

// One option of a command as the parser, the help and the completion see it. The help
// texts are marked with QT_TRANSLATE_NOOP("CliText", ...) and translated when shown.
struct CliOption
{
    QString name;                 // "--table"
    const char *argument = nullptr; // "TABLE"; nullptr for a flag
    const char *help = nullptr;
    OptionValue value = OptionValue::None;
    QStringList choices = {};     // the values of an OptionValue::Choice
    bool required = false;
    bool hidden = false;          // for the build and the tests, left out of help and usage
    bool repeatable = false;      // every value is kept (CliOptions::all); otherwise a second one is bad usage
    QString renamedTo = {};       // an old name: taken for the option of that name, with a warning
    const char *warning = nullptr; // said on standard error whenever the option is given, QT_TRANSLATE_NOOP

    bool isFlag() const { return argument == nullptr; }
};

struct CliCommand;

// What a command writes to and how it says it was called wrongly.
struct CliContext
{
    QTextStream &out; // results
    const CliCommand &command;

    // The problem and the command's usage on standard error; the exit code of bad usage.
    int badUsage(const QString &problem) const;
};

// One entry of the command table: everything the dispatcher, the help, the usage and the
// completion know of a command.
struct CliCommand
{
    QString name;
    const char *summary = nullptr;   // one line, QT_TRANSLATE_NOOP
    const char *arguments = nullptr; // the plain arguments as the usage shows them, "A.bin B.bin"
    QList<CliOption> options = {};
    int minArguments = 0;
    int maxArguments = 0; // -1: any number
    QStringList words = {}; // what the first plain argument completes to
    int (*run)(const CliOptions &, CliContext &) = nullptr;

    const CliOption *option(const QString &optionName) const;
};

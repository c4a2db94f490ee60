#pragma once

#include <QStringList>
#include <QTextStream>

// The headless front door for scripts: finds the command in the command table, parses its
// options and runs it. Exit codes: 0 success, 1 failure or bad input, 2 bad usage.
class CliCommands
{
public:
    explicit CliCommands(QTextStream &out) : m_out(out) {}

    int run(const QStringList &arguments); // arguments after the program name

private:
    QTextStream &m_out;
};

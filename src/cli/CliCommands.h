#pragma once

#include <QStringList>
#include <QTextStream>

// The headless front door for scripts. Exit codes: 0 success, 1 bad input, 2 bad usage.
class CliCommands
{
public:
    CliCommands(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

    int run(const QStringList &arguments); // arguments after the program name

private:
    int checkTable(const QStringList &args);
    int report(const QStringList &args);
    int show(const QStringList &args);
    int convert(const QStringList &args);
    int usage(const QString &problem = QString());

    QTextStream &m_out;
    QTextStream &m_err;
};

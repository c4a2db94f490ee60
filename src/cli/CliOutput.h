#pragma once

#include <QString>

#include <cstdio>

// Where the tool writes: results on standard output, progress and messages on standard
// error. Every write is flushed, so lines of the two streams keep their order on a terminal.

// Control characters as "\xHH", so that a line (or a tab-separated field) stays one.
QString escapedControls(const QString &text);
// One whole line on stream (UTF-8), control characters escaped: an answer with a NUL in it
// is still shown in full.
void printLine(FILE *stream, const QString &line);
// Text as it is (UTF-8), for texts of several lines.
void writeText(FILE *stream, const QString &text);
// "kvrsetup-cli: text" on standard error.
void printMessage(const QString &text);
// printMessage, then the exit code of a failure.
int failWith(const QString &text);

#pragma once

#include <QString>

#include <cstdio>

// Where the tool writes: results on standard output, progress and messages on standard
// error. Every write is flushed, so lines of the two streams keep their order on a terminal.

// Text from a file, the database, the modem or the command line as it may reach a terminal:
// C0 controls (tab, CR and LF too) and DEL as "\xHH", so that a line (or a tab-separated field)
// stays one; C1 controls, the line and paragraph separators, the bidi controls and a UTF-16
// half without its other half (what is left of text that was not valid UTF-8) as "\u{HHHH}",
// so that nothing moves, hides or recolours what is printed around it. Backslashes stay: the
// result is plain printable text, and showing it again leaves it as it is.
QString shown(const QString &text);
// One whole line on stream (UTF-8), shown: an answer with a NUL in it is still shown in full.
void printLine(FILE *stream, const QString &line);
// Text as it is (UTF-8), for the tool's own texts of several lines and for JSON.
void writeText(FILE *stream, const QString &text);
// "kvrsetup-cli: text" on standard error, each of its lines shown.
void printMessage(const QString &text);
// printMessage, then the exit code of a failure.
int failWith(const QString &text);

#pragma once

#include "core/common/TerminalTarget.h"

#include <QList>
#include <QString>

struct CliOptions;

// The terminals a command works on: --phone NUMBER (named by the number itself), --terminal
// NAME (from the address book Data.db of the application folder) or, where the command allows
// it, --all (every terminal of the book, in Id order).

enum class TargetsResult { Ok, BadUsage, NotFound };

// The option names, for the parser.
const QString &phoneOption();
const QString &terminalOption();
const QString &allOption();
const QString &retryFailedOption();

// Every --phone and --terminal given (each may repeat), or the whole book with --all.
TargetsResult resolveEach(const CliOptions &o, QList<TerminalTarget> &targets, QString &problem);

TargetsResult resolveTargets(const CliOptions &o, bool allAllowed, QList<TerminalTarget> &targets, QString &problem);

#pragma once

#include "core/link/LinkExchange.h"

#include <QSerialPort>
#include <QString>

#include <cstdio>
#include <memory>

struct SerialSettings;

// The port opened as the link window opens it, with the exchange layer on top.
struct LinkSession
{
    QSerialPort port;
    LinkExchange link;
};

// Opens the port; nullptr after telling why on standard error. A lost port is reported there too.
std::unique_ptr<LinkSession> openSession(const SerialSettings &s);

// KVRSETUP_TIME_SCALE (a factor, e.g. 0.1) shortens every pause and time-out of the link:
// for tests and demonstrations against kvrsim, never needed with a real modem.
void applyTimeScaleFromEnvironment(LinkExchange &link);

// One whole line on stream (UTF-8), control characters escaped: an answer with a NUL in it
// is still shown in full.
// Control characters as "\xHH", so that a line (or a tab-separated field) stays one.
QString escapedControls(const QString &text);
void printLine(FILE *stream, const QString &line);

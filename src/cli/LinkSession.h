#pragma once

#include "cli/CliOutput.h"

#include "core/common/Task.h"
#include "core/link/ModemLine.h"

#include <QEventLoop>
#include "core/link/SerialDevice.h"
#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

struct SerialSettings;

// The port opened as the link window opens it, with its modem line on top.
struct LinkSession
{
    SerialDevice port;
    ModemLine line;
    LinkExchange &link = line.link();
};

// Opens the port; nullptr after telling why on standard error. A lost port is reported there too.
std::unique_ptr<LinkSession> openSession(const SerialSettings &s);

// KVRSETUP_TIME_SCALE (a factor, e.g. 0.1) shortens every pause and time-out of the link or a
// gateway: for tests and demonstrations against kvrsim, never needed with a real modem. 1 when unset.
double timeScaleFromEnvironment();
void applyTimeScaleFromEnvironment(LinkExchange &link);

// The second interrupt: the lines are dropped without waiting for any escape or hang-up (DTR
// off, the port closed, what runs ended at once), said once.
void dropLinesNow(const QList<LinkSession *> &sessions);

// The tool has nothing else to do while a ticket or a task runs: its event loop runs here until
// the ticket has ended (every ticket does, exactly once) and returns how.
ModemLine::Outcome waitForTicket(ModemLine &line, quint64 ticket);
// The same for a task that runs on no line (a gateway's steps).
void waitForTask(Task<void> &task);

namespace LinkSessionDetail {
template<typename T>
Task<void> keep(Task<T> inner, std::optional<T> *out)
{
    T value = co_await inner;
    out->emplace(std::move(value));
}
} // namespace LinkSessionDetail

// Runs one operation on the session's line and returns its result once it has ended (fallback
// when it ended without one: dropped, or cut short).
template<typename T>
T runOperation(LinkSession &session, ModemLine::Operation kind, std::function<Task<T>()> script, T fallback = T())
{
    std::optional<T> result;
    // Declared after result, so it goes first: the line runs the operation to its end while
    // result is still there.
    QObject owner;
    const quint64 ticket = session.line.submit(&owner, kind, [&result, script]() -> Task<void> {
        return LinkSessionDetail::keep<T>(script(), &result);
    });
    waitForTicket(session.line, ticket);
    return result ? *result : fallback;
}

#pragma once

#include "cli/CliOutput.h"

#include "core/common/Task.h"
#include "core/link/ModemLine.h"

#include <QEventLoop>
#include <QSerialPort>
#include <QString>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>

struct SerialSettings;

// The port opened as the link window opens it, with its modem line on top.
struct LinkSession
{
    QSerialPort port;
    ModemLine line;
    LinkExchange &link = line.link();
};

// Opens the port; nullptr after telling why on standard error. A lost port is reported there too.
std::unique_ptr<LinkSession> openSession(const SerialSettings &s);

// KVRSETUP_TIME_SCALE (a factor, e.g. 0.1) shortens every pause and time-out of the link or a
// gateway: for tests and demonstrations against kvrsim, never needed with a real modem. 1 when unset.
double timeScaleFromEnvironment();
void applyTimeScaleFromEnvironment(LinkExchange &link);

namespace LinkSessionDetail {
template<typename T>
Task<void> keep(Task<T> inner, std::optional<T> *out)
{
    T value = co_await inner;
    out->emplace(std::move(value));
}
} // namespace LinkSessionDetail

// Runs one operation on the session's line and returns its result once it has ended; the
// tool has nothing else to do meanwhile, so its event loop runs here.
template<typename T>
T runOperation(LinkSession &session, ModemLine::Operation kind, std::function<Task<T>()> script, T fallback = T())
{
    std::optional<T> result;
    QEventLoop loop;
    quint64 ticket = 0;
    bool ended = false;
    const QMetaObject::Connection done =
        QObject::connect(&session.line, &ModemLine::finished, &loop, [&](quint64 finished) {
            if (finished == ticket) {
                ended = true;
                loop.quit();
            }
        });
    ticket = session.line.submit(kind, [&result, script]() -> Task<void> {
        return LinkSessionDetail::keep<T>(script(), &result);
    });
    if (!ended)
        loop.exec();
    QObject::disconnect(done);
    return result ? *result : fallback;
}

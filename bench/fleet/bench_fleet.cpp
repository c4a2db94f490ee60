// Reads the profiles of a fleet through one or two simulated modems and compares the time with
// what the network allows: each request is two messages of networkDelay each, the terminals
// answer answerDelay later, and the answers are collected by a poll every ten seconds.
//
//   bench_fleet            8 and 32 terminals over one and two lines

#include "core/app/AppState.h"
#include "core/link/LinkTune.h"
#include "core/link/ModemLine.h"
#include "core/sms/FleetRun.h"
#include "core/sms/ProfileTransfer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

constexpr int kNetworkDelayMs = 500;
constexpr int kAnswerDelayMs = 3000;

bool waitForDevice(const QString &device)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (QFileInfo::exists(device))
            loop.quit();
    });
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    poll.start(10);
    loop.exec();
    return QFileInfo::exists(device);
}

struct SimulatedLine
{
    QProcess sim;
    QSerialPort port;
    ModemLine line;
    std::unique_ptr<ProfileTransfer> transfer;
};

// One run; the wall time in seconds, or a negative number when a terminal did not answer.
double run(int terminals, int lines)
{
    QTemporaryDir dir;
    AppState state(dir.path());
    std::vector<std::unique_ptr<SimulatedLine>> pool;
    QList<FleetRun::Target> targets;
    for (int i = 0; i < terminals; ++i)
        targets.append({QStringLiteral("t%1").arg(i), QStringLiteral("+7900000%1").arg(i, 4, 10, QLatin1Char('0'))});
    QList<FleetRun::Line> fleetLines;
    for (int l = 0; l < lines; ++l) {
        auto s = std::make_unique<SimulatedLine>();
        const QString device = dir.filePath(QStringLiteral("modem%1").arg(l));
        // A terminal answers to the SIM that wrote to it: line l gets terminals l, l + lines, ...
        QStringList args{QStringLiteral("--link"), device, QStringLiteral("--network-delay"),
                         QString::number(kNetworkDelayMs), QStringLiteral("--sms-delay"), QString::number(kAnswerDelayMs)};
        for (int i = l; i < terminals; i += lines)
            args << QStringLiteral("--terminal") << targets[i].phone;
        s->sim.start(QStringLiteral(KVRSIM_PATH), args);
        if (!waitForDevice(device))
            return -1;
        SerialSettings serial;
        serial.port = device;
        if (!LinkTune(s->port, serial, nullptr))
            return -1;
        s->line.link().port().setDevice(&s->port);
        s->transfer = std::make_unique<ProfileTransfer>(s->line, state);
        fleetLines.append({&s->line, s->transfer.get(), device});
        pool.push_back(std::move(s));
    }
    FleetRun::Request request;
    request.job = FleetRun::Job::ReadProfile;
    request.waitSeconds = 120;
    FleetRun fleet(fleetLines, request);
    QEventLoop loop;
    bool allDone = false;
    QObject::connect(&fleet, &FleetRun::finished, &loop, [&](bool done) {
        allDone = done;
        loop.quit();
    });
    QElapsedTimer wall;
    wall.start();
    fleet.start(targets);
    loop.exec();
    const double seconds = double(wall.elapsed()) / 1000.0;
    for (auto &s : pool) {
        s->line.shutdown();
        s->sim.terminate();
        s->sim.waitForFinished(5000);
    }
    return allDone ? seconds : -seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool ok = true;
    std::printf("read-profile of a fleet: network %d ms per message, answers after %d ms, a poll every %d ms\n",
                kNetworkDelayMs, kAnswerDelayMs, ProfileTransfer::PollMs);
    for (int terminals : {8, 32}) {
        for (int lines : {1, 2}) {
            const double floor = 2.0 * terminals * kNetworkDelayMs / 1000.0 / lines + kAnswerDelayMs / 1000.0
                                 + ProfileTransfer::PollMs / 1000.0;
            const double wall = run(terminals, lines);
            ok = ok && wall > 0 && wall / floor <= 1.2;
            std::printf("%2d terminals, %d line%s: wall %6.1f s, floor %5.1f s, wall / floor %.2f%s\n", terminals, lines,
                        lines > 1 ? "s" : " ", wall < 0 ? -wall : wall, floor, (wall < 0 ? -wall : wall) / floor,
                        wall < 0 ? " (a terminal did not answer)" : "");
        }
    }
    std::printf("goal: wall / floor <= 1.2\n");
    return ok ? 0 : 1;
}

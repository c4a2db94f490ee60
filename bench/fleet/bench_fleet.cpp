// Runs "kvrsetup-cli read-profile --all" over a fleet behind one or two simulated modems and
// compares the time with what the network allows: each request is two messages of networkDelay
// each, one at a time per line, and the last terminal answers answerDelay after its request.
// The program's peak memory is read from /proc while it runs.
//
//   bench_fleet            8, 32 and 256 terminals over one and two lines
//   bench_fleet 8 32       only these sizes

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kNetworkDelayMs = 500;
constexpr int kAnswerDelayMs = 3000;
constexpr double kGoal = 1.15;

// kvrsim makes its pseudo-terminal's link a moment after it starts.
bool waitForDevice(const QString &device)
{
    const QDeadlineTimer deadline(5000);
    while (!QFileInfo::exists(device) && !deadline.hasExpired())
        QThread::msleep(10);
    return QFileInfo::exists(device);
}

// The peak resident size of a running process in KiB, 0 when it cannot be read.
long peakKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

bool runCli(const QString &home, const QStringList &args, QByteArray *out = nullptr, long *peak = nullptr)
{
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KVRSETUP_HOME"), home);
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(KVRSETUP_CLI_PATH), args);
    const QDeadlineTimer deadline(1200000);
    while (!cli.waitForFinished(50)) {
        if (cli.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        if (peak)
            *peak = std::max(*peak, peakKiB(cli.processId()));
    }
    if (out)
        *out = cli.readAllStandardOutput();
    return cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
}

// One run; the wall time in seconds, or a negative number when a terminal did not answer.
double run(int terminals, int lines, long &peak)
{
    QTemporaryDir dir;
    QStringList phones;
    for (int i = 0; i < terminals; ++i) {
        phones << QStringLiteral("+7900000%1").arg(i, 4, 10, QLatin1Char('0'));
        if (!runCli(dir.path(), {QStringLiteral("book"), QStringLiteral("add"), QStringLiteral("t%1").arg(i), phones.last()}))
            return -1;
    }
    std::vector<std::unique_ptr<QProcess>> sims;
    QStringList args{QStringLiteral("read-profile"), QStringLiteral("--all"), QStringLiteral("--wait"),
                     QStringLiteral("600")};
    for (int l = 0; l < lines; ++l) {
        const QString device = dir.filePath(QStringLiteral("modem%1").arg(l));
        // The tool gives line l terminals l, l + lines, ... (the book's order, least busy line
        // first); a terminal answers to the SIM that wrote to it.
        QStringList simArgs{QStringLiteral("--link"), device, QStringLiteral("--network-delay"),
                            QString::number(kNetworkDelayMs), QStringLiteral("--sms-delay"), QString::number(kAnswerDelayMs)};
        for (int i = l; i < terminals; i += lines)
            simArgs << QStringLiteral("--terminal") << phones[i];
        auto sim = std::make_unique<QProcess>();
        sim->start(QStringLiteral(KVRSIM_PATH), simArgs);
        if (!waitForDevice(device))
            return -1;
        sims.push_back(std::move(sim));
        args << QStringLiteral("--port") << device;
    }
    QElapsedTimer wall;
    wall.start();
    QByteArray summary;
    const bool allDone = runCli(dir.path(), args, &summary, &peak);
    const double seconds = double(wall.elapsed()) / 1000.0;
    for (auto &sim : sims) {
        sim->terminate();
        sim->waitForFinished(5000);
    }
    if (!allDone)
        std::fprintf(stderr, "%s", summary.constData());
    return allDone ? seconds : -seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toInt();
    if (sizes.isEmpty())
        sizes = {8, 32, 256};
    bool ok = true;
    std::printf("kvrsetup-cli read-profile --all: network %d ms per message, answers after %d ms\n", kNetworkDelayMs,
                kAnswerDelayMs);
    for (int terminals : std::as_const(sizes)) {
        for (int lines : {1, 2}) {
            // What the network needs: every request's two messages, one line sending one at a
            // time, and the last answer.
            const double floor = 2.0 * terminals * kNetworkDelayMs / 1000.0 / lines + kAnswerDelayMs / 1000.0;
            long peak = 0;
            const double wall = run(terminals, lines, peak);
            ok = ok && wall > 0 && wall / floor <= kGoal;
            std::printf("%3d terminals, %d line%s: wall %6.1f s, floor %5.1f s, wall / floor %.2f, peak %ld KiB%s\n",
                        terminals, lines, lines > 1 ? "s" : " ", wall < 0 ? -wall : wall, floor,
                        (wall < 0 ? -wall : wall) / floor, peak, wall < 0 ? " (a terminal did not answer)" : "");
            std::fflush(stdout);
        }
    }
    std::printf("goal: wall / floor <= %.2f\n", kGoal);
    return ok ? 0 : 1;
}

// Uploads a 128 KB banked image (two 64 KB files) through kvrsim's boot loader with
// both directions paced at 19200 baud, and compares the wall time with the floor the
// line and the protocol allow: (bytes sent + bytes received) * 10 / baud, plus every
// pause the load's steps take, plus the simulator's dial time. Also prints the
// program's CPU time as a share of the wall time.
//
//   bench_loader [BAUD]

#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/link/ModemLine.h"
#include "core/link/LinkTune.h"
#include "core/link/mdlStrings.h"
#include "core/loader/FirmwareDataCall.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include "core/link/SerialDevice.h"
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

class QuietPrompts : public UserPrompts
{
public:
    Answer message(const QString &text, const QString &, Icon, Buttons) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
        return Answer::Ok;
    }
    QString openFile(const QString &, const QString &, const QList<Filter> &, bool) override { return {}; }
    QString saveFile(const QString &, const QString &, const QList<Filter> &) override { return {}; }
    bool openDocument(const QString &) override { return false; }
};

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QByteArray pattern(int size, int seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 37 + seed * 101 + (i >> 9)) & 0xFF);
    return b;
}

// Bytes in the simulator's trace: "< HEX" received from the program, "> HEX" sent to it.
void countTrace(const QString &path, qint64 &toTerminal, qint64 &fromTerminal)
{
    QFile f(path);
    toTerminal = fromTerminal = 0;
    if (!f.open(QIODevice::ReadOnly))
        return;
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.startsWith("< "))
            toTerminal += (line.size() - 2) / 2;
        else if (line.startsWith("> "))
            fromTerminal += (line.size() - 2) / 2;
    }
}

// kvrsim with the boot-loader far end; its trace goes to a file and is counted afterwards,
// so reading it costs this program nothing.
bool startSimulator(QProcess &sim, const QString &device, const QString &trace, int baud, int dialDelayMs)
{
    sim.setStandardOutputFile(trace);
    sim.start(QStringLiteral(KVRSIM_PATH),
              {QStringLiteral("--far"), QStringLiteral("boot"), QStringLiteral("--baud"), QString::number(baud),
               QStringLiteral("--dial-delay"), QString::number(dialDelayMs), QStringLiteral("--trace"),
               QStringLiteral("--link"), device});
    // The link to the device appears once the simulator is up.
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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int baud = argc > 1 ? std::atoi(argv[1]) : 19200;
    constexpr int dialDelayMs = 200;

    QTemporaryDir dir;
    const QString files[2] = {dir.filePath(QStringLiteral("1.BIN")), dir.filePath(QStringLiteral("2.BIN"))};
    for (int i = 0; i < 2; ++i) {
        QFile f(files[i]);
        if (!f.open(QIODevice::WriteOnly) || f.write(pattern(65536, i)) != 65536)
            return 1;
    }

    const QString device = dir.filePath(QStringLiteral("modem"));
    const QString trace = dir.filePath(QStringLiteral("trace.txt"));
    QProcess sim;
    if (!startSimulator(sim, device, trace, baud, dialDelayMs)) {
        std::fprintf(stderr, "kvrsim did not come up\n");
        return 1;
    }

    QuietPrompts prompts;
    SerialSettings serial;
    serial.port = device;
    serial.baudRate = baud;
    SerialDevice port;
    if (!LinkTune(port, serial, &prompts))
        return 1;
    ModemLine modemLine;
    LinkExchange &link = modemLine.link();
    link.port().setDevice(&port);
    FirmwareDataCall call(modemLine, prompts);
    QStringList log;
    QObject::connect(&link.display(), &LinkDisplay::infoLine, [&log](const QString &t) { log << mdlStrings::TrimCrLf(t); });

    FirmwareDataCall::Request request;
    request.files[0] = files[0];
    request.files[1] = files[1];
    request.number = QStringLiteral("5551234");
    request.start = {false, QStringLiteral("0"), QStringLiteral("0")};

    const double cpu0 = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    bool accepted = false;
    QEventLoop loop;
    QObject::connect(&call, &FirmwareDataCall::loadFinished, &loop, [&](bool ok) {
        accepted = ok;
        loop.quit();
    });
    call.cmdLoad_Click(request);
    loop.exec();
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;

    sim.terminate();
    sim.waitForFinished(5000);
    qint64 sent = 0;
    qint64 received = 0;
    countTrace(trace, sent, received);

    // Pauses of the steps on this road: boot loader entry 500 + 50 + 1000 (first attempt) + 300 ms;
    // after the transfer two rounds of "+++" (1600 + 1600 ms) and 2000 ms.
    const bool oneBootAttempt = log.count(QStringLiteral("Ожидание ответа BOOT попытка 1")) == 1
                                && !log.contains(QStringLiteral("Ожидание ответа BOOT попытка 2"));
    const double pauses = (500 + 50 + 1000 + 300 + 2 * (1600 + 1600 + 2000)) / 1000.0;
    const double line = double(sent + received) * 10.0 / baud;
    const double floor = line + pauses + dialDelayMs / 1000.0;

    std::printf("upload of 2 x 64 KB (banks 0-3) at %d baud through kvrsim: %s\n", baud,
                accepted ? "closing packet accepted" : "FAILED");
    std::printf("bytes sent %lld, received %lld, line time %.3f s\n", (long long)sent, (long long)received, line);
    std::printf("pauses %.3f s%s, dial %.3f s, floor %.3f s\n", pauses, oneBootAttempt ? "" : " (UNEXPECTED ROAD)",
                dialDelayMs / 1000.0, floor);
    std::printf("wall %.3f s, wall / floor %.4f (goal <= 1.02)\n", wallSeconds, wallSeconds / floor);
    std::printf("CPU %.3f s, %.2f %% of wall (goal <= 10 %%)\n", cpu, 100.0 * cpu / wallSeconds);
    return accepted && oneBootAttempt ? 0 : 1;
}

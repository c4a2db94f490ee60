// kvrsim: a GSM modem simulator on a pseudo-terminal, so the link window, the
// command-line tool and the tests can talk to "a modem" on any machine.
// The first line on standard output is the device to open.

#include "BootLoaderFarEnd.h"
#include "LoopbackFarEnd.h"
#include "ModemSim.h"
#include "SilentFarEnd.h"
#include "SmsOptions.h"
#include "SmsdNetwork.h"

#include "KvrVersion.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvrsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KVR_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "GSM modem simulator on a pseudo-terminal. Prints the device path on its first line.\n"
        "Standard input takes: ring | say TEXT | hangup | unplug | silent on|off | quit"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption echoOpt(QStringLiteral("echo"), QStringLiteral("Initial command echo, 0 or 1 (default 1)."),
                                     QStringLiteral("0|1"), QStringLiteral("1"));
    const QCommandLineOption productOpt(QStringLiteral("product"),
                                        QStringLiteral("ATI answer line (repeat for several lines)."),
                                        QStringLiteral("text"));
    const QCommandLineOption silentOpt(QStringLiteral("silent"), QStringLiteral("Never answer anything."));
    const QCommandLineOption delayOpt(QStringLiteral("delay"), QStringLiteral("Wait this long before each answer."),
                                      QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption garbleOpt(QStringLiteral("garble"),
                                       QStringLiteral("Corrupt one answer character in N (1 = all)."),
                                       QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption seedOpt(QStringLiteral("seed"), QStringLiteral("Seed of the garbling."),
                                     QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption dialOpt(QStringLiteral("dial"),
                                     QStringLiteral("Outcome of ATD: connect, nocarrier, busy, noanswer, nodialtone."),
                                     QStringLiteral("outcome"), QStringLiteral("connect"));
    const QCommandLineOption connectOpt(QStringLiteral("connect-text"),
                                        QStringLiteral("Result line of a connected call (default CONNECT 9600)."),
                                        QStringLiteral("text"), QStringLiteral("CONNECT 9600"));
    const QCommandLineOption dialDelayOpt(QStringLiteral("dial-delay"), QStringLiteral("Time ATD takes."),
                                          QStringLiteral("ms"), QStringLiteral("200"));
    const QCommandLineOption farOpt(QStringLiteral("far"),
                                    QStringLiteral("Far end of a data call: loopback, silent or boot (a terminal's boot loader)."),
                                    QStringLiteral("kind"), QStringLiteral("loopback"));
    const QCommandLineOption guardOpt(QStringLiteral("guard"), QStringLiteral("Escape guard time around \"+++\"."),
                                      QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption baudOpt(QStringLiteral("baud"),
                                     QStringLiteral("Pace output at this rate, 10 bits a character (0 = no pacing)."),
                                     QStringLiteral("rate"), QStringLiteral("0"));
    const QCommandLineOption ringOpt(QStringLiteral("ring-every"), QStringLiteral("Unsolicited RING every period."),
                                     QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption traceOpt(QStringLiteral("trace"),
                                      QStringLiteral("Print traffic: \"< HEX\" received, \"> HEX\" sent."));
    const QCommandLineOption refuseOpt(
        QStringLiteral("refuse"),
        QStringLiteral("Commands beginning with PREFIX get REPORT as final answer, e.g. \"AT+CMGS=+CMS ERROR: 500\" "
                       "(repeatable; the report starts at the first '=' followed by '+' or a letter)."),
        QStringLiteral("PREFIX=REPORT"));
    const QCommandLineOption trailerOpt(QStringLiteral("trailer"),
                                        QStringLiteral("A line sent right after every final answer."),
                                        QStringLiteral("line"));
    const QCommandLineOption unsolicitedOpt(
        QStringLiteral("unsolicited"),
        QStringLiteral("Unsolicited +CMTI / RING / +CREG lines at random moments, about this far apart."),
        QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption linkOpt(QStringLiteral("link"),
                                     QStringLiteral("Also make a symbolic link at this path to the device."),
                                     QStringLiteral("path"));
    // Options of the boot-loader far end (--far boot).
    const QCommandLineOption dumpOpt(QStringLiteral("dump"),
                                     QStringLiteral("boot: write the terminal's memory image (4 banks of 64 KB, "
                                                    "bank B at offset B*65536) here before each acknowledgement."),
                                     QStringLiteral("path"));
    const QCommandLineOption bootStateOpt(QStringLiteral("boot-state"),
                                          QStringLiteral("boot: state at the start of a call, app or running "
                                                         "(the boot loader already runs)."),
                                          QStringLiteral("state"), QStringLiteral("app"));
    const QCommandLineOption memTypeOpt(QStringLiteral("mem-type"),
                                        QStringLiteral("boot: a linear terminal: this byte follows \":BOOT\" "
                                                       "and blocks are 512 bytes (0 = linear memory)."),
                                        QStringLiteral("N"));
    const QCommandLineOption repeatAtOpt(QStringLiteral("repeat-at"),
                                         QStringLiteral("boot: answer \"Z\" (repeat) to data packet N."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption repeatFromOpt(QStringLiteral("repeat-from"),
                                           QStringLiteral("boot: answer \"Z\" to data packet N and every one after."),
                                           QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption noAckAtOpt(QStringLiteral("no-ack-at"),
                                        QStringLiteral("boot: never answer data packet N."), QStringLiteral("N"),
                                        QStringLiteral("0"));
    const QCommandLineOption hangUpAtOpt(QStringLiteral("hangup-at"),
                                         QStringLiteral("boot: drop the call on data packet N."),
                                         QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption refuseBootOpt(QStringLiteral("refuse-boot"),
                                           QStringLiteral("boot: ignore the boot command \"b\"."));
    const QCommandLineOption smsdNetworkOpt(
        QStringLiteral("smsd-network"),
        QStringLiteral("No modem: play the network behind a gammu-smsd gateway whose database is the SQLite file "
                       "DB or postgresql://USER:PASSWORD@/NAME?host=DIR; the --terminal options answer what the "
                       "gateway sends, through its inbox."),
        QStringLiteral("DB"));
    const QCommandLineOption smsdRefuseOpt(QStringLiteral("smsd-refuse"),
                                           QStringLiteral("With --smsd-network: the gateway's messages to NUMBER "
                                                          "fail with the status Error. Repeatable."),
                                           QStringLiteral("NUMBER"));
    parser.addOptions({smsdNetworkOpt, smsdRefuseOpt});
    parser.addOptions({echoOpt, productOpt, silentOpt, delayOpt, garbleOpt, seedOpt, dialOpt, connectOpt,
                       dialDelayOpt, farOpt, guardOpt, baudOpt, ringOpt, traceOpt, refuseOpt, trailerOpt,
                       unsolicitedOpt, linkOpt, dumpOpt, bootStateOpt, memTypeOpt, repeatAtOpt, repeatFromOpt, noAckAtOpt,
                       hangUpAtOpt, refuseBootOpt});
    parser.addOptions(smsCommandLineOptions());
    parser.process(app);

    ModemSim::Options o;
    o.echo = parser.value(echoOpt) != QLatin1String("0");
    if (parser.isSet(productOpt))
        o.productLines = parser.values(productOpt);
    o.silent = parser.isSet(silentOpt);
    o.answerDelayMs = parser.value(delayOpt).toInt();
    o.garbleOneIn = parser.value(garbleOpt).toInt();
    o.seed = parser.value(seedOpt).toUInt();
    const QString dial = parser.value(dialOpt).toLower();
    if (dial == QLatin1String("connect"))
        o.dial = ModemSim::DialResult::Connect;
    else if (dial == QLatin1String("nocarrier"))
        o.dial = ModemSim::DialResult::NoCarrier;
    else if (dial == QLatin1String("busy"))
        o.dial = ModemSim::DialResult::Busy;
    else if (dial == QLatin1String("noanswer"))
        o.dial = ModemSim::DialResult::NoAnswer;
    else if (dial == QLatin1String("nodialtone"))
        o.dial = ModemSim::DialResult::NoDialTone;
    else {
        std::fprintf(stderr, "kvrsim: unknown --dial outcome\n");
        return 2;
    }
    o.connectText = parser.value(connectOpt);
    o.dialDelayMs = parser.value(dialDelayOpt).toInt();
    o.guardMs = parser.value(guardOpt).toInt();
    o.baud = parser.value(baudOpt).toInt();
    o.ringEveryMs = parser.value(ringOpt).toInt();
    o.trace = parser.isSet(traceOpt);
    for (const QString &r : parser.values(refuseOpt)) {
        // "AT+CMGS=+CMS ERROR: 500": the prefix may hold '=' itself, the report starts with '+' or a letter.
        const qsizetype eq = r.indexOf(QRegularExpression(QStringLiteral("=(?=[+A-Za-z])")));
        if (eq <= 0) {
            std::fprintf(stderr, "kvrsim: --refuse takes PREFIX=REPORT\n");
            return 2;
        }
        o.refusals.append({r.left(eq).toLatin1(), r.mid(eq + 1).toLatin1()});
    }
    o.trailer = parser.value(trailerOpt).toLatin1();
    o.unsolicitedMeanMs = parser.value(unsolicitedOpt).toInt();

    FarEnd *farEnd = nullptr;
    const QString far = parser.value(farOpt);
    if (far == QLatin1String("silent")) {
        farEnd = new SilentFarEnd(&app);
    } else if (far == QLatin1String("boot")) {
        BootLoaderFarEnd::Options b;
        b.dumpPath = parser.value(dumpOpt);
        const QString state = parser.value(bootStateOpt);
        if (state != QLatin1String("app") && state != QLatin1String("running")) {
            std::fprintf(stderr, "kvrsim: --boot-state is app or running\n");
            return 2;
        }
        b.bootRunning = state == QLatin1String("running");
        if (parser.isSet(memTypeOpt))
            b.memoryType = parser.value(memTypeOpt).toInt() & 0xFF;
        b.refuseBoot = parser.isSet(refuseBootOpt);
        b.repeatAt = parser.value(repeatAtOpt).toInt();
        b.repeatFrom = parser.value(repeatFromOpt).toInt();
        b.noAckAt = parser.value(noAckAtOpt).toInt();
        b.hangUpAt = parser.value(hangUpAtOpt).toInt();
        b.events = o.trace;
        farEnd = new BootLoaderFarEnd(b, &app);
    } else if (far == QLatin1String("loopback")) {
        farEnd = new LoopbackFarEnd(&app);
    } else {
        std::fprintf(stderr, "kvrsim: unknown --far kind\n");
        return 2;
    }

    if (parser.isSet(smsdNetworkOpt)) {
        // No modem: the network behind a gammu-smsd gateway's database.
        SmsdNetwork::Options n;
        n.database = parser.value(smsdNetworkOpt);
        n.deliveryDelayMs = parser.value(QStringLiteral("sms-delay")).toInt();
        n.refuse = parser.values(smsdRefuseOpt);
        SmsdNetwork network(n);
        QList<QPair<QString, QByteArray>> terminals;
        QString problem;
        if (!readTerminals(parser, terminals, problem)) {
            std::fprintf(stderr, "kvrsim: %s\n", qPrintable(problem));
            return 2;
        }
        for (const auto &[number, image] : std::as_const(terminals))
            network.addTerminal(number, image);
        if (!network.start(problem)) {
            std::fprintf(stderr, "kvrsim: the gateway's database: %s\n", qPrintable(problem));
            return 1;
        }
        // Nothing to clean up: a terminating signal may end it where it stands.
        return app.exec();
    }

    QString smsProblem;
    SmsStore *smsStore = makeSmsStore(parser, &app, smsProblem);
    if (!smsStore) {
        std::fprintf(stderr, "kvrsim: %s\n", qPrintable(smsProblem));
        return 2;
    }
    ModemSim sim(o, farEnd);
    sim.setSmsStore(smsStore);
    QString why;
    const QString path = sim.open(why);
    if (path.isEmpty()) {
        std::fprintf(stderr, "kvrsim: cannot open a pseudo-terminal: %s\n", qPrintable(why));
        return 1;
    }
    const QString linkPath = parser.value(linkOpt);
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(path, linkPath))
            std::fprintf(stderr, "kvrsim: cannot make the link %s\n", qPrintable(linkPath));
    }
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);

    // Operator commands on standard input; end of input leaves the modem running
    // unless it was asked to quit.
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, &app, [&] {
        char buf[1024];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            stdinNotifier.setEnabled(false);
            return;
        }
        pending.append(buf, int(n));
        qsizetype nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(nl).trimmed();
            pending.remove(0, nl + 1);
            if (line == "ring")
                sim.ring();
            else if (line.startsWith("say "))
                sim.say(line.mid(4));
            else if (line == "hangup")
                sim.remoteHangUp();
            else if (line == "unplug")
                sim.unplug();
            else if (line == "silent on")
                sim.setSilent(true);
            else if (line == "silent off")
                sim.setSilent(false);
            else if (line == "quit")
                QCoreApplication::quit();
        }
    });

    // Ending by a signal still goes through the normal exit so the link is removed.
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGTERM, onTerminate);
        std::signal(SIGINT, onTerminate);
        std::signal(SIGHUP, onTerminate);
    }
    const int rc = app.exec();
    if (!linkPath.isEmpty())
        QFile::remove(linkPath);
    return rc;
}

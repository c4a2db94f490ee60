#include "cli/SmsTransferCommands.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/HistoryBook.h"
#include "cli/CliText.h"
#include "cli/Interrupts.h"
#include "cli/LinkSession.h"
#include "cli/TerminalTargets.h"

#include "core/app/AppState.h"
#include "core/app/SerialSettings.h"
#include "core/pdu/ProfileFile.h"
#include "core/link/mdlStrings.h"
#include "core/common/FileIo.h"
#include "core/common/PhoneNumber.h"
#include "core/route/ProfileTransfer.h"
#include "core/pdu/TransferRecord.h"
#include "core/fleet/FleetRun.h"
#include "core/gateway/GatewayTransfer.h"
#include "core/app/HistoryRow.h"
#include "core/app/Database.h"
#include "core/app/OperationHistory.h"

#include <QElapsedTimer>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <optional>
#include <vector>

namespace {

constexpr int DefaultWaitSeconds = 120;

const QString kSmsc = QStringLiteral("--smsc");
const QString kWait = QStringLiteral("--wait");
const QString kApn = QStringLiteral("--apn");
const QString kUser = QStringLiteral("--user");
const QString kPassword = QStringLiteral("--password");
const QString kPasswordFile = QStringLiteral("--password-file");
const char *const kPasswordVariable = "KVRSETUP_GPRS_PASSWORD";
// Far more than a terminal keeps; a larger file is no password file.
constexpr qint64 PasswordFileLimit = 1024;
const QString kServer = QStringLiteral("--server");
const QString kServerPort = QStringLiteral("--server-port");

// Where the messages go: a modem's port, or a gammu-smsd gateway's configuration file.
struct SmsPath
{
    SerialSettings serial;
    QString smsd;
};

// What the link or the gateway logs is progress: standard error. Results go to standard output.
void printProgress(const QString &text)
{
    printLine(stderr, mdlStrings::TrimCrLf(text));
}

// A modem's port opened, its log lines (txtinfo and txtCmdInfo of the window) printed as they come.
std::unique_ptr<LinkSession> openPrinting(const SerialSettings &serial)
{
    auto session = openSession(serial);
    if (session) {
        QObject::connect(&session->link.display(), &LinkDisplay::infoLine, printProgress);
        QObject::connect(&session->link.display(), &LinkDisplay::cmdInfoLine, printProgress);
    }
    return session;
}

// The gateway's transfer on a clock that KVRSETUP_TIME_SCALE may shorten, as the link's.
struct Gateway
{
    SystemClock clock{timeScaleFromEnvironment()};
    std::unique_ptr<GatewayTransfer> transfer;

    // nullptr after telling why.
    static std::unique_ptr<Gateway> open(const QString &path, AppState &state)
    {
        auto gateway = std::make_unique<Gateway>();
        gateway->transfer = std::make_unique<GatewayTransfer>(path, state);
        gateway->transfer->setClock(&gateway->clock);
        QString error;
        if (!gateway->transfer->open(error)) {
            printMessage(error);
            return nullptr;
        }
        QObject::connect(gateway->transfer.get(), &GatewayTransfer::cmdInfoLine, printProgress);
        return gateway;
    }
};

// The waits between two polls, ended at once by a break.
Task<bool> delayOn(LinkExchange &link, int ms)
{
    co_await link.Delay(ms);
    co_return true;
}

Task<bool> pauseOn(GatewayTransfer &gateway, int ms)
{
    co_await gateway.pause(ms);
    co_return true;
}

// An open modem link or gateway with the profile transfer on it; its log lines (txtinfo and
// txtCmdInfo of the window) are printed as they come.
// The first Ctrl-C, SIGTERM or SIGHUP breaks off the running step (a packet pair that has begun
// still goes whole); the second drops the modem's line at once.
void sayInterrupted()
{
    printMessage(CliText::tr("прерывание: начатое завершается, новое не начинается"));
}

void breakOff(LinkSession *session, SmsRoute &route)
{
    sayInterrupted();
    if (session)
        session->line.requestBreak();
    route.breakSends();
}

void stopNow(LinkSession *session, SmsRoute &route)
{
    route.breakSends();
    dropLinesNow(session ? QList<LinkSession *>{session} : QList<LinkSession *>());
}

// An open modem link or gateway with the profile transfer on it; its log lines (txtinfo and
// txtCmdInfo of the window) are printed as they come. Members go in reverse: the transfer (and
// what it still runs) before the state, the session last.
struct Transfer
{
    std::unique_ptr<LinkSession> session;
    std::unique_ptr<Gateway> gateway;
    Database database;
    AppState state;
    std::unique_ptr<ProfileTransfer> modem;

    bool open(const SmsPath &path)
    {
        // What is done to the terminal is kept in the history when the book can be opened.
        HistoryBook::openForHistory(state, database);
        if (!path.smsd.isEmpty()) {
            gateway = Gateway::open(path.smsd, state);
            return bool(gateway);
        }
        session = openPrinting(path.serial);
        if (!session)
            return false;
        modem = std::make_unique<ProfileTransfer>(session->line, state);
        return true;
    }
    SmsRoute &route() { return modem ? static_cast<SmsRoute &>(*modem) : *gateway->transfer; }
    bool lost() const { return session && session->link.port().isPortLost(); }
    QString routeName() { return route().routeName(); }

    template<typename T>
    T run(ModemLine::Operation kind, std::function<Task<T>()> script)
    {
        if (session)
            return runOperation<T>(*session, kind, std::move(script));
        // A gateway's steps need no line: the task runs at once, and the tool waits for it.
        std::optional<T> result;
        Task<void> task = LinkSessionDetail::keep<T>(script(), &result);
        waitForTask(task);
        return result ? *result : T();
    }
    // The pause between two polls, on the route's clock; a break ends it.
    void pause(int ms)
    {
        if (session) {
            LinkExchange &link = session->link;
            run<bool>(ModemLine::Operation::Poll, [&link, ms] { return delayOn(link, ms); });
            return;
        }
        GatewayTransfer &g = *gateway->transfer;
        run<bool>(ModemLine::Operation::Poll, [&g, ms] { return pauseOn(g, ms); });
    }
    // The signals for the time of one command.
    std::unique_ptr<Interrupts> watchInterrupts()
    {
        return std::make_unique<Interrupts>([this] { breakOff(session.get(), route()); },
                                            [this] { stopNow(session.get(), route()); });
    }
};

// A single terminal's send: its history row, and the exit code of an interrupt.
int sendEnded(const Interrupts &interrupts, HistoryRow &history, const SmsRoute::SendResult &result,
              const QString &okDetail)
{
    if (!result.refusal.isEmpty()) {
        history.discard();
        return failWith(result.refusal);
    }
    if (result.passed)
        history.set(OperationHistory::Result::Ok, okDetail);
    else
        history.set(OperationHistory::Result::Failed,
                    interrupts.interrupted() ? QStringLiteral("прервано: ") + result.failure : result.failure);
    if (interrupts.interrupted())
        return interrupts.exitCode();
    return result.passed ? 0 : 1;
}

// --port (with its serial options) or --smsd, never both; "" when usable.
QString readSmsPath(const CliOptions &o, SmsPath &path)
{
    if (!o.has(QStringLiteral("--smsd")))
        return readSerialOptions(o, path.serial);
    if (!o.problem.isEmpty())
        return o.problem;
    if (o.has(QStringLiteral("--port")))
        return CliText::tr("--port и --smsd не задаются вместе");
    path.smsd = o.value(QStringLiteral("--smsd"));
    return {};
}

int sendProfile(const SmsPath &s, const CliOptions &o, const QString &phone)
{
    const QString path = o.positional.first();
    QByteArray data;
    QString refusal;
    if (!ProfileFile::read(path, data, refusal))
        return failWith(refusal);
    Transfer t;
    if (!t.open(s))
        return 1;
    const auto interrupts = t.watchInterrupts();
    HistoryRow history(t.state.database, OperationHistory::Operation::SendProfile, phone, t.routeName(),
                       QStringLiteral("прервано: не отправлено"));
    SmsRoute &transfer = t.route();
    const QString smsc = o.value(kSmsc);
    const SmsRoute::SendResult result = t.run<SmsRoute::SendResult>(
        ModemLine::Operation::SmsSend, [&transfer, phone, smsc, data] { return transfer.sendProfileFile(phone, smsc, data); });
    return sendEnded(*interrupts, history, result, QStringLiteral("отправлено"));
}

// Seconds read-profile waits for a terminal's answer; -1 for a bad value.
int waitSecondsOf(const CliOptions &o)
{
    if (!o.has(kWait))
        return DefaultWaitSeconds;
    bool ok = false;
    const int seconds = o.value(kWait).toInt(&ok);
    return ok && seconds >= 0 ? seconds : -1;
}

int readProfile(const SmsPath &s, const CliOptions &o, const QString &phone)
{
    const int waitSeconds = waitSecondsOf(o);
    Transfer t;
    if (!t.open(s))
        return 1;
    const auto interrupts = t.watchInterrupts();
    HistoryRow history(t.state.database, OperationHistory::Operation::ReadProfile, phone, t.routeName(),
                       QStringLiteral("прервано: не отправлено"));
    SmsRoute &transfer = t.route();
    const Clock &clock = transfer.routeClock();
    const QString smsc = o.value(kSmsc);
    const SmsRoute::SendResult request = t.run<SmsRoute::SendResult>(
        ModemLine::Operation::SmsSend, [&transfer, phone, smsc] { return transfer.requestProfile(phone, smsc); });
    if (!request.passed || interrupts->interrupted())
        return sendEnded(*interrupts, history, request, QString());
    // The poll of Timer1: the first at once, then every 10 s until the file is there.
    const QDateTime started = clock.now();
    while (!interrupts->interrupted()) {
        const SmsRoute::PollResult poll =
            t.run<SmsRoute::PollResult>(ModemLine::Operation::Poll, [&transfer] { return transfer.pollMessages(); });
        for (const ReceivedProfiles::Saved &saved : poll.saved) {
            // The network may present the number in another form ("+7..." for "8...").
            if (PhoneNumber::sameSubscriber(saved.phone, phone)) {
                history.set(OperationHistory::Result::Ok, saved.path);
                printLine(stdout, saved.path);
                return 0;
            }
        }
        const qint64 left = qint64(waitSeconds) * 1000 - started.msecsTo(clock.now());
        if (left <= 0 || t.lost())
            break;
        t.pause(int(qMin<qint64>(left, SmsRoute::PollMs)));
    }
    if (interrupts->interrupted()) {
        history.set(OperationHistory::Result::Failed, QStringLiteral("прервано: запрос отправлен, профиль не дождались"));
        return interrupts->exitCode();
    }
    const QString noProfile = CliText::tr("нет профиля от %1 за %2 с").arg(shown(phone)).arg(waitSeconds);
    history.set(OperationHistory::Result::Failed, noProfile);
    return failWith(noProfile);
}

int poll(const SmsPath &s)
{
    Transfer t;
    if (!t.open(s))
        return 1;
    const auto interrupts = t.watchInterrupts();
    SmsRoute &transfer = t.route();
    const SmsRoute::PollResult result =
        t.run<SmsRoute::PollResult>(ModemLine::Operation::Poll, [&transfer] { return transfer.pollMessages(); });
    if (interrupts->interrupted())
        return interrupts->exitCode();
    // A profile that could not be written is a failure, even though its messages are safe; so is
    // a gateway message left unmarked, which every poll would find again.
    return result.listed && !result.writeFailed && !result.markFailed ? 0 : 1;
}

// The GPRS password from the one source given: --password, the first line of --password-file
// or KVRSETUP_GPRS_PASSWORD; none is an empty password. An exit code when it cannot be had.
std::optional<int> readGprsPassword(const CliOptions &o, CliContext &c, QString &password)
{
    const bool inVariable = qEnvironmentVariableIsSet(kPasswordVariable);
    if (int(o.has(kPassword)) + int(o.has(kPasswordFile)) + int(inVariable) > 1)
        return c.badUsage(CliText::tr("пароль задается одним способом: --password, --password-file или "
                                      "KVRSETUP_GPRS_PASSWORD"));
    if (o.has(kPassword)) {
        password = o.value(kPassword);
    } else if (inVariable) {
        password = qEnvironmentVariable(kPasswordVariable);
    } else if (o.has(kPasswordFile)) {
        QByteArray data;
        QString error;
        if (!FileIo::readRegular(o.value(kPasswordFile), data, error, PasswordFileLimit + 1))
            return failWith(error);
        if (data.size() > PasswordFileLimit)
            return failWith(CliText::tr("файл пароля больше %1 байт: %2")
                                .arg(PasswordFileLimit)
                                .arg(shown(o.value(kPasswordFile))));
        const qsizetype end = data.indexOf('\n');
        QByteArray line = end < 0 ? data : data.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        password = QString::fromUtf8(line);
    }
    return std::nullopt;
}

int sendGprs(const SmsPath &s, const CliOptions &o, const GprsSettings &settings, const QString &phone)
{
    Transfer t;
    if (!t.open(s))
        return 1;
    const auto interrupts = t.watchInterrupts();
    HistoryRow history(t.state.database, OperationHistory::Operation::SendGprs, phone, t.routeName(),
                       QStringLiteral("прервано: не отправлено"));
    SmsRoute &transfer = t.route();
    const QString smsc = o.value(kSmsc);
    const SmsRoute::SendResult result = t.run<SmsRoute::SendResult>(
        ModemLine::Operation::SmsSend,
        [&transfer, phone, smsc, settings] { return transfer.sendGprs(phone, smsc, settings); });
    return sendEnded(*interrupts, history, result, QStringLiteral("отправлено"));
}

// The command for each terminal in turn; with --all a summary table follows, and the
// exit code is 0 only when every terminal succeeded.
int forEachTarget(const QList<TerminalTarget> &targets, bool summary, const std::function<int(const QString &)> &run)
{
    QStringList rows;
    int failed = 0;
    for (const TerminalTarget &t : targets) {
        if (summary)
            printLine(stderr, QStringLiteral("== ") + t.name + QStringLiteral(" ") + t.phone);
        const int rc = run(t.phone);
        // An interrupt ends the run with its own code.
        if (rc > 2)
            return rc;
        failed += rc == 0 ? 0 : 1;
        rows << t.name + QStringLiteral(" | ") + t.phone + QStringLiteral(" | ")
                    + (rc == 0 ? QStringLiteral("ok") : QStringLiteral("failed"));
    }
    if (summary) {
        printLine(stdout, QStringLiteral("terminal | number | result"));
        for (const QString &row : rows)
            printLine(stdout, row);
    }
    return failed == 0 ? 0 : 1;
}

// A fleet at once: every request out first, through every --port given, then the polls; each
// terminal's outcome as soon as it is known, and the summary.
int runFleet(const CliOptions &o, FleetRun::Job job, const SmsPath &path, const QList<TerminalTarget> &targets,
             const GprsSettings &gprs)
{
    FleetRun::Request request;
    request.job = job;
    request.smsc = o.value(kSmsc);
    request.gprs = gprs;
    request.waitSeconds = waitSecondsOf(o);
    if (job == FleetRun::Job::SendProfile) {
        QString refusal;
        if (!ProfileFile::read(o.positional.first(), request.profile, refusal))
            return failWith(refusal);
    }
    AppState state;
    // Each terminal's outcome, and what the polls receive, go into the history of Data.db.
    Database database;
    if (HistoryBook::openForHistory(state, database))
        request.history = &database;
    // Declared in the order they are needed: each goes before what it uses.
    std::vector<std::unique_ptr<LinkSession>> sessions;
    std::unique_ptr<Gateway> gateway;
    std::vector<std::unique_ptr<ProfileTransfer>> transfers;
    QList<FleetRun::Line> lines;
    if (!path.smsd.isEmpty()) {
        gateway = Gateway::open(path.smsd, state);
        if (!gateway)
            return 1;
        lines.append({gateway->transfer.get(), path.smsd});
    }
    for (const QString &port : path.smsd.isEmpty() ? o.all(QStringLiteral("--port")) : QStringList()) {
        SerialSettings s = path.serial;
        s.port = port;
        // A port of the pool that does not open has been named with its reason; the run goes on
        // with the others, and ends only when none opens.
        auto session = openPrinting(s);
        if (!session)
            continue;
        transfers.push_back(std::make_unique<ProfileTransfer>(session->line, state));
        lines.append({transfers.back().get(), port});
        sessions.push_back(std::move(session));
    }
    if (lines.isEmpty())
        return 1;
    QList<FleetRun::Target> fleetTargets;
    for (const TerminalTarget &t : targets)
        fleetTargets.append({t.name, t.phone});
    FleetRun run(lines, request);
    const bool json = o.flag(QStringLiteral("--json"));
    QObject::connect(&run, &FleetRun::lineDropped, [&lines](int line, SmsRoute::LineFault fault) {
        printMessage(CliText::tr("модем %1 исключен из пула: %2")
                         .arg(shown(lines.at(line).port), FleetRun::lineFaultText(fault)));
    });
    QObject::connect(&run, &FleetRun::terminalFinished, [&run, job, &request, json](int i) {
        const FleetRun::Target &t = run.targets().at(i);
        const FleetRun::Result &r = run.results().at(i);
        // With --json the files are in the summary; the lines would break the JSON.
        if (r.outcome == FleetRun::Outcome::Done && job == FleetRun::Job::ReadProfile && !json)
            printLine(stdout, r.detail);
        else if (r.outcome == FleetRun::Outcome::NoAnswer && job == FleetRun::Job::ReadProfile)
            printMessage(CliText::tr("нет профиля от %1 за %2 с").arg(shown(t.phone)).arg(request.waitSeconds));
        else if (r.outcome != FleetRun::Outcome::Done)
            printMessage(shown(t.name) + QStringLiteral(" ") + shown(t.phone) + QStringLiteral(": ") + r.detail);
    });
    // The first interrupt lets the pairs under way finish and starts nothing more; the second
    // drops the modems' lines at once.
    const Interrupts interrupts(
        [&run] {
            sayInterrupted();
            run.interrupt();
        },
        [&sessions, &lines] {
            for (const FleetRun::Line &line : std::as_const(lines))
                line.route->breakSends();
            QList<LinkSession *> open;
            for (const auto &session : sessions)
                open << session.get();
            dropLinesNow(open);
        });
    QEventLoop loop;
    QObject::connect(&run, &FleetRun::finished, &loop, &QEventLoop::quit);
    run.start(fleetTargets);
    loop.exec();
    // The table says an unknown send in words; JSON keeps a plain value for scripts.
    const auto resultText = [](FleetRun::Outcome outcome, bool forJson) {
        switch (outcome) {
        case FleetRun::Outcome::Done:
            return QStringLiteral("ok");
        case FleetRun::Outcome::Interrupted:
            return QStringLiteral("interrupted");
        case FleetRun::Outcome::Unknown:
            return forJson ? QStringLiteral("unknown") : SmsRoute::unknownText();
        default:
            return QStringLiteral("failed");
        }
    };
    if (o.flag(QStringLiteral("--json"))) {
        QJsonArray rows;
        for (int i = 0; i < run.targets().size(); ++i) {
            const FleetRun::Result &r = run.results().at(i);
            rows.append(QJsonObject{{QStringLiteral("terminal"), run.targets().at(i).name},
                                    {QStringLiteral("number"), run.targets().at(i).phone},
                                    {QStringLiteral("port"), r.port},
                                    {QStringLiteral("result"), resultText(r.outcome, true)},
                                    {QStringLiteral("detail"), r.detail}});
        }
        writeText(stdout, QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)));
    } else {
        printLine(stdout, QStringLiteral("terminal | number | result"));
        for (int i = 0; i < run.targets().size(); ++i)
            printLine(stdout, run.targets().at(i).name + QStringLiteral(" | ") + run.targets().at(i).phone
                                  + QStringLiteral(" | ") + resultText(run.results().at(i).outcome, false));
    }
    if (interrupts.interrupted())
        return interrupts.exitCode();
    return run.allDone() ? 0 : 1;
}

// The serial options, the terminals and, for the fleet commands, the summary; then the
// command for each terminal.
int runForTargets(const CliOptions &o, CliContext &c, bool fleet,
                  const std::function<int(const SmsPath &, const QString &)> &run,
                  std::optional<FleetRun::Job> pipelined = std::nullopt, const GprsSettings &gprs = {})
{
    SmsPath s;
    const QString problem = readSmsPath(o, s);
    if (!problem.isEmpty())
        return c.badUsage(problem);
    if (waitSecondsOf(o) < 0)
        return c.badUsage(CliText::tr("недопустимое значение %1: %2").arg(kWait, shown(o.value(kWait))));
    QList<TerminalTarget> targets;
    QString why;
    // Several terminals named one by one are a fleet too.
    if (pipelined && !o.flag(allOption()) && !o.flag(retryFailedOption())
        && o.all(phoneOption()).size() + o.all(terminalOption()).size() > 1) {
        switch (resolveEach(o, targets, why)) {
        case TargetsResult::Ok:
            return runFleet(o, *pipelined, s, targets, gprs);
        case TargetsResult::BadUsage:
            return c.badUsage(why);
        case TargetsResult::NotFound:
            return failWith(why);
        }
    }
    switch (resolveTargets(o, fleet, targets, why)) {
    case TargetsResult::Ok:
        break;
    case TargetsResult::BadUsage:
        return c.badUsage(why);
    case TargetsResult::NotFound:
        return failWith(why);
    }
    if (pipelined && o.flag(retryFailedOption())) {
        // Only the terminals whose last run of this command failed.
        const AppState state;
        Database db;
        QString error;
        if (!HistoryBook::open(state, db, error))
            return failWith(CliText::tr("ошибка базы данных: %1").arg(error));
        const QStringList failed = OperationHistory(db).lastFailed(FleetRun::historyOperation(*pipelined));
        targets.removeIf([&failed](const TerminalTarget &t) {
            for (const QString &number : failed) {
                if (PhoneNumber::sameSubscriber(number, t.phone))
                    return false;
            }
            return true;
        });
        if (targets.isEmpty()) {
            printMessage(CliText::tr("нет терминалов, у которых последний запуск не удался"));
            return 0;
        }
    }
    // A fleet goes out at once; one terminal, or a command that has no fleet form, in turn.
    if (pipelined && (o.flag(allOption()) || o.flag(retryFailedOption())))
        return runFleet(o, *pipelined, s, targets, gprs);
    return forEachTarget(targets, o.flag(allOption()), [&](const QString &phone) { return run(s, phone); });
}

} // namespace

int runSendProfile(const CliOptions &o, CliContext &c)
{
    return runForTargets(
        o, c, true, [&o](const SmsPath &s, const QString &phone) { return sendProfile(s, o, phone); },
        FleetRun::Job::SendProfile);
}

int runReadProfile(const CliOptions &o, CliContext &c)
{
    return runForTargets(
        o, c, true, [&o](const SmsPath &s, const QString &phone) { return readProfile(s, o, phone); },
        FleetRun::Job::ReadProfile);
}

int runSendGprs(const CliOptions &o, CliContext &c)
{
    GprsSettings settings{o.value(kApn), o.value(kUser), QString(), o.value(kServer), o.value(kServerPort)};
    if (const std::optional<int> rc = readGprsPassword(o, c, settings.password))
        return *rc;
    return runForTargets(
        o, c, true, [&o, &settings](const SmsPath &s, const QString &phone) { return sendGprs(s, o, settings, phone); },
        FleetRun::Job::SendGprs, settings);
}

int runPoll(const CliOptions &o, CliContext &c)
{
    SmsPath s;
    const QString problem = readSmsPath(o, s);
    return problem.isEmpty() ? poll(s) : c.badUsage(problem);
}

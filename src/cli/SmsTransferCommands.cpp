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
#include "core/link/LinkDisplay.h"
#include "core/link/mdlStrings.h"
#include "core/common/FileIo.h"
#include "core/service/SmsService.h"
#include "core/fleet/FleetRun.h"
#include "core/gateway/GatewayTransfer.h"
#include "core/app/Database.h"

#include <QEventLoop>
#include <QTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

// Where the messages go: the modems' ports (one, or a pool), or a gammu-smsd gateway's
// configuration file.
struct SmsPath
{
    SerialSettings serial;
    QStringList ports;
    QString smsd;
};

// What the link or the gateway logs is progress: standard error. Results go to standard output.
void printProgress(const QString &text)
{
    printLine(stderr, mdlStrings::TrimCrLf(text));
}

void sayInterrupted()
{
    printMessage(CliText::tr("прерывание: начатое завершается, новое не начинается"));
}

// What one command opens: the book for the history, the modems' ports or the gateway, and the
// service on them; their log lines (txtinfo and txtCmdInfo of the window) are printed as they
// come. Members go in reverse: the service (and what it still runs) before the lines, the state
// last. The first Ctrl-C, SIGTERM or SIGHUP breaks off the running step (a packet pair that has
// begun still goes whole); the second drops the modems' lines at once.
struct SmsSession
{
    AppState state;
    Database database;
    SystemClock clock{timeScaleFromEnvironment()};
    std::vector<std::unique_ptr<LinkSession>> sessions;
    std::unique_ptr<SmsService> service;

    // What is done to the terminals is kept in the history of Data.db; a book that cannot be
    // opened is said once, loudly, and the command goes on without it.
    SmsSession() { HistoryBook::openForHistory(state, database); }

    // False after saying why: no port of the pool opened, or the gateway cannot be used. A port of
    // a pool that does not open is named with its reason and the others serve.
    bool open(const SmsPath &path)
    {
        QList<SmsRoutes::Line> lines;
        for (const QString &port : path.smsd.isEmpty() ? path.ports : QStringList()) {
            SerialSettings s = path.serial;
            s.port = port;
            auto session = openSession(s);
            if (!session)
                continue;
            QObject::connect(&session->link.display(), &LinkDisplay::infoLine, printProgress);
            QObject::connect(&session->link.display(), &LinkDisplay::cmdInfoLine, printProgress);
            lines.append({&session->line, port});
            sessions.push_back(std::move(session));
        }
        if (path.smsd.isEmpty() && lines.isEmpty())
            return false;
        service = std::make_unique<SmsService>(state);
        QString error;
        const bool opened = service->open(path.smsd, lines, error, &clock);
        if (GatewayTransfer *gateway = service->routes().gateway())
            QObject::connect(gateway, &GatewayTransfer::cmdInfoLine, printProgress);
        if (!opened) {
            printMessage(error);
            return false;
        }
        if (!service->routes().tasksProblem().isEmpty())
            printLine(stderr, CliText::tr("ВНИМАНИЕ: %1").arg(service->routes().tasksProblem()));
        service->routes().completeHalfSent();
        return true;
    }
    // A gateway sends beside the job (a profile left sent in part, completed at the start):
    // the command ends once those have ended too.
    void settleSends()
    {
        const auto idle = [this] {
            for (const FleetRun::Line &line : service->routes().jobLines()) {
                if (!line.route->sendsIdle())
                    return false;
            }
            return true;
        };
        if (idle())
            return;
        QEventLoop loop;
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (idle())
                loop.quit();
        });
        check.start(100);
        loop.exec();
    }
    QList<LinkSession *> lines() const
    {
        QList<LinkSession *> open;
        for (const auto &session : sessions)
            open << session.get();
        return open;
    }
    // The signals for the time of one command.
    std::unique_ptr<Interrupts> watchInterrupts()
    {
        return std::make_unique<Interrupts>(
            [this] {
                sayInterrupted();
                for (LinkSession *session : lines())
                    session->line.requestBreak();
                service->interrupt();
            },
            [this] {
                for (const FleetRun::Line &line : service->routes().jobLines())
                    line.route->breakSends();
                dropLinesNow(lines());
            });
    }
};

// --port (with its serial options, repeated for a pool) or --smsd, never both; "" when usable.
QString readSmsPath(const CliOptions &o, SmsPath &path)
{
    if (!o.has(QStringLiteral("--smsd"))) {
        const QString problem = readSerialOptions(o, path.serial);
        path.ports = o.all(QStringLiteral("--port"));
        if (path.ports.isEmpty())
            path.ports << path.serial.port;
        return problem;
    }
    if (!o.problem.isEmpty())
        return o.problem;
    if (o.has(QStringLiteral("--port")))
        return CliText::tr("--port и --smsd не задаются вместе");
    path.smsd = o.value(QStringLiteral("--smsd"));
    return {};
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

int poll(const SmsPath &s)
{
    SmsSession session;
    if (!session.open(s))
        return 1;
    const auto interrupts = session.watchInterrupts();
    SmsRoute::PollResult result;
    QEventLoop loop;
    QObject::connect(session.service.get(), &SmsService::polled, &loop, [&](const SmsRoute::PollResult &r) {
        result = r;
        loop.quit();
    });
    session.service->poll();
    loop.exec();
    session.settleSends();
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

// How a run is shown: one terminal as the command's own result; a fleet with each terminal's
// outcome as soon as it is known and a summary table (or JSON) at the end.
enum class Shown { OneTerminal, Fleet };

// The job for the targets through the session's service; the exit code is 0 only when every
// terminal succeeded.
int runJob(const CliOptions &o, SmsSession &session, const FleetRun::Request &request,
           const QList<TerminalTarget> &targets, Shown shown_)
{
    const auto interrupts = session.watchInterrupts();
    FleetRun *run = session.service->start(request, targets);
    const bool json = o.flag(QStringLiteral("--json"));
    const FleetRun::Job job = request.job;
    const QList<FleetRun::Line> lines = session.service->routes().jobLines();
    QObject::connect(run, &FleetRun::lineDropped, [lines](int line, SmsRoute::LineFault fault) {
        printMessage(CliText::tr("модем %1 исключен из пула: %2")
                         .arg(shown(lines.at(line).port), FleetRun::lineFaultText(fault)));
    });
    QObject::connect(run, &FleetRun::terminalFinished, [run, job, &request, json, shown_](int i) {
        const FleetRun::Target &t = run->targets().at(i);
        const FleetRun::Result &r = run->results().at(i);
        // With --json the files are in the summary; the lines would break the JSON.
        if (r.outcome == FleetRun::Outcome::Done && job == FleetRun::Job::ReadProfile && !json)
            printLine(stdout, r.detail);
        else if (r.outcome == FleetRun::Outcome::NoAnswer && job == FleetRun::Job::ReadProfile)
            printMessage(CliText::tr("нет профиля от %1 за %2 с").arg(shown(t.phone)).arg(request.waitSeconds));
        else if (shown_ == Shown::OneTerminal && r.outcome == FleetRun::Outcome::Refused)
            printMessage(r.detail);
        // One terminal's failure has been said by the route's own lines.
        else if (shown_ == Shown::Fleet && r.outcome != FleetRun::Outcome::Done)
            printMessage(shown(t.name) + QStringLiteral(" ") + shown(t.phone) + QStringLiteral(": ") + r.detail);
    });
    QEventLoop loop;
    QObject::connect(run, &FleetRun::finished, &loop, &QEventLoop::quit);
    loop.exec();
    session.settleSends();
    if (shown_ == Shown::Fleet) {
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
        if (json) {
            QJsonArray rows;
            for (int i = 0; i < run->targets().size(); ++i) {
                const FleetRun::Result &r = run->results().at(i);
                rows.append(QJsonObject{{QStringLiteral("terminal"), run->targets().at(i).name},
                                        {QStringLiteral("number"), run->targets().at(i).phone},
                                        {QStringLiteral("port"), r.port},
                                        {QStringLiteral("result"), resultText(r.outcome, true)},
                                        {QStringLiteral("detail"), r.detail}});
            }
            writeText(stdout, QString::fromUtf8(QJsonDocument(rows).toJson(QJsonDocument::Indented)));
        } else {
            printLine(stdout, QStringLiteral("terminal | number | result"));
            for (int i = 0; i < run->targets().size(); ++i)
                printLine(stdout, run->targets().at(i).name + QStringLiteral(" | ") + run->targets().at(i).phone
                                      + QStringLiteral(" | ") + resultText(run->results().at(i).outcome, false));
        }
    }
    if (interrupts->interrupted())
        return interrupts->exitCode();
    return run->allDone() ? 0 : 1;
}

// The options, the terminals, the book and the route; then the job, for one terminal or a fleet.
int runForTargets(const CliOptions &o, CliContext &c, FleetRun::Job job, const GprsSettings &gprs = {})
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
    const bool named = !o.flag(allOption()) && !o.flag(retryFailedOption())
                       && o.all(phoneOption()).size() + o.all(terminalOption()).size() > 1;
    switch (named ? resolveEach(o, targets, why) : resolveTargets(o, true, targets, why)) {
    case TargetsResult::Ok:
        break;
    case TargetsResult::BadUsage:
        return c.badUsage(why);
    case TargetsResult::NotFound:
        return failWith(why);
    }
    const Shown shown_ = named || o.flag(allOption()) || o.flag(retryFailedOption()) ? Shown::Fleet : Shown::OneTerminal;
    FleetRun::Request request;
    request.job = job;
    request.smsc = o.value(kSmsc);
    request.gprs = gprs;
    request.waitSeconds = waitSecondsOf(o);
    // One terminal's send is done once it has gone, as the window's; a fleet waits for the
    // confirmations.
    request.awaitAnswers = shown_ == Shown::Fleet;
    if (job == FleetRun::Job::SendProfile) {
        request.fileName = o.positional.first();
        QString refusal;
        if (!ProfileFile::read(o.positional.first(), request.profile, refusal))
            return failWith(refusal);
    }
    SmsSession session;
    if (!session.open(s))
        return 1;
    if (o.flag(retryFailedOption())) {
        // Only the terminals whose last run of this command failed.
        QString error;
        if (!session.service->keepRetryable(job, targets, error))
            return failWith(CliText::tr("ошибка базы данных: %1").arg(error));
        if (targets.isEmpty()) {
            printMessage(CliText::tr("нет терминалов, у которых последний запуск не удался"));
            return 0;
        }
    }
    return runJob(o, session, request, targets, shown_);
}

} // namespace

int runSendProfile(const CliOptions &o, CliContext &c)
{
    return runForTargets(o, c, FleetRun::Job::SendProfile);
}

int runReadProfile(const CliOptions &o, CliContext &c)
{
    return runForTargets(o, c, FleetRun::Job::ReadProfile);
}

int runSendGprs(const CliOptions &o, CliContext &c)
{
    GprsSettings settings{o.value(kApn), o.value(kUser), QString(), o.value(kServer), o.value(kServerPort)};
    if (const std::optional<int> rc = readGprsPassword(o, c, settings.password))
        return *rc;
    return runForTargets(o, c, FleetRun::Job::SendGprs, settings);
}

int runPoll(const CliOptions &o, CliContext &c)
{
    SmsPath s;
    const QString problem = readSmsPath(o, s);
    return problem.isEmpty() ? poll(s) : c.badUsage(problem);
}

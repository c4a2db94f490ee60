#include "cli/UploadCommand.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/HistoryBook.h"
#include "cli/CliText.h"
#include "cli/Interrupts.h"
#include "cli/LinkSession.h"
#include "cli/TerminalTargets.h"

#include "core/app/Database.h"
#include "core/app/StartUp.h"
#include "core/app/UserPrompts.h"
#include "core/common/FileIo.h"
#include "core/common/HexText.h"
#include "core/fleet/UploadRollOut.h"
#include "core/link/LinkExchange.h"
#include "core/link/mdlStrings.h"
#include "core/loader/FirmwareDataCall.h"

#include <iterator>
#include <cstdio>
#include <memory>


namespace {

const QString kNoResumePoints = QStringLiteral(": без нее не сохранить точку продолжения, загрузка не начата");


// Message boxes become lines on standard error; there is nobody to answer questions.
class ConsolePrompts : public UserPrompts
{
public:
    Answer message(const QString &text, const QString &, Icon, Buttons buttons) override
    {
        printLine(stderr, text);
        return buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    }
    QString openFile(const QString &, const QString &, const QList<Filter> &, bool) override { return QString(); }
    QString saveFile(const QString &, const QString &, const QList<Filter> &) override { return QString(); }
    bool openDocument(const QString &) override { return false; }
};

// Ctrl-C during the load: the first breaks off as "Прервать передачу" does and lets the
// load finish its own escape and hang-up; a second one drops DTR and closes the port at once.
class InterruptHandler
{
public:
    // The lines of the run and the load on each.
    using Line = std::pair<LinkSession *, FirmwareDataCall *>;
    explicit InterruptHandler(QList<Line> lines)
        : m_lines(std::move(lines)), m_interrupts([this] { breakOff(); }, [this] { dropLines(); })
    {
    }
    bool interrupted() const { return m_interrupts.interrupted(); }

private:
    void breakOff()
    {
        for (const Line &line : std::as_const(m_lines)) {
            if (line.second->isRunning())
                line.second->cmdEscapeTransmit_Click();
        }
    }
    void dropLines()
    {
        QList<LinkSession *> sessions;
        for (const Line &line : std::as_const(m_lines))
            sessions << line.first;
        dropLinesNow(sessions);
    }

    QList<Line> m_lines;
    Interrupts m_interrupts;
};

// A page address is hexadecimal, as the window lists it ("2800"), with or without "0x": a bare
// number read as decimal would start the load at another address.
bool readPage(const QString &text, uint &value)
{
    const QString digits = text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) ? text.mid(2) : text;
    bool ok = !digits.isEmpty();
    for (const QChar c : digits)
        ok = ok && HexText::digitValue(c) >= 0;
    value = ok ? digits.toUInt(&ok, 16) : 0;
    return ok && value <= 0xFFFF;
}

// What the options ask for; an empty text when they make sense, else the problem.
QString readUploadOptions(const CliOptions &parsed, UploadOptions &o)
{
    const QString serialProblem = readSerialOptions(parsed, o.serial);
    if (!serialProblem.isEmpty())
        return serialProblem;
    o.linear = parsed.flag(QStringLiteral("--linear"));
    o.resume = parsed.flag(QStringLiteral("--resume"));
    o.files = parsed.positional;
    if (parsed.flag(allOption()) ? parsed.has(phoneOption()) || parsed.has(terminalOption())
                                 : !parsed.has(phoneOption()) && !parsed.has(terminalOption()))
        return CliText::tr("нужны --phone NUMBER или --terminal NAME (можно несколько), или --all");
    o.phone = parsed.value(phoneOption()).trimmed();
    o.terminal = parsed.value(terminalOption());
    if (parsed.has(phoneOption()) && o.phone.isEmpty())
        return CliText::tr("для --phone нужен номер");
    if (parsed.has(QStringLiteral("--bank")))
        o.bank = parsed.value(QStringLiteral("--bank"));
    if (parsed.has(QStringLiteral("--page"))) {
        uint page = 0;
        if (!readPage(parsed.value(QStringLiteral("--page")), page))
            return CliText::tr("недопустимое значение %1: %2").arg(QStringLiteral("--page"), shown(parsed.value(QStringLiteral("--page"))));
        o.page = QString::number(page, 16).toUpper();
    }
    if (o.linear && o.files.size() > 1)
        return CliText::tr("для --linear нужен один FILE");
    if (o.page.isEmpty())
        o.page = FirmwareDataCall::pageAddresses(o.linear).at(FirmwareDataCall::defaultPageIndex(o.linear));
    return QString();
}

} // namespace

namespace {

QString outcomeText(UploadRollOut::Outcome outcome)
{
    switch (outcome) {
    case UploadRollOut::Outcome::Ok:
        return QStringLiteral("ok");
    case UploadRollOut::Outcome::AlreadyLoaded:
        return QStringLiteral("уже загружено");
    case UploadRollOut::Outcome::Failed:
    case UploadRollOut::Outcome::Pending:
        break;
    }
    return QStringLiteral("failed");
}

// The same files into several terminals: one data call per modem of the pool at a time, each
// terminal from its own resume point with --resume; a summary table at the end.
int rollOut(const UploadOptions &o, const QStringList &ports, const QList<TerminalTarget> &targets)
{
    ConsolePrompts prompts;
    const AppState home;
    Database database;
    QString databaseError;
    // A load never runs without its resume points: a success unrecorded would leave a stale one.
    if (!HistoryBook::open(home, database, databaseError))
        return failWith(QStringLiteral("Ошибка открытия базы ") + databaseError + kNoResumePoints);
    FirmwareDataCall::Request request;
    for (int i = 0; i < o.files.size(); ++i)
        request.files[i] = o.files[i];
    request.linear = o.linear;
    request.start = {o.resume, o.page, o.bank};
    request.database = database.isOpen() ? &database : nullptr;

    // Before the roll-out: its loads run to their end while the lines are still there.
    std::vector<std::unique_ptr<LinkSession>> sessions;
    UploadRollOut run(request, targets, prompts);
    // What needs no line is said before any port is taken, and then no port is taken at all.
    const bool needLines = run.settle();
    for (int i = 0; i < targets.size(); ++i) {
        const UploadRollOut::Result &result = run.results().at(i);
        if (result.outcome == UploadRollOut::Outcome::AlreadyLoaded)
            printLine(stderr, targets[i].name + QStringLiteral(": ") + outcomeText(result.outcome));
        else if (result.outcome == UploadRollOut::Outcome::Failed)
            printMessage(shown(targets[i].name) + QStringLiteral(": ") + result.detail);
    }
    QList<UploadRollOut::Line> lines;
    for (const QString &port : needLines ? ports : QStringList()) {
        SerialSettings s = o.serial;
        s.port = port;
        std::unique_ptr<LinkSession> session = openSession(s);
        if (!session)
            continue;
        lines.append({&session->line, port});
        sessions.push_back(std::move(session));
    }
    if (lines.isEmpty() && needLines)
        return 1;
    QObject::connect(&run, &UploadRollOut::progress, [&targets](int terminal, const QString &text) {
        printLine(stderr, targets[terminal].name + QStringLiteral(": ") + text);
    });
    // Ctrl-C: the first breaks off as "Прервать передачу" does, a second one drops the lines.
    Interrupts interrupts([&run] { run.interrupt(); }, [&sessions] {
        QList<LinkSession *> all;
        for (const auto &session : sessions)
            all << session.get();
        dropLinesNow(all);
    });
    QEventLoop loop;
    QObject::connect(&run, &UploadRollOut::finished, &loop, &QEventLoop::quit);
    run.start(lines);
    loop.exec();
    printLine(stdout, QStringLiteral("terminal | number | result"));
    for (int i = 0; i < targets.size(); ++i) {
        printLine(stdout, targets[i].name + QStringLiteral(" | ") + targets[i].phone + QStringLiteral(" | ")
                              + outcomeText(run.results().at(i).outcome));
    }
    return run.allDone() && !interrupts.interrupted() ? 0 : 1;
}

} // namespace

int runUpload(const CliOptions &parsed, CliContext &c)
{
    UploadOptions o;
    const QString problem = readUploadOptions(parsed, o);
    if (!problem.isEmpty())
        return c.badUsage(problem);
    // The terminals: every --phone and --terminal given, or the whole book.
    QList<TerminalTarget> chosen;
    QString why;
    switch (resolveEach(parsed, chosen, why)) {
    case TargetsResult::Ok:
        break;
    case TargetsResult::BadUsage:
        return c.badUsage(why);
    case TargetsResult::NotFound:
        return failWith(why);
    }
    const QStringList ports = parsed.all(QStringLiteral("--port"));
    if (chosen.size() > 1 || ports.size() > 1)
        return rollOut(o, ports, chosen);
    o.phone = chosen.first().phone;

    FirmwareDataCall::Request request;
    for (int i = 0; i < o.files.size(); ++i)
        request.files[i] = o.files[i];
    request.linear = o.linear;
    request.number = o.phone;
    request.start = {o.resume, o.page, o.bank};

    // Default.ini is read whole and written back whole, so the window's other values survive.
    AppState state;
    ConsolePrompts prompts;
    // The resume points live in the address book's database, shared with the window.
    Database database;
    QString databaseError;
    if (!HistoryBook::open(state, database, databaseError))
        return failWith(QStringLiteral("Ошибка открытия базы ") + databaseError + kNoResumePoints);
    state.database = &database;
    request.database = &database;
    StartUp startUp(state, prompts, database);
    startUp.LoadDefaults();

    // What would write something other than the files asked for is refused before the port is taken.
    const QString refused = FirmwareDataCall::refusal(request, state.database);
    if (!refused.isEmpty())
        return failWith(refused);

    const std::unique_ptr<LinkSession> session = openSession(o.serial);
    if (!session)
        return 1;
    LinkExchange &link = session->link;
    FirmwareDataCall call(session->line, prompts);
    QObject::connect(&link.display(), &LinkDisplay::infoLine,
                     [](const QString &text) { printLine(stderr, mdlStrings::TrimCrLf(text)); });
    QObject::connect(&call, &FirmwareDataCall::progressChanged,
                     [](const QString &caption) { printLine(stderr, caption); });
    // The first failure is told once and ends the run with 1; the earlier Default.ini stays as it was.
    bool defaultsKept = true;
    QObject::connect(&call, &FirmwareDataCall::lastPositionStored, [&call, &state, &startUp, &defaultsKept] {
        state.lastBank = call.lastPosition().bank;
        state.lastPageAddress = call.lastPosition().address;
        if (defaultsKept)
            defaultsKept = startUp.WriteDefaultIni();
    });
    InterruptHandler interrupt({{session.get(), &call}});

    const bool accepted = runOperation<bool>(*session, ModemLine::Operation::FirmwareLoad,
                                             [&call, request] { return call.load(request); });
    return accepted && defaultsKept && !interrupt.interrupted() ? 0 : 1;
}

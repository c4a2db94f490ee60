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
#include "core/app/ResumePoints.h"
#include "core/app/StartUp.h"
#include "core/app/UserPrompts.h"
#include "core/common/FileIo.h"
#include "core/common/HexText.h"
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

// A terminal's line in the roll-out's summary; one never run is failed.
enum class Outcome { Ok, Failed, AlreadyLoaded };

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Ok:
        return QStringLiteral("ok");
    case Outcome::AlreadyLoaded:
        return QStringLiteral("уже загружено");
    case Outcome::Failed:
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
    const auto requestFor = [&o, &database](const QString &number) {
        FirmwareDataCall::Request request;
        for (int i = 0; i < o.files.size(); ++i)
            request.files[i] = o.files[i];
        request.linear = o.linear;
        request.number = number;
        request.start = {o.resume, o.page, o.bank};
        request.database = database.isOpen() ? &database : nullptr;
        return request;
    };
    QList<Outcome> results(targets.size(), Outcome::Failed);
    QList<int> waiting;
    for (int i = 0; i < targets.size(); ++i) {
        // Resumed: a terminal whose last load completed with these files has no point left, and
        // is not dialled again.
        const FirmwareDataCall::Request request = requestFor(targets[i].phone);
        const QStringList files(request.files, request.files + (o.linear ? 1 : 3));
        const ResumePoints::Point current{request.number.trimmed(),
                                          o.linear ? ResumePoints::Mode::Linear : ResumePoints::Mode::Banked,
                                          ResumePoints::fingerprint(files), 0, 0};
        if (o.resume && database.isOpen() && ResumePoints(database).finished(current)) {
            printLine(stderr, targets[i].name + QStringLiteral(": ") + outcomeText(Outcome::AlreadyLoaded));
            results[i] = Outcome::AlreadyLoaded;
            continue;
        }
        // Refused before any port is taken: a terminal whose resume point does not fit.
        const QString refused = FirmwareDataCall::refusal(requestFor(targets[i].phone), database.isOpen() ? &database : nullptr);
        if (refused.isEmpty()) {
            waiting << i;
        } else {
            printMessage(shown(targets[i].name) + QStringLiteral(": ") + refused);
            results[i] = Outcome::Failed;
        }
    }
    struct Line
    {
        std::unique_ptr<LinkSession> session;
        std::unique_ptr<FirmwareDataCall> call;
        int current = -1;
    };
    std::vector<std::unique_ptr<Line>> lines;
    QList<InterruptHandler::Line> interruptible;
    // No port is taken when every terminal is settled already.
    for (const QString &port : waiting.isEmpty() ? QStringList() : ports) {
        SerialSettings s = o.serial;
        s.port = port;
        auto line = std::make_unique<Line>();
        line->session = openSession(s);
        if (!line->session)
            continue;
        line->call = std::make_unique<FirmwareDataCall>(line->session->line, prompts);
        Line *l = line.get();
        QObject::connect(&l->session->link.display(), &LinkDisplay::infoLine, [l, &targets](const QString &text) {
            if (l->current >= 0)
                printLine(stderr, targets[l->current].name + QStringLiteral(": ") + mdlStrings::TrimCrLf(text));
        });
        QObject::connect(l->call.get(), &FirmwareDataCall::progressChanged, [l, &targets](const QString &caption) {
            if (l->current >= 0)
                printLine(stderr, targets[l->current].name + QStringLiteral(": ") + caption);
        });
        interruptible.append({l->session.get(), l->call.get()});
        lines.push_back(std::move(line));
    }
    if (lines.empty() && !waiting.isEmpty())
        return 1;
    InterruptHandler interrupt(interruptible);
    QEventLoop loop;
    int running = 0;
    const std::function<void(Line *)> next = [&](Line *l) {
        l->current = -1;
        if (waiting.isEmpty() || interrupt.interrupted() || !l->session->port.isOpen())
            return;
        l->current = waiting.takeFirst();
        ++running;
        l->call->cmdLoad_Click(requestFor(targets[l->current].phone));
    };
    for (const auto &line : lines) {
        Line *l = line.get();
        QObject::connect(l->call.get(), &FirmwareDataCall::loadFinished, &loop, [&, l](bool accepted) {
            results[l->current] = accepted ? Outcome::Ok : Outcome::Failed;
            --running;
            next(l);
            if (running == 0)
                loop.quit();
        });
        // A line shut down by the second Ctrl-C ends its load without a word.
        QObject::connect(&l->session->line, &ModemLine::finished, &loop, [&, l] {
            if (!l->session->port.isOpen() && l->current >= 0) {
                results[l->current] = Outcome::Failed;
                l->current = -1;
                if (--running == 0)
                    loop.quit();
            }
        });
    }
    for (const auto &line : lines)
        next(line.get());
    if (running > 0)
        loop.exec();
    printLine(stdout, QStringLiteral("terminal | number | result"));
    bool all = !interrupt.interrupted();
    for (int i = 0; i < targets.size(); ++i) {
        all = all && results[i] != Outcome::Failed;
        printLine(stdout, targets[i].name + QStringLiteral(" | ") + targets[i].phone + QStringLiteral(" | ")
                              + outcomeText(results[i]));
    }
    return all ? 0 : 1;
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

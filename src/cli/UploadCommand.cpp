#include "cli/UploadCommand.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"
#include "cli/LinkSession.h"
#include "cli/TerminalTargets.h"

#include "core/app/Database.h"
#include "core/app/StartUp.h"
#include "core/app/UserPrompts.h"
#include "core/common/FileIo.h"
#include "core/link/LinkExchange.h"
#include "core/link/mdlStrings.h"
#include "core/loader/FirmwareDataCall.h"

#include <QSocketNotifier>

#include <csignal>
#include <iterator>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {


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
    void openDocument(const QString &) override {}
};

#ifdef Q_OS_UNIX
int g_interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_interruptPipe[1], &c, 1);
}
#endif

// Ctrl-C during the load: the first breaks off as "Прервать передачу" does and lets the
// load finish its own escape and hang-up; a second one drops DTR and closes the port at once.
class InterruptHandler
{
public:
    InterruptHandler(LinkSession &session, FirmwareDataCall &call) : m_session(session), m_call(call)
    {
#ifdef Q_OS_UNIX
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_interruptPipe) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onSignal(); });
        // A terminal's hang-up and a service manager's stop break off as Ctrl-C does.
        for (size_t i = 0; i < std::size(kSignals); ++i)
            m_previous[i] = std::signal(kSignals[i], onInterrupt);
#endif
    }
    ~InterruptHandler()
    {
#ifdef Q_OS_UNIX
        if (!m_notifier)
            return;
        for (size_t i = 0; i < std::size(kSignals); ++i)
            std::signal(kSignals[i], m_previous[i]);
        m_notifier.reset();
        ::close(g_interruptPipe[0]);
        ::close(g_interruptPipe[1]);
#endif
    }
    bool interrupted() const { return m_interrupted; }

private:
    void onSignal()
    {
#ifdef Q_OS_UNIX
        char c = 0;
        [[maybe_unused]] const ssize_t n = ::read(g_interruptPipe[0], &c, 1);
#endif
        if (m_interrupted) {
            // The second one does not wait for the escape and hang-up: the line is dropped.
            printMessage(CliText::tr("второе прерывание: DTR снят, порт закрыт"));
            m_session.port.setDataTerminalReady(false);
            m_session.line.shutdown();
            m_session.port.close();
            return;
        }
        m_interrupted = true;
        if (!m_call.isRunning())
            return;
        m_call.cmdEscapeTransmit_Click();
    }

    LinkSession &m_session;
    FirmwareDataCall &m_call;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
#ifdef Q_OS_UNIX
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    void (*m_previous[std::size(kSignals)])(int) = {};
#endif
};

bool isHex(const QString &text, uint &value)
{
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok && !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) && value <= 0xFFFF;
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
    if (int(parsed.has(phoneOption())) + int(parsed.has(terminalOption())) != 1)
        return CliText::tr("нужен один из --phone NUMBER, --terminal NAME");
    o.phone = parsed.value(phoneOption()).trimmed();
    o.terminal = parsed.value(terminalOption());
    if (parsed.has(phoneOption()) && o.phone.isEmpty())
        return CliText::tr("для --phone нужен номер");
    if (parsed.has(QStringLiteral("--bank"))) {
        bool ok = false;
        const uint bank = parsed.value(QStringLiteral("--bank")).toUInt(&ok);
        if (!ok || bank > 3)
            return CliText::tr("недопустимое значение %1: %2").arg(QStringLiteral("--bank"), parsed.value(QStringLiteral("--bank")));
        o.bank = QString::number(bank);
    }
    if (parsed.has(QStringLiteral("--page"))) {
        uint page = 0;
        if (!isHex(parsed.value(QStringLiteral("--page")), page))
            return CliText::tr("недопустимое значение %1: %2").arg(QStringLiteral("--page"), parsed.value(QStringLiteral("--page")));
        o.page = QString::number(page, 16).toUpper();
    }
    if (o.linear && o.files.size() > 1)
        return CliText::tr("для --linear нужен один FILE");
    if (o.page.isEmpty())
        o.page = FirmwareDataCall::pageAddresses(o.linear).at(FirmwareDataCall::defaultPageIndex(o.linear));
    return QString();
}

} // namespace

int runUpload(const CliOptions &parsed, CliContext &c)
{
    UploadOptions o;
    const QString problem = readUploadOptions(parsed, o);
    if (!problem.isEmpty())
        return c.badUsage(problem);
    if (!o.terminal.isEmpty()) {
        CliOptions byName;
        byName.values.insert(terminalOption(), o.terminal);
        QList<TerminalTarget> targets;
        QString why;
        switch (resolveTargets(byName, false, targets, why)) {
        case TargetsResult::Ok:
            break;
        case TargetsResult::BadUsage:
            printMessage(why);
            return 2;
        case TargetsResult::NotFound:
            return failWith(why);
        }
        o.phone = targets.first().phone;
    }

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
    if (database.open(state.appPath(QStringLiteral("Data.db")), databaseError))
        state.database = &database;
    else
        printMessage(QStringLiteral("Ошибка открытия базы ") + databaseError);
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
    FirmwareDataCall call(session->line, state, prompts);
    QObject::connect(&link.display(), &LinkDisplay::infoLine,
                     [](const QString &text) { printLine(stderr, mdlStrings::TrimCrLf(text)); });
    QObject::connect(&call, &FirmwareDataCall::progressChanged,
                     [](const QString &caption) { printLine(stderr, caption); });
    // The first failure is told once and ends the run with 1; the earlier Default.ini stays as it was.
    bool defaultsKept = true;
    QObject::connect(&call, &FirmwareDataCall::lastPositionStored, [&startUp, &defaultsKept] {
        if (defaultsKept)
            defaultsKept = startUp.WriteDefaultIni();
    });
    InterruptHandler interrupt(*session, call);

    const bool accepted = runOperation<bool>(*session, ModemLine::Operation::FirmwareLoad,
                                             [&call, request] { return call.load(request); });
    return accepted && defaultsKept && !interrupt.interrupted() ? 0 : 1;
}

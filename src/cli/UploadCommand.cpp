#include "cli/UploadCommand.h"

#include "cli/LinkSession.h"

#include "core/app/Database.h"
#include "core/app/StartUp.h"
#include "core/app/UserPrompts.h"
#include "core/link/LinkExchange.h"
#include "core/link/LinkTune.h"
#include "core/link/mdlStrings.h"
#include "core/loader/FirmwareDataCall.h"

#include <QSerialPort>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {


int usage(const QString &problem)
{
    printLine(stderr, QStringLiteral("kvrsetup-cli: ") + problem);
    printLine(stderr, QStringLiteral("usage: kvrsetup-cli upload --port DEVICE [--baud N --parity n|e|o --data 7|8 "
                                   "--stop 1|2]\n"
                                   "         --phone NUMBER [--linear] [--bank 0..3] [--page HEX] [--resume] "
                                   "FILE [FILE2 [FILE3]]"));
    return 2;
}

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
// load finish its own escape and hang-up; a second one ends every wait at once.
class InterruptHandler
{
public:
    InterruptHandler(LinkExchange &link, FirmwareDataCall &call) : m_link(link), m_call(call)
    {
#ifdef Q_OS_UNIX
        if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_interruptPipe) != 0)
            return;
        m_notifier = std::make_unique<QSocketNotifier>(g_interruptPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onSignal(); });
        m_previous = std::signal(SIGINT, onInterrupt);
#endif
    }
    ~InterruptHandler()
    {
#ifdef Q_OS_UNIX
        if (!m_notifier)
            return;
        std::signal(SIGINT, m_previous);
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
        if (m_breaking) {
            m_link.shutdown();
            return;
        }
        m_interrupted = true;
        if (!m_call.isRunning())
            return;
        m_breaking = true;
        m_call.cmdEscapeTransmit_Click();
        m_breaking = false;
    }

    LinkExchange &m_link;
    FirmwareDataCall &m_call;
    std::unique_ptr<QSocketNotifier> m_notifier;
    bool m_interrupted = false;
    bool m_breaking = false;
#ifdef Q_OS_UNIX
    void (*m_previous)(int) = SIG_DFL;
#endif
};

bool isHex(const QString &text, uint &value)
{
    bool ok = false;
    value = text.toUInt(&ok, 16);
    return ok && !text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) && value <= 0xFFFF;
}

} // namespace

namespace {

// One valued option; false when its value does not fit.
bool applyOption(const QString &a, const QString &v, UploadOptions &o)
{
    bool ok = true;
    uint n = 0;
    if (a == QLatin1String("--port")) {
        o.serial.port = v;
        ok = !v.isEmpty();
    } else if (a == QLatin1String("--baud")) {
        o.serial.baudRate = v.toInt(&ok);
        ok = ok && o.serial.baudRate > 0;
    } else if (a == QLatin1String("--parity")) {
        ok = v.size() == 1 && QStringLiteral("neo").contains(v.toLower());
        if (ok)
            o.serial.parity = v.toLower().at(0);
    } else if (a == QLatin1String("--data")) {
        o.serial.dataBits = v.toInt(&ok);
        ok = ok && (o.serial.dataBits == 7 || o.serial.dataBits == 8);
    } else if (a == QLatin1String("--stop")) {
        o.serial.stopBits = v.toInt(&ok);
        ok = ok && (o.serial.stopBits == 1 || o.serial.stopBits == 2);
    } else if (a == QLatin1String("--phone")) {
        o.phone = v;
        ok = !v.trimmed().isEmpty();
    } else if (a == QLatin1String("--bank")) {
        n = v.toUInt(&ok);
        ok = ok && n <= 3;
        o.bank = QString::number(n);
    } else if (a == QLatin1String("--page")) {
        ok = isHex(v, n);
        o.page = QString::number(n, 16).toUpper();
    }
    return ok;
}

} // namespace

QString parseUploadOptions(const QStringList &args, UploadOptions &o)
{
    static const QStringList valued = {QStringLiteral("--port"),  QStringLiteral("--baud"), QStringLiteral("--parity"),
                                       QStringLiteral("--data"),  QStringLiteral("--stop"), QStringLiteral("--phone"),
                                       QStringLiteral("--bank"),  QStringLiteral("--page")};
    bool havePort = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == QLatin1String("--linear")) {
            o.linear = true;
        } else if (a == QLatin1String("--resume")) {
            o.resume = true;
        } else if (valued.contains(a)) {
            if (i + 1 >= args.size())
                return a + QStringLiteral(" needs a value");
            const QString v = args[++i];
            if (!applyOption(a, v, o))
                return QStringLiteral("bad value for ") + a + QStringLiteral(": ") + v;
            havePort = havePort || a == QLatin1String("--port");
        } else if (a.startsWith(QLatin1String("--"))) {
            return QStringLiteral("unknown option ") + a;
        } else {
            o.files << a;
        }
    }
    if (!havePort)
        return QStringLiteral("--port DEVICE is required");
    if (o.phone.isEmpty())
        return QStringLiteral("--phone NUMBER is required");
    if (o.files.isEmpty() || o.files.size() > 3)
        return QStringLiteral("upload takes one to three image FILEs");
    if (o.linear && o.files.size() > 1)
        return QStringLiteral("--linear takes one FILE");
    if (o.page.isEmpty())
        o.page = FirmwareDataCall::pageAddresses(o.linear).at(FirmwareDataCall::defaultPageIndex(o.linear));
    return QString();
}

int runUploadCommand(const QStringList &args)
{
    UploadOptions o;
    const QString problem = parseUploadOptions(args, o);
    if (!problem.isEmpty())
        return usage(problem);

    // Default.ini is read whole and written back whole, so the window's other values survive.
    AppState state;
    ConsolePrompts prompts;
    Database noAddressBook;
    StartUp startUp(state, prompts, noAddressBook);
    startUp.LoadDefaults();

    QSerialPort port;
    QString why;
    if (!LinkTune(port, o.serial, nullptr, nullptr, &why)) {
        printLine(stderr, QStringLiteral("kvrsetup-cli: cannot open the port ") + LinkTuning::infoText(o.serial)
                            + QStringLiteral(": ") + why);
        return 1;
    }
    LinkExchange link;
    link.setDevice(&port);
    applyTimeScaleFromEnvironment(link);
    FirmwareDataCall call(link, state, prompts);
    QObject::connect(&link, &LinkExchange::infoLine,
                     [](const QString &text) { printLine(stdout, mdlStrings::TrimCrLf(text)); });
    QObject::connect(&call, &FirmwareDataCall::progressChanged,
                     [](const QString &caption) { printLine(stderr, caption); });
    QObject::connect(&call, &FirmwareDataCall::lastPositionStored, [&startUp] { startUp.WriteDefaultIni(); });
    InterruptHandler interrupt(link, call);

    FirmwareDataCall::Request request;
    for (int i = 0; i < o.files.size(); ++i)
        request.files[i] = o.files[i];
    request.linear = o.linear;
    request.number = o.phone;
    request.start = {o.resume, o.page, o.bank};
    const bool accepted = call.cmdLoad_Click(request);
    return accepted && !interrupt.interrupted() ? 0 : 1;
}

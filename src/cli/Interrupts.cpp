#include "cli/Interrupts.h"

#include <csignal>
#include <iterator>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
int g_pipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kSignals)];

void onInterrupt(int signal)
{
    // Only async-signal-safe work here: the signal's number goes down the pipe.
    const char c = char(signal);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &c, 1);
}
#endif

} // namespace

Interrupts::Interrupts(std::function<void()> first, std::function<void()> second)
    : m_first(std::move(first)), m_second(std::move(second))
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onSignal(); });
    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
#endif
}

Interrupts::~Interrupts()
{
#ifdef Q_OS_UNIX
    if (!m_notifier)
        return;
    for (size_t i = 0; i < std::size(kSignals); ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
#endif
}

void Interrupts::onSignal()
{
    char c = 0;
#ifdef Q_OS_UNIX
    if (::read(g_pipe[0], &c, 1) != 1)
        return;
#endif
    if (m_exitCode == 0)
        m_exitCode = c == SIGINT ? 130 : 143;
    if (++m_count == 1) {
        if (m_first)
            m_first();
    } else if (m_count == 2 && m_second) {
        m_second();
    }
}

void ignoreBrokenPipe()
{
#ifdef Q_OS_UNIX
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

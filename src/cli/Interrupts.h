#pragma once

#include <QSocketNotifier>

#include <functional>
#include <memory>

// Ctrl-C, a terminal's hang-up and a service manager's stop, turned into calls from the event
// loop: the first asks the run to end well (what is under way finishes, nothing more starts),
// a second one to stop at once. While it stands the default handlers, which would kill the tool
// in the middle of a packet pair or a data call, are set aside.
class Interrupts
{
public:
    Interrupts(std::function<void()> first, std::function<void()> second);
    ~Interrupts();
    Interrupts(const Interrupts &) = delete;
    Interrupts &operator=(const Interrupts &) = delete;

    bool interrupted() const { return m_count > 0; }
    // 130 after SIGINT, 143 after SIGTERM or SIGHUP, 0 when none came.
    int exitCode() const { return m_exitCode; }

private:
    void onSignal();

    std::function<void()> m_first;
    std::function<void()> m_second;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_count = 0;
    int m_exitCode = 0;
};

// A write to a closed pipe must fail as an error the tool reports, not kill it mid-run.
void ignoreBrokenPipe();

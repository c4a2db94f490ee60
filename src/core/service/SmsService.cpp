#include "core/service/SmsService.h"

#include "core/app/AppState.h"
#include "core/app/OperationHistory.h"
#include "core/common/PhoneNumber.h"

#include <algorithm>

SmsService::SmsService(AppState &state, QObject *parent) : QObject(parent), m_state(state), m_routes(state, this) {}

SmsService::~SmsService()
{
    for (const QMetaObject::Connection &c : std::as_const(m_pollConnections))
        disconnect(c);
    // The run goes before the routes it uses.
    m_run.reset();
}

bool SmsService::open(const QString &gatewayConfig, const QList<SmsRoutes::Line> &lines, QString &error, Clock *clock)
{
    return m_routes.open(gatewayConfig, lines, error, clock);
}

FleetRun *SmsService::start(FleetRun::Request request, const QList<FleetRun::Target> &targets)
{
    const QList<FleetRun::Line> lines = m_routes.jobLines();
    if (lines.isEmpty())
        return nullptr;
    request.history = m_state.database;
    request.tasks = m_routes.tasks();
    m_run.reset();
    m_run = std::make_unique<FleetRun>(lines, request);
    m_run->start(targets);
    return m_run.get();
}

void SmsService::poll()
{
    const QList<FleetRun::Line> lines = m_routes.jobLines();
    for (const QMetaObject::Connection &c : std::as_const(m_pollConnections))
        disconnect(c);
    m_pollConnections.clear();
    m_poll = {};
    m_pollsLeft = 0;
    for (const FleetRun::Line &line : lines) {
        ++m_pollsLeft;
        m_pollConnections << connect(line.route, &SmsRoute::pollFinished, this, [this](const SmsRoute::PollResult &r) {
            // Together: it ran and listed only where every line did; what one found counts.
            m_poll.ran = m_pollsLeft == int(m_pollConnections.size()) ? r.ran : m_poll.ran && r.ran;
            m_poll.listed = m_pollsLeft == int(m_pollConnections.size()) ? r.listed : m_poll.listed && r.listed;
            m_poll.listedAt = r.listedAt;
            m_poll.writeFailed = m_poll.writeFailed || r.writeFailed;
            m_poll.markFailed = m_poll.markFailed || r.markFailed;
            m_poll.messages += r.messages;
            m_poll.saved += r.saved;
            m_poll.confirmations += r.confirmations;
            if (--m_pollsLeft == 0) {
                for (const QMetaObject::Connection &c : std::as_const(m_pollConnections))
                    disconnect(c);
                m_pollConnections.clear();
                emit polled(m_poll);
            }
        });
        line.route->submitPoll();
    }
    if (lines.isEmpty())
        QMetaObject::invokeMethod(this, [this] { emit polled(m_poll); }, Qt::QueuedConnection);
}

void SmsService::interrupt()
{
    if (m_run && !m_run->isFinished()) {
        m_run->interrupt();
        return;
    }
    for (const FleetRun::Line &line : m_routes.jobLines())
        line.route->breakSends();
}

bool SmsService::keepRetryable(FleetRun::Job job, QList<FleetRun::Target> &targets, QString &error) const
{
    Database *history = m_state.database;
    if (!history && !m_routes.tasks()) {
        error = QStringLiteral("история операций недоступна: Data.db не открылась");
        return false;
    }
    const OperationHistory::Operation operation = FleetRun::historyOperation(job);
    QStringList retry;
    // The tasks know what was confirmed late; the history covers runs that kept no tasks.
    if (TaskBook *tasks = m_routes.tasks()) {
        const std::optional<QStringList> numbers = tasks->retryable(operation, error);
        if (!numbers)
            return false;
        retry = *numbers;
    }
    if (history) {
        QStringList failed;
        if (!OperationHistory(*history).lastFailed(operation, failed, error))
            return false;
        // The numbers the tasks know for this operation: their word is the tasks'.
        QList<TaskBook::Entry> known;
        if (TaskBook *tasks = m_routes.tasks()) {
            const std::optional<QList<TaskBook::Entry>> all = tasks->list({}, error);
            if (!all)
                return false;
            known = *all;
        }
        for (const QString &number : std::as_const(failed)) {
            const bool hasTask = std::any_of(known.cbegin(), known.cend(), [&](const TaskBook::Entry &e) {
                return e.operation == operation && PhoneNumber::sameSubscriber(e.number, PhoneNumber::normalized(number));
            });
            if (!hasTask)
                retry << number;
        }
    }
    targets.removeIf([&retry](const FleetRun::Target &t) {
        for (const QString &number : std::as_const(retry)) {
            if (PhoneNumber::sameSubscriber(number, t.phone))
                return false;
        }
        return true;
    });
    return true;
}

#include "core/service/SmsRoutes.h"

#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/common/Clock.h"
#include "core/gateway/GatewayTransfer.h"
#include "core/route/ProfileTransfer.h"

SmsRoutes::SmsRoutes(AppState &state, QObject *owner) : m_state(state), m_owner(owner) {}

SmsRoutes::~SmsRoutes()
{
    // The routes may outlive us (children of the owner): they keep no pointer to our tasks.
    for (const FleetRun::Line &line : jobLines())
        line.route->setTaskBook(nullptr);
    for (const QPointer<ProfileTransfer> &modem : std::as_const(m_modems)) {
        if (modem)
            modem->setTaskBook(nullptr);
    }
}

void SmsRoutes::openTasks(const QString &connection, const Clock &clock)
{
    auto tasks = std::make_unique<TaskBook>(connection, clock);
    QString error;
    if (!tasks->ensureSchema(error)) {
        m_tasksProblem = QStringLiteral("задания не ведутся: ") + error;
        return;
    }
    m_tasks = std::move(tasks);
    for (const FleetRun::Line &line : jobLines())
        line.route->setTaskBook(m_tasks.get());
}

void SmsRoutes::completeHalfSent()
{
    if (SmsRoute *first = route(); first && m_tasks)
        first->completeHalfSent();
}

bool SmsRoutes::open(const QString &gatewayConfig, const QList<Line> &lines, QString &error, Clock *clock)
{
    for (const Line &l : lines) {
        m_modems << new ProfileTransfer(*l.line, m_state, m_owner);
        m_ports << l.port;
    }
    m_gatewayConfig = gatewayConfig;
    if (gatewayConfig.isEmpty()) {
        if (lines.isEmpty()) {
            error = QStringLiteral("не задан ни модем, ни шлюз");
            return false;
        }
        if (m_state.database && m_state.database->isOpen()) {
            m_taskClock = std::make_unique<SystemClock>();
            openTasks(m_state.database->connectionName(), *m_taskClock);
        } else {
            m_tasksProblem = QStringLiteral("задания не ведутся: Data.db не открыта");
        }
        return true;
    }
    m_gateway = new GatewayTransfer(gatewayConfig, m_state, m_owner);
    if (clock)
        m_gateway->setClock(clock);
    m_gatewayOpen = m_gateway->open(error);
    if (m_gatewayOpen)
        openTasks(m_gateway->databaseConnection(), m_gateway->routeClock());
    return m_gatewayOpen;
}

QList<FleetRun::Line> SmsRoutes::jobLines() const
{
    QList<FleetRun::Line> lines;
    if (viaGateway()) {
        if (m_gateway && m_gatewayOpen)
            lines.append({m_gateway.data(), m_gatewayConfig});
        return lines;
    }
    for (int i = 0; i < m_modems.size(); ++i) {
        if (m_modems[i])
            lines.append({m_modems[i].data(), m_ports[i]});
    }
    return lines;
}

SmsRoute *SmsRoutes::route() const
{
    const QList<FleetRun::Line> lines = jobLines();
    return lines.isEmpty() ? nullptr : lines.first().route;
}

ProfileTransfer *SmsRoutes::modem(int index) const
{
    return index < m_modems.size() ? m_modems[index].data() : nullptr;
}

#include "core/service/SmsRoutes.h"

#include "core/gateway/GatewayTransfer.h"
#include "core/route/ProfileTransfer.h"

SmsRoutes::SmsRoutes(AppState &state, QObject *owner) : m_state(state), m_owner(owner) {}

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
        return true;
    }
    m_gateway = new GatewayTransfer(gatewayConfig, m_state, m_owner);
    if (clock)
        m_gateway->setClock(clock);
    m_gatewayOpen = m_gateway->open(error);
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

#pragma once

#include "core/fleet/FleetRun.h"
#include "core/gateway/GatewayTransfer.h"
#include "core/route/ProfileTransfer.h"
#include "core/tasks/TaskBook.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class AppState;
class Clock;
class ModemLine;
class QObject;
class SmsRoute;

// The one place where the way of the profile SMS is chosen: a gammu-smsd gateway when its
// configuration file is named, otherwise the modem lines, each with its profile transfer. A
// profile transfer is made for every line given even with a gateway, for what only a modem does
// (the window's scenarios); the SMS jobs then go through the gateway, never through the modem
// behind the operator's back.
class SmsRoutes
{
public:
    struct Line
    {
        ModemLine *line = nullptr;
        QString port; // how reports name it
    };

    // The transfers are children of owner.
    SmsRoutes(AppState &state, QObject *owner);
    ~SmsRoutes();

    // gatewayConfig: the gammu-smsd configuration file, or empty for the modems. clock: the
    // gateway's time (nullptr: the system's). False with error when the gateway cannot be used
    // or no line is given; the modem transfers are made in any case.
    bool open(const QString &gatewayConfig, const QList<Line> &lines, QString &error, Clock *clock = nullptr);

    // Where the jobs go: the gateway alone, or every modem line.
    QList<FleetRun::Line> jobLines() const;
    // The first of them (nullptr when none).
    SmsRoute *route() const;
    bool viaGateway() const { return !m_gatewayConfig.isEmpty(); }
    GatewayTransfer *gateway() const { return m_gateway; }
    ProfileTransfer *modem(int index = 0) const;
    int modemCount() const { return int(m_modems.size()); }
    // The tasks of the jobs: in the gateway's database, which every workstation on it shares, or
    // in the book (Data.db) beside the modems; nullptr when they cannot be kept, and then
    // tasksProblem() says why.
    TaskBook *tasks() const { return m_tasks.get(); }
    // Completes the profiles this workstation left sent in part, before any job: called by the
    // front end once it shows what the routes say, before it gives them anything to do.
    void completeHalfSent();
    QString tasksProblem() const { return m_tasksProblem; }

private:
    AppState &m_state;
    QObject *m_owner;
    QString m_gatewayConfig;
    QPointer<GatewayTransfer> m_gateway;
    bool m_gatewayOpen = false;
    QList<QPointer<ProfileTransfer>> m_modems;
    QStringList m_ports;
    std::unique_ptr<Clock> m_taskClock;
    std::unique_ptr<TaskBook> m_tasks;
    QString m_tasksProblem;

    void openTasks(const QString &connection, const Clock &clock);
};

#pragma once

#include "core/fleet/FleetRun.h"
#include "core/service/SmsRoutes.h"

#include <QObject>

#include <memory>

class AppState;

// What the window and the command-line tool ask of terminals by SMS, asked one way: the route
// chosen once (SmsRoutes), a send, read or GPRS send for one terminal or a fleet run as a
// FleetRun on every line of the route, a poll of every line, and each terminal's outcome kept in
// the history of the state's book. The front ends only gather the input and show what comes.
class SmsService : public QObject
{
    Q_OBJECT
public:
    explicit SmsService(AppState &state, QObject *parent = nullptr);
    ~SmsService() override;

    // See SmsRoutes::open.
    bool open(const QString &gatewayConfig, const QList<SmsRoutes::Line> &lines, QString &error,
              Clock *clock = nullptr);
    SmsRoutes &routes() { return m_routes; }

    // Starts a job for the targets over every line (the history is the state's book). With
    // awaitAnswers off a send is done once it has gone; a read always waits for its profile.
    // The run lives until the next one or the service; nullptr when no line is open.
    FleetRun *start(FleetRun::Request request, const QList<FleetRun::Target> &targets);
    FleetRun *run() const { return m_run.get(); }

    // One poll of every line; polled tells what they found together once all have ended.
    void poll();
    // The operator's break: the run stops starting anything, pairs under way are completed.
    void interrupt();

    // The targets to retry for job, in their order: those whose task failed or expired and was
    // not confirmed since, and those the history says failed with no task to tell more; false with
    // error when neither can be read: no history is no "nothing to retry".
    bool keepRetryable(FleetRun::Job job, QList<FleetRun::Target> &targets, QString &error) const;

signals:
    void polled(const SmsRoute::PollResult &result);

private:
    AppState &m_state;
    SmsRoutes m_routes;
    std::unique_ptr<FleetRun> m_run;
    SmsRoute::PollResult m_poll;
    int m_pollsLeft = 0;
    QList<QMetaObject::Connection> m_pollConnections;
};

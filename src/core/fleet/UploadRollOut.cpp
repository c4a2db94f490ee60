#include "core/fleet/UploadRollOut.h"

#include "core/app/ResumePoints.h"
#include "core/link/mdlStrings.h"

#include <QIODevice>

#include <utility>

// A line of the pool with its own load: each call keeps its own last position and image.
struct UploadRollOut::Running
{
    ModemLine *line = nullptr;
    QString port;
    std::unique_ptr<FirmwareDataCall> call;
    int current = -1; // the terminal it loads, or none
};

UploadRollOut::UploadRollOut(const FirmwareDataCall::Request &request, const QList<Target> &targets,
                             UserPrompts &prompts, QObject *parent)
    : QObject(parent), m_request(request), m_targets(targets), m_results(targets.size()), m_prompts(prompts)
{
}

UploadRollOut::~UploadRollOut()
{
    // A load still under way is run to its end as its call goes: nothing of ours may hear it.
    for (const QMetaObject::Connection &c : std::as_const(m_connections))
        disconnect(c);
}

bool UploadRollOut::allDone() const
{
    if (m_interrupted)
        return false;
    for (const Result &r : m_results) {
        if (r.outcome != Outcome::Ok && r.outcome != Outcome::AlreadyLoaded)
            return false;
    }
    return true;
}

FirmwareDataCall::Request UploadRollOut::requestFor(int index) const
{
    FirmwareDataCall::Request request = m_request;
    request.number = m_targets[index].phone;
    return request;
}

bool UploadRollOut::settle()
{
    if (m_settled)
        return !m_waiting.isEmpty();
    m_settled = true;
    const int named = m_request.linear ? 1 : 3;
    const QStringList files(m_request.files, m_request.files + named);
    for (int i = 0; i < m_targets.size(); ++i) {
        const FirmwareDataCall::Request request = requestFor(i);
        // Resumed: a terminal whose last load completed with these files has no point left.
        const ResumePoints::Point current{request.number.trimmed(),
                                          request.linear ? ResumePoints::Mode::Linear : ResumePoints::Mode::Banked,
                                          ResumePoints::fingerprint(files), 0, 0};
        if (request.start.continueFromLast && request.database && ResumePoints(*request.database).finished(current)) {
            settleTerminal(i, Outcome::AlreadyLoaded);
            continue;
        }
        const QString refused = FirmwareDataCall::refusal(request, request.database);
        if (refused.isEmpty())
            m_waiting << i;
        else
            settleTerminal(i, Outcome::Failed, refused);
    }
    return !m_waiting.isEmpty();
}

void UploadRollOut::start(const QList<Line> &lines)
{
    if (m_started)
        return;
    settle();
    m_started = true;
    for (const Line &given : lines) {
        auto running = std::make_unique<Running>();
        Running *l = running.get();
        l->line = given.line;
        l->port = given.port;
        l->call = std::make_unique<FirmwareDataCall>(*given.line, m_prompts);
        m_connections << connect(&given.line->link().display(), &LinkDisplay::infoLine, this, [this, l](const QString &text) {
            if (l->current >= 0)
                emit progress(l->current, mdlStrings::TrimCrLf(text));
        });
        m_connections << connect(l->call.get(), &FirmwareDataCall::progressChanged, this,
                                 [this, l](const QString &caption) {
                                     if (l->current >= 0)
                                         emit progress(l->current, caption);
                                 });
        m_connections << connect(l->call.get(), &FirmwareDataCall::loadFinished, this,
                                 [this, l](bool accepted) { loadEnded(*l, accepted); });
        m_connections << connect(given.line, &ModemLine::finished, this, [this, l] { lineEnded(*l); });
        m_lines.push_back(std::move(running));
    }
    for (const auto &line : m_lines)
        handOut(*line);
    // Nothing to run (all settled, or no line): the end still comes from the event loop.
    if (m_running == 0)
        QMetaObject::invokeMethod(this, &UploadRollOut::finishIfIdle, Qt::QueuedConnection);
}

void UploadRollOut::interrupt()
{
    if (m_interrupted)
        return;
    m_interrupted = true;
    // A load still queued behind another operation is left to run, as the window's break leaves it.
    for (const auto &line : m_lines) {
        if (line->call->isRunning())
            line->call->cmdEscapeTransmit_Click();
    }
    if (m_started && m_running == 0)
        finishIfIdle();
}

bool UploadRollOut::portGone(ModemLine &line)
{
    const QIODevice *device = line.link().port().device();
    return !device || !device->isOpen();
}

void UploadRollOut::handOut(Running &line)
{
    line.current = -1;
    if (m_waiting.isEmpty() || m_interrupted || portGone(*line.line))
        return;
    line.current = m_waiting.takeFirst();
    m_results[line.current].port = line.port;
    ++m_running;
    line.call->cmdLoad_Click(requestFor(line.current));
}

void UploadRollOut::loadEnded(Running &line, bool accepted)
{
    if (line.current < 0)
        return;
    settleTerminal(line.current, accepted ? Outcome::Ok : Outcome::Failed,
           accepted ? QString() : QStringLiteral("загрузка не завершена"));
    --m_running;
    handOut(line);
    finishIfIdle();
}

void UploadRollOut::lineEnded(Running &line)
{
    // The port closed under a load that never ran: no loadFinished comes for it. One that ran
    // has said loadFinished already.
    if (line.current < 0 || !portGone(*line.line))
        return;
    settleTerminal(line.current, Outcome::Failed, QStringLiteral("порт закрыт"));
    line.current = -1;
    --m_running;
    finishIfIdle();
}

void UploadRollOut::settleTerminal(int index, Outcome outcome, const QString &detail)
{
    if (m_results[index].outcome != Outcome::Pending)
        return;
    m_results[index].outcome = outcome;
    m_results[index].detail = detail;
    emit terminalFinished(index);
}

void UploadRollOut::finishIfIdle()
{
    if (m_running > 0 || m_finished)
        return;
    m_finished = true;
    const QString why = m_interrupted ? QStringLiteral("прервано: загрузка не начата")
                                      : QStringLiteral("не загружено: в пуле не осталось модемов");
    const QList<int> left = std::exchange(m_waiting, {});
    for (int index : left)
        settleTerminal(index, Outcome::Failed, why);
    emit finished();
}

#pragma once

#include "core/common/TerminalTarget.h"

#include "core/app/UserPrompts.h"
#include "core/link/ModemLine.h"
#include "core/loader/FirmwareDataCall.h"

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

// The same firmware into several terminals over a pool of modem lines: one load per line at a
// time, each free line taking the next terminal waiting. With a resume, a terminal whose last
// load of these files finished is not dialled again; a terminal whose request would be refused
// never takes a line. The lines are opened by the caller and outlive the roll-out.
class UploadRollOut : public QObject
{
    Q_OBJECT
public:
    enum class Outcome { Pending, Ok, Failed, AlreadyLoaded };
    Q_ENUM(Outcome)

    struct Line
    {
        ModemLine *line = nullptr;
        QString port; // how the line is named in reports
    };
    using Target = TerminalTarget;
    struct Result
    {
        Outcome outcome = Outcome::Pending;
        QString port;   // the line it ran on, if any
        QString detail; // why it failed, when known
    };

    // request: files, mode, start and the book for every terminal; the number is each target's.
    UploadRollOut(const FirmwareDataCall::Request &request, const QList<Target> &targets, UserPrompts &prompts,
                  QObject *parent = nullptr);
    ~UploadRollOut() override;

    // Settles at once what needs no line, each told by terminalFinished before this returns: a
    // finished resume as AlreadyLoaded, a refused request as Failed with the refusal as detail.
    // True when some terminal is left for the lines, so the caller knows whether to open them.
    bool settle();
    // Runs the terminals left over the lines (settling first if that was not done). Every
    // outcome and finished come from the event loop, never inside start().
    void start(const QList<Line> &lines);
    // The operator's break: no terminal is handed out any more, the running loads break off and
    // hang up; the terminals not started end as Failed once those have ended.
    void interrupt();

    bool isInterrupted() const { return m_interrupted; }
    bool isFinished() const { return m_finished; }
    const QList<Target> &targets() const { return m_targets; }
    const QList<Result> &results() const { return m_results; }
    // Every terminal loaded now or before, and no break.
    bool allDone() const;

signals:
    void terminalFinished(int index);
    // What a load says while it runs: its log lines (without CR LF) and its progress captions.
    void progress(int terminal, const QString &text);
    // Once, after the last terminalFinished.
    void finished();

private:
    struct Running;
    FirmwareDataCall::Request requestFor(int index) const;
    void handOut(Running &line);
    void loadEnded(Running &line, bool accepted);
    void lineEnded(Running &line);
    void settleTerminal(int index, Outcome outcome, const QString &detail = QString());
    // When nothing runs any more: the terminals still waiting fail, and the run is over.
    void finishIfIdle();
    static bool portGone(ModemLine &line);

    FirmwareDataCall::Request m_request;
    QList<Target> m_targets;
    QList<Result> m_results;
    UserPrompts &m_prompts;
    QList<int> m_waiting;
    int m_running = 0;
    bool m_settled = false;
    bool m_started = false;
    bool m_interrupted = false;
    bool m_finished = false;
    QList<QMetaObject::Connection> m_connections;
    // Declared last: the loads go first, while the rest of the roll-out is still there.
    std::vector<std::unique_ptr<Running>> m_lines;
};

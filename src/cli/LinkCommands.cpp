#include "cli/LinkCommands.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/CliOutput.h"
#include "cli/LinkSession.h"

#include "core/app/SerialSettings.h"
#include "core/link/LinkExchange.h"
#include "core/link/LinkTune.h"
#include "core/link/ModemCheck.h"
#include "core/link/mdlStrings.h"

#include <QRegularExpression>

namespace {

int modemInfo(const SerialSettings &s)
{
    auto session = openSession(s);
    if (!session)
        return 1;
    // The check's progress on standard error; its result, the modem's type, on standard output.
    QObject::connect(&session->link.display(), &LinkDisplay::infoLine,
                     [](const QString &text) {
                         for (const QString &line : mdlStrings::TrimCrLf(text).split(QLatin1Char('\n')))
                             printLine(stderr, mdlStrings::TrimCrLf(line));
                     });
    // The modem counts as checked only when it also told its type.
    LinkExchange &link = session->link;
    const ModemCheckResult result = runOperation<ModemCheckResult>(
        *session, ModemLine::Operation::ModemCheck, [&link] { return runModemCheck(link); });
    // A several-line modem type is printed as lines.
    if (result.typeKnown) {
        for (const QString &line : result.type.split(QLatin1Char('\n')))
            printLine(stdout, mdlStrings::TrimCrLf(line));
    }
    return result.typeKnown ? 0 : 1;
}

// The information lines of an answer, without the modem's echo of the command.
QStringList answerLines(const QString &remain, const QString &command)
{
    QStringList lines;
    const QStringList parts = remain.split(QRegularExpression(QStringLiteral("[\r\n]+")), Qt::SkipEmptyParts);
    for (int i = 0; i < parts.size(); ++i) {
        if (i == 0 && parts[i].trimmed().compare(command.trimmed(), Qt::CaseInsensitive) == 0)
            continue;
        lines << parts[i];
    }
    return lines;
}

int atCommands(const SerialSettings &s, const QStringList &commands)
{
    auto session = openSession(s);
    if (!session)
        return 1;
    QString failure;
    QObject::connect(&session->link.display(), &LinkDisplay::infoLine,
                     [&failure](const QString &text) { failure = mdlStrings::TrimCrLf(text); });
    for (const QString &command : commands) {
        failure.clear();
        LinkExchange &link = session->link;
        const bool ok = runOperation<bool>(*session, ModemLine::Operation::Command,
                                           [&link, command] { return link.sendCommand(command, QStringLiteral("OK"), 2000); });
        if (session->link.replyState() == LinkExchange::ReplyState::Answered) {
            const LinkExchange::Answer &answer = session->link.lastAnswer();
            for (const QString &line : answerLines(answer.remain, command))
                printLine(stdout, line);
            printLine(stdout, answer.word);
        }
        if (!ok) {
            if (!failure.isEmpty())
                printLine(stderr, failure);
            return 1;
        }
    }
    return 0;
}

} // namespace

int runModemInfo(const CliOptions &o, CliContext &c)
{
    SerialSettings s;
    const QString problem = readSerialOptions(o, s);
    return problem.isEmpty() ? modemInfo(s) : c.badUsage(problem);
}

int runAtCommands(const CliOptions &o, CliContext &c)
{
    SerialSettings s;
    const QString problem = readSerialOptions(o, s);
    return problem.isEmpty() ? atCommands(s, o.positional) : c.badUsage(problem);
}

#include "cli/LinkCommands.h"

#include "cli/CliOptions.h"

#include "core/app/AppState.h"
#include "core/common/HexText.h"
#include "core/link/LinkExchange.h"
#include "core/link/LinkTune.h"
#include "core/link/ModemCheck.h"
#include "core/link/mdlStrings.h"

#include <QRegularExpression>
#include <QSerialPort>

#include <cstdio>
#include <memory>

namespace {

// Whole lines, control characters escaped: an answer with a NUL in it is still shown in full.
void printTo(FILE *stream, const QString &line)
{
    QString shown;
    shown.reserve(line.size());
    for (QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += QStringLiteral("\\x") + HexText::byte(quint8(c.unicode()));
        else
            shown += c;
    }
    const QByteArray bytes = shown.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

int usage(const QString &problem)
{
    printTo(stderr, QStringLiteral("kvrsetup-cli: ") + problem);
    printTo(stderr, QStringLiteral("usage: kvrsetup-cli modem-info --port DEVICE [--baud N --parity n|e|o --data 7|8 "
                                   "--stop 1|2]\n"
                                   "       kvrsetup-cli at --port DEVICE [serial options] COMMAND..."));
    return 2;
}

// The port opened as the link window opens it, with the exchange layer on top.
struct Session
{
    QSerialPort port;
    LinkExchange link;
};

std::unique_ptr<Session> openSession(const SerialSettings &s)
{
    auto session = std::make_unique<Session>();
    QString why;
    if (!LinkTune(session->port, s, nullptr, nullptr, &why)) {
        printTo(stderr, QStringLiteral("kvrsetup-cli: cannot open the port ") + LinkTuning::infoText(s) +
                            QStringLiteral(": ") + why);
        return nullptr;
    }
    session->link.setDevice(&session->port);
    applyTimeScaleFromEnvironment(session->link);
    QObject::connect(&session->link, &LinkExchange::portLost, [](const QString &reason) {
        printTo(stderr, QStringLiteral("kvrsetup-cli: the port was lost: ") + reason);
    });
    return session;
}

int modemInfo(const SerialSettings &s)
{
    auto session = openSession(s);
    if (!session)
        return 1;
    QObject::connect(&session->link, &LinkExchange::infoLine,
                     [](const QString &text) { printTo(stdout, mdlStrings::TrimCrLf(text)); });
    // The modem counts as checked only when it also told its type.
    return runModemCheck(session->link).typeKnown ? 0 : 1;
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
    QObject::connect(&session->link, &LinkExchange::infoLine,
                     [&failure](const QString &text) { failure = mdlStrings::TrimCrLf(text); });
    for (const QString &command : commands) {
        failure.clear();
        const bool ok = session->link.sendCommand(command, QStringLiteral("OK"), 2000);
        if (session->link.replyState() == LinkExchange::ReplyState::Answered) {
            const LinkExchange::Answer &answer = session->link.lastAnswer();
            for (const QString &line : answerLines(answer.remain, command))
                printTo(stdout, line);
            printTo(stdout, answer.word);
        }
        if (!ok) {
            if (!failure.isEmpty())
                printTo(stderr, failure);
            return 1;
        }
    }
    return 0;
}

} // namespace

void applyTimeScaleFromEnvironment(LinkExchange &link)
{
    bool ok = false;
    const double scale = qEnvironmentVariable("KVRSETUP_TIME_SCALE").toDouble(&ok);
    if (ok && scale > 0)
        link.setTimeScale(scale);
}

int runLinkCommand(const QString &command, const QStringList &args)
{
    const CliOptions o = parseOptions(args, serialOptionNames());
    SerialSettings s;
    const QString problem = readSerialOptions(o, s);
    if (!problem.isEmpty())
        return usage(problem);
    const QStringList &plain = o.positional;

    if (command == QLatin1String("modem-info")) {
        if (!plain.isEmpty())
            return usage(QStringLiteral("modem-info takes no commands"));
        return modemInfo(s);
    }
    if (command == QLatin1String("at")) {
        if (plain.isEmpty())
            return usage(QStringLiteral("at needs at least one COMMAND"));
        return atCommands(s, plain);
    }
    return usage(QStringLiteral("unknown command ") + command);
}

#include "cli/LinkSession.h"

#include "core/app/SerialSettings.h"
#include "cli/CliOutput.h"
#include "cli/CliText.h"

#include "core/link/LinkTune.h"

double timeScaleFromEnvironment()
{
    bool ok = false;
    const double scale = qEnvironmentVariable("KVRSETUP_TIME_SCALE").toDouble(&ok);
    return ok && scale > 0 ? scale : 1.0;
}

void applyTimeScaleFromEnvironment(LinkExchange &link)
{
    const double scale = timeScaleFromEnvironment();
    if (scale != 1.0)
        link.setTimeScale(scale);
}

std::unique_ptr<LinkSession> openSession(const SerialSettings &s)
{
    auto session = std::make_unique<LinkSession>();
    QString why;
    if (!LinkTune(session->port, s, nullptr, nullptr, &why)) {
        printMessage(CliText::tr("не удалось открыть порт %1: %2").arg(shown(LinkTuning::infoText(s)), why));
        return nullptr;
    }
    session->link.port().setDevice(&session->port);
    applyTimeScaleFromEnvironment(session->link);
    QObject::connect(&session->link.port(), &LinkPort::portLost, [](const QString &reason) {
        printMessage(CliText::tr("порт потерян: %1").arg(reason));
    });
    return session;
}

ModemLine::Outcome waitForTicket(ModemLine &line, quint64 ticket)
{
    std::optional<ModemLine::Outcome> outcome;
    QEventLoop loop;
    const QMetaObject::Connection done = QObject::connect(
        &line, &ModemLine::finished, &loop, [&](quint64 ended, ModemLine::Operation, ModemLine::Outcome how) {
            if (ended == ticket) {
                outcome = how;
                loop.quit();
            }
        });
    if (!outcome)
        loop.exec();
    QObject::disconnect(done);
    return outcome.value_or(ModemLine::Outcome::Dropped);
}

void waitForTask(Task<void> &task)
{
    if (task.isDone())
        return;
    QEventLoop loop;
    // The loop may quit from inside the task's last step: nothing of the frame is released there.
    task.whenDone([&loop] { loop.quit(); });
    loop.exec();
}

void dropLinesNow(const QList<LinkSession *> &sessions)
{
    printMessage(CliText::tr("второе прерывание: DTR снят, порт закрыт"));
    for (LinkSession *session : sessions) {
        session->port.setDataTerminalReady(false);
        session->port.close();
        session->line.shutdown();
    }
}

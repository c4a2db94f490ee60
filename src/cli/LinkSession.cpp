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
        printMessage(CliText::tr("не удалось открыть порт %1: %2").arg(LinkTuning::infoText(s), why));
        return nullptr;
    }
    session->link.port().setDevice(&session->port);
    applyTimeScaleFromEnvironment(session->link);
    QObject::connect(&session->link.port(), &LinkPort::portLost, [](const QString &reason) {
        printMessage(CliText::tr("порт потерян: %1").arg(reason));
    });
    return session;
}

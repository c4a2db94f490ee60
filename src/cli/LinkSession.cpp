#include "cli/LinkSession.h"

#include "core/app/SerialSettings.h"
#include "core/common/HexText.h"
#include "core/link/LinkTune.h"

QString escapedControls(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            shown += QStringLiteral("\\x") + HexText::byte(quint8(c.unicode()));
        else
            shown += c;
    }
    return shown;
}

void printLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = escapedControls(line).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void applyTimeScaleFromEnvironment(LinkExchange &link)
{
    bool ok = false;
    const double scale = qEnvironmentVariable("KVRSETUP_TIME_SCALE").toDouble(&ok);
    if (ok && scale > 0)
        link.setTimeScale(scale);
}

std::unique_ptr<LinkSession> openSession(const SerialSettings &s)
{
    auto session = std::make_unique<LinkSession>();
    QString why;
    if (!LinkTune(session->port, s, nullptr, nullptr, &why)) {
        printLine(stderr, QStringLiteral("kvrsetup-cli: cannot open the port ") + LinkTuning::infoText(s) +
                              QStringLiteral(": ") + why);
        return nullptr;
    }
    session->link.port().setDevice(&session->port);
    applyTimeScaleFromEnvironment(session->link);
    QObject::connect(&session->link.port(), &LinkPort::portLost, [](const QString &reason) {
        printLine(stderr, QStringLiteral("kvrsetup-cli: the port was lost: ") + reason);
    });
    return session;
}

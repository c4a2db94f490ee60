#include "core/link/LinkTune.h"

#include "core/app/UserPrompts.h"

#include <QFileInfo>
#include "core/link/SerialDevice.h"

namespace LinkTuning {

QString settingsString(const SerialSettings &s)
{
    return QString::number(s.baudRate) + QLatin1Char(',') + s.parity + QLatin1Char(',') +
           QString::number(s.dataBits) + QLatin1Char(',') + QString::number(s.stopBits);
}

QString deviceName(const QString &port)
{
    if (!SerialSettings::isPortNumber(port))
        return port;
    SerialSettings s;
    s.setPort(port);
    const int n = s.portNumber();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

QString infoText(const SerialSettings &s)
{
    const QString shownPort =
        SerialSettings::isPortNumber(s.port) ? QStringLiteral("COM") + QString::number(s.portNumber()) : s.port;
    return shownPort + QLatin1Char(',') + settingsString(s);
}

} // namespace LinkTuning

namespace {

// Why the port did not open, in the operator's words; the system's own text after it.
QString openFailure(const QString &device, const SerialDevice &port)
{
    QString why;
    switch (port.error()) {
    case SerialDevice::Error::Busy:
        return device + (port.holder().isEmpty() ? QStringLiteral(": порт занят другой программой")
                                                 : QStringLiteral(": порт занят программой ") + port.holder());
    case SerialDevice::Error::Permission:
        why = QStringLiteral("нет прав на порт (пользователь должен входить в группу dialout)");
        break;
    case SerialDevice::Error::NotFound:
        why = QStringLiteral("порт не найден");
        break;
    default:
        return device + QStringLiteral(": ") + port.errorString();
    }
    return device + QStringLiteral(": ") + why + QStringLiteral(" (") + port.errorString() + QLatin1Char(')');
}

bool applySettings(SerialDevice &port, const SerialSettings &s, QString &why)
{
    why = s.problem();
    if (!why.isEmpty())
        return false;
    const bool applied = port.setBaudRate(s.baudRate) && port.setParity(s.parity) && port.setDataBits(s.dataBits)
                         && port.setStopBits(s.stopBits);
    if (!applied)
        why = port.errorString();
    return applied;
}

} // namespace

bool LinkTune(SerialDevice &port, const SerialSettings &settings, UserPrompts *prompts, QString *infoText,
              QString *errorDetail)
{
    if (port.isOpen())
        port.close();

    QString why;
    bool ok = false;
    // The lock that keeps a second program off the modem is named after the device: a link to it
    // ("/dev/modem") must take the same lock as the device itself.
    const QString device = LinkTuning::deviceName(settings.port);
    const QString resolved = QFileInfo(device).canonicalFilePath();
    port.setPortName(resolved.isEmpty() ? device : resolved);
    if (applySettings(port, settings, why)) {
        if (port.open(QIODevice::ReadWrite)) {
            // Lines that the device cannot drive (a pseudo-terminal, some adapters)
            // are no reason to refuse the port.
            port.setRequestToSend(true);
            port.setDataTerminalReady(true);
            // Whatever waited in the port before (an answer meant for another program)
            // must not answer our first command.
            port.clearInput();
            ok = true;
        } else {
            why = openFailure(device, port);
        }
    }

    if (infoText)
        *infoText = LinkTuning::infoText(settings);
    if (!ok) {
        if (errorDetail)
            *errorDetail = why;
        if (prompts)
            prompts->message(QStringLiteral("не верны параметры последовательного порта, проверьте настройки"),
                             QString(), UserPrompts::Icon::Information);
    }
    return ok;
}

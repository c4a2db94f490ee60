#include "core/link/LinkTune.h"

#include "core/app/UserPrompts.h"

#include <QSerialPort>

namespace LinkTuning {

QString settingsString(const SerialSettings &s)
{
    return QString::number(s.baudRate) + QLatin1Char(',') + s.parity + QLatin1Char(',') +
           QString::number(s.dataBits) + QLatin1Char(',') + QString::number(s.stopBits);
}

bool isPortNumber(const QString &port)
{
    bool ok = false;
    const int n = port.trimmed().toInt(&ok);
    return ok && n >= 1;
}

QString deviceName(const QString &port)
{
    if (!isPortNumber(port))
        return port;
    const int n = port.trimmed().toInt();
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(n);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(n - 1);
#endif
}

QString infoText(const SerialSettings &s)
{
    const QString shownPort =
        isPortNumber(s.port) ? QStringLiteral("COM") + QString::number(s.port.trimmed().toInt()) : s.port;
    return shownPort + QLatin1Char(',') + settingsString(s);
}

} // namespace LinkTuning

namespace {

bool applySettings(QSerialPort &port, const SerialSettings &s, QString &why)
{
    if (!port.setFlowControl(QSerialPort::NoFlowControl)) {
        why = QStringLiteral("handshaking: ") + port.errorString();
        return false;
    }
    if (s.baudRate <= 0 || !port.setBaudRate(s.baudRate)) {
        why = QStringLiteral("baud rate ") + QString::number(s.baudRate);
        return false;
    }
    QSerialPort::Parity parity;
    switch (s.parity.toLower().unicode()) {
    case 'n': parity = QSerialPort::NoParity; break;
    case 'e': parity = QSerialPort::EvenParity; break;
    case 'o': parity = QSerialPort::OddParity; break;
    case 'm': parity = QSerialPort::MarkParity; break;
    case 's': parity = QSerialPort::SpaceParity; break;
    default:
        why = QStringLiteral("parity ") + s.parity;
        return false;
    }
    if (!port.setParity(parity)) {
        why = QStringLiteral("parity ") + s.parity;
        return false;
    }
    if (s.dataBits < 5 || s.dataBits > 8 || !port.setDataBits(QSerialPort::DataBits(s.dataBits))) {
        why = QStringLiteral("data bits ") + QString::number(s.dataBits);
        return false;
    }
    QSerialPort::StopBits stop;
    if (s.stopBits == 1)
        stop = QSerialPort::OneStop;
    else if (s.stopBits == 2)
        stop = QSerialPort::TwoStop;
    else {
        why = QStringLiteral("stop bits ") + QString::number(s.stopBits);
        return false;
    }
    if (!port.setStopBits(stop)) {
        why = QStringLiteral("stop bits ") + QString::number(s.stopBits);
        return false;
    }
    return true;
}

} // namespace

bool LinkTune(QSerialPort &port, const SerialSettings &settings, UserPrompts *prompts, QString *infoText,
              QString *errorDetail)
{
    if (port.isOpen())
        port.close();

    QString why;
    bool ok = false;
    port.setPortName(LinkTuning::deviceName(settings.port));
    if (applySettings(port, settings, why)) {
        if (port.open(QIODevice::ReadWrite)) {
            // Lines that the device cannot drive (a pseudo-terminal, some adapters)
            // are no reason to refuse the port.
            port.setRequestToSend(true);
            port.setDataTerminalReady(true);
            port.clearError();
            ok = true;
        } else {
            why = LinkTuning::deviceName(settings.port) + QStringLiteral(": ") + port.errorString();
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

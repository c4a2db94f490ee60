#include "core/app/SerialSettings.h"

#include "core/settings/NumericText.h"

namespace {

bool readPortNumber(const QString &text, qint64 &n)
{
    return NumericText::toInt(text.trimmed(), -32768, 32767, n);
}

} // namespace

bool SerialSettings::isPortNumber(const QString &text)
{
    qint64 n = 0;
    return readPortNumber(text, n);
}

int SerialSettings::portNumber() const
{
    qint64 n = 0;
    return readPortNumber(port, n) ? int(n) : 0;
}

bool SerialSettings::setPort(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    qint64 n = 0;
    port = readPortNumber(t, n) ? QString::number(n) : t;
    return true;
}

QString SerialSettings::problem() const
{
    if (port.trimmed().isEmpty())
        return QStringLiteral("no port");
    if (isPortNumber(port) && portNumber() < 1)
        return QStringLiteral("port ") + port.trimmed();
    if (baudRate <= 0)
        return QStringLiteral("baud rate ") + QString::number(baudRate);
    if (!QStringLiteral("neoms").contains(parity.toLower()))
        return QStringLiteral("parity ") + parity;
    if (dataBits < 5 || dataBits > 8)
        return QStringLiteral("data bits ") + QString::number(dataBits);
    if (stopBits != 1 && stopBits != 2)
        return QStringLiteral("stop bits ") + QString::number(stopBits);
    return QString();
}

#include "core/link/LinkTune.h"

#include "core/app/UserPrompts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPort>

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

QSerialPort::Parity parityOf(QChar letter)
{
    switch (letter.toLower().unicode()) {
    case 'e': return QSerialPort::EvenParity;
    case 'o': return QSerialPort::OddParity;
    case 'm': return QSerialPort::MarkParity;
    case 's': return QSerialPort::SpaceParity;
    default: return QSerialPort::NoParity;
    }
}

// Settings already checked by SerialSettings::problem(); the port may still refuse one.
// The program holding the port, from its UUCP lock file (the convention every serial program
// keeps): "minicom (pid 1234)", or "" when no live process holds it. stale receives a lock file
// whose process is gone.
QString lockHolder(const QString &device, QString *stale)
{
#ifdef Q_OS_LINUX
    // "/dev/pts/3" is locked as "LCK..pts_3", "/dev/ttyUSB0" as "LCK..ttyUSB0", in the first of
    // these folders that can be written.
    QString relative = device;
    if (relative.startsWith(QLatin1String("/dev/")))
        relative = relative.mid(5);
    const QString name = QStringLiteral("LCK..") + relative.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const QString &folder : {QStringLiteral("/var/lock"), QStringLiteral("/run/lock"), QStringLiteral("/tmp"),
                                  QStringLiteral("/var/tmp"), QDir::tempPath()}) {
        QFile lock(folder + QLatin1Char('/') + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        bool ok = false;
        const qint64 pid = QString::fromLatin1(lock.read(64)).trimmed().section(QLatin1Char('\n'), 0, 0).trimmed().toLongLong(&ok);
        if (!ok || pid <= 0)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (!comm.open(QIODevice::ReadOnly)) {
            // The process is gone: a stale lock, not a holder.
            if (stale)
                *stale = lock.fileName();
            continue;
        }
        return QString::fromLocal8Bit(comm.readAll()).trimmed() + QStringLiteral(" (pid %1)").arg(pid);
    }
#else
    Q_UNUSED(device)
    Q_UNUSED(stale)
#endif
    return QString();
}

// Why the port did not open, in the operator's words; Qt's own text after it.
QString openFailure(const QString &device, const QString &path, const QSerialPort &port)
{
    QString why;
    switch (port.error()) {
    case QSerialPort::PermissionError: {
        QString stale;
        const QString holder = lockHolder(path, &stale);
        if (!holder.isEmpty())
            why = QStringLiteral("порт занят программой ") + holder;
        else if (!stale.isEmpty())
            why = QStringLiteral("порт заперт файлом блокировки ") + stale
                  + QStringLiteral(", оставленным завершившейся программой; удалите его (нужны права его владельца)");
        else if (!QFileInfo(path).isWritable())
            why = QStringLiteral("нет прав на порт (пользователь должен входить в группу dialout)");
        else
            why = QStringLiteral("порт занят другой программой");
        break;
    }
    case QSerialPort::DeviceNotFoundError:
        why = QStringLiteral("порт не найден");
        break;
    case QSerialPort::OpenError:
        why = QStringLiteral("порт уже открыт");
        break;
    default:
        return device + QStringLiteral(": ") + port.errorString();
    }
    return device + QStringLiteral(": ") + why + QStringLiteral(" (") + port.errorString() + QLatin1Char(')');
}

bool applySettings(QSerialPort &port, const SerialSettings &s, QString &why)
{
    why = s.problem();
    if (!why.isEmpty())
        return false;
    const bool applied = port.setFlowControl(QSerialPort::NoFlowControl) && port.setBaudRate(s.baudRate) &&
                         port.setParity(parityOf(s.parity)) &&
                         port.setDataBits(QSerialPort::DataBits(s.dataBits)) &&
                         port.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
    if (!applied)
        why = port.errorString();
    return applied;
}

} // namespace

bool LinkTune(QSerialPort &port, const SerialSettings &settings, UserPrompts *prompts, QString *infoText,
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
            port.clear(QSerialPort::Input);
            port.clearError();
            ok = true;
        } else {
            why = openFailure(device, port.portName().startsWith(QLatin1Char('/')) ? port.portName() : resolved, port);
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

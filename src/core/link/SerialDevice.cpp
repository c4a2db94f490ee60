#include "core/link/SerialDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QSysInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Where serial programs look for "LCK.." files; the first that can be written gets ours.
QStringList &searchedFolders()
{
    static QStringList folders{QStringLiteral("/var/lock"), QStringLiteral("/run/lock"),
                               QStringLiteral("/var/spool/locks"), QStringLiteral("/var/spool/uucp"),
                               QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
    return folders;
}

// "/dev/pts/3" is locked as "LCK..pts_3", "/dev/ttyUSB0" as "LCK..ttyUSB0".
QString lockName(const QString &device)
{
    QString relative = device;
    if (relative.startsWith(QLatin1String("/dev/")))
        relative = relative.mid(5);
    return QStringLiteral("LCK..") + relative.replace(QLatin1Char('/'), QLatin1Char('_'));
}

qint64 lockPid(QFile &lock)
{
    bool ok = false;
    const qint64 pid = QString::fromLatin1(lock.read(64)).section(QLatin1Char('\n'), 0, 0).trimmed().toLongLong(&ok);
    return ok && pid > 0 ? pid : 0;
}

bool processAlive(qint64 pid)
{
    // EPERM: alive, only another user's.
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

speed_t speedOf(int baud)
{
    switch (baud) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: return B0;
    }
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

SerialDevice::SerialDevice(QObject *parent) : QIODevice(parent) {}

SerialDevice::~SerialDevice()
{
    release();
}

QStringList SerialDevice::lockFolders()
{
    return searchedFolders();
}

void SerialDevice::setLockFolders(const QStringList &folders)
{
    searchedFolders() = folders;
}

QString SerialDevice::lockHolder(const QString &device, QString *stale)
{
    const QString name = lockName(device);
    for (const QString &folder : std::as_const(searchedFolders())) {
        QFile lock(folder + QLatin1Char('/') + name);
        if (!lock.open(QIODevice::ReadOnly))
            continue;
        const qint64 pid = lockPid(lock);
        if (pid == 0)
            continue;
        if (!processAlive(pid)) {
            if (stale)
                *stale = lock.fileName();
            continue;
        }
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        const QString program = comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll()).trimmed() : QString();
        return (program.isEmpty() ? QStringLiteral("?") : program) + QStringLiteral(" (pid %1)").arg(pid);
    }
    return QString();
}

bool SerialDevice::fail(Error error, const QString &text)
{
    m_error = error;
    setErrorString(text);
    release();
    return false;
}

bool SerialDevice::open(OpenMode mode)
{
    if (isOpen())
        return false;
    m_holder.clear();
    m_error = Error::None;
    const QByteArray path = QFile::encodeName(m_path);
    m_fd = ::open(path.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int e = errno;
        if (e == ENOENT || e == ENODEV || e == ENXIO)
            return fail(Error::NotFound, systemText(e));
        if (e == EACCES || e == EPERM)
            return fail(Error::Permission, systemText(e));
        if (e == EBUSY) {
            m_holder = lockHolder(m_path);
            return fail(Error::Busy, systemText(e));
        }
        return fail(Error::Open, systemText(e));
    }
    // The kernel's lock: another copy of this program (any user) is refused here.
    if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int e = errno;
        m_holder = lockHolder(m_path);
        return fail(e == EWOULDBLOCK ? Error::Busy : Error::Open, systemText(e));
    }
    if (!takeLockFile())
        return false;
    // Other programs that open the port after us get EBUSY (root excepted).
    ::ioctl(m_fd, TIOCEXCL);
    if (!applySettings())
        return fail(Error::Settings, errorString());
    m_in.clear();
    m_out.clear();
    m_readNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SerialDevice::readAvailable);
    m_writeNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SerialDevice::writePending);
    return QIODevice::open(mode | QIODevice::Unbuffered);
}

bool SerialDevice::takeLockFile()
{
    QString stale;
    const QString holder = lockHolder(m_path, &stale);
    if (!holder.isEmpty()) {
        m_holder = holder;
        return fail(Error::Busy, QString());
    }
    // A lock left by a process that is gone is taken over; when its owner's folder rights keep
    // it, the flock above still keeps other copies of this program off the port.
    if (!stale.isEmpty())
        QFile::remove(stale);
    const QString name = lockName(m_path);
    for (const QString &folder : std::as_const(searchedFolders())) {
        const QFileInfo info(folder);
        if (!info.isDir() || !info.isWritable())
            continue;
        QFile file(folder + QLatin1Char('/') + name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            // The layout Qt's programs write and UUCP programs read: pid, program, host.
            const QByteArray text = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
                                    + QFile::encodeName(QFileInfo(QCoreApplication::applicationFilePath()).fileName())
                                    + '\n' + QSysInfo::machineHostName().toLocal8Bit() + '\n';
            const bool written = file.write(text) == text.size() && file.flush();
            file.close();
            m_lockPath = written ? file.fileName() : QString();
            if (!written)
                QFile::remove(file.fileName());
        }
        break;
    }
    return true;
}

bool SerialDevice::applySettings()
{
    if (m_fd < 0)
        return true;
    termios t{};
    if (::tcgetattr(m_fd, &t) != 0) {
        setErrorString(systemText(errno));
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CRTSCTS | CMSPAR);
    t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    switch (m_dataBits) {
    case 5: t.c_cflag |= CS5; break;
    case 6: t.c_cflag |= CS6; break;
    case 7: t.c_cflag |= CS7; break;
    default: t.c_cflag |= CS8; break;
    }
    if (m_stopBits == 2)
        t.c_cflag |= CSTOPB;
    switch (m_parity) {
    case 'e': t.c_cflag |= PARENB; break;
    case 'o': t.c_cflag |= PARENB | PARODD; break;
    case 'm': t.c_cflag |= PARENB | PARODD | CMSPAR; break;
    case 's': t.c_cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    // One byte at least: a read with nothing waiting then fails with EAGAIN, so that a read of
    // nothing means a hang-up.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    const speed_t speed = speedOf(m_baud);
    if (speed == B0 || ::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) {
        setErrorString(QStringLiteral("скорость %1 не поддерживается").arg(m_baud));
        return false;
    }
    if (::tcsetattr(m_fd, TCSANOW, &t) != 0) {
        setErrorString(systemText(errno));
        return false;
    }
    return true;
}

bool SerialDevice::setBaudRate(int baud)
{
    if (speedOf(baud) == B0)
        return false;
    m_baud = baud;
    return applySettings();
}

bool SerialDevice::setParity(QChar letter)
{
    const char p = char(letter.toLower().unicode());
    if (!QByteArrayView("neoms").contains(p))
        return false;
    m_parity = p;
    return applySettings();
}

bool SerialDevice::setDataBits(int bits)
{
    if (bits < 5 || bits > 8)
        return false;
    m_dataBits = bits;
    return applySettings();
}

bool SerialDevice::setStopBits(int bits)
{
    if (bits != 1 && bits != 2)
        return false;
    m_stopBits = bits;
    return applySettings();
}

bool SerialDevice::setDataTerminalReady(bool on)
{
    int bit = TIOCM_DTR;
    return m_fd >= 0 && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialDevice::setRequestToSend(bool on)
{
    int bit = TIOCM_RTS;
    return m_fd >= 0 && ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

void SerialDevice::clearInput()
{
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIFLUSH);
    m_in.clear();
}

void SerialDevice::clearError()
{
    m_error = Error::None;
}

void SerialDevice::close()
{
    if (!isOpen())
        return;
    emit aboutToClose();
    release();
    QIODevice::close();
}

void SerialDevice::release()
{
    // Later: the port may be closed from a handler of the notifier's own signal.
    for (QSocketNotifier *notifier : {m_readNotifier, m_writeNotifier}) {
        if (notifier) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    m_readNotifier = nullptr;
    m_writeNotifier = nullptr;
    if (m_fd >= 0) {
        ::close(m_fd); // drops the flock with it
        m_fd = -1;
    }
    if (!m_lockPath.isEmpty()) {
        // Only our own: a lock file replaced since (by an operator cleaning up) stays.
        QFile lock(m_lockPath);
        if (lock.open(QIODevice::ReadOnly) && lockPid(lock) == QCoreApplication::applicationPid()) {
            lock.close();
            QFile::remove(m_lockPath);
        }
        m_lockPath.clear();
    }
    m_out.clear();
}

qint64 SerialDevice::bytesAvailable() const
{
    return m_in.size() + QIODevice::bytesAvailable();
}

qint64 SerialDevice::bytesToWrite() const
{
    return m_out.size() + QIODevice::bytesToWrite();
}

bool SerialDevice::canReadLine() const
{
    return m_in.contains('\n') || QIODevice::canReadLine();
}

qint64 SerialDevice::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_in.size());
    std::memcpy(data, m_in.constData(), size_t(n));
    m_in.remove(0, n);
    return n;
}

qint64 SerialDevice::writeData(const char *data, qint64 maxSize)
{
    if (m_fd < 0)
        return -1;
    m_out.append(data, maxSize);
    writePending();
    return m_fd < 0 ? -1 : maxSize;
}

void SerialDevice::writePending()
{
    qint64 written = 0;
    while (m_fd >= 0 && !m_out.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_out.constData(), size_t(m_out.size()));
        if (n > 0) {
            m_out.remove(0, n);
            written += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        const int e = n < 0 ? errno : EIO;
        lose(e == EIO || e == ENXIO || e == ENODEV ? QStringLiteral("устройство отключено") : systemText(e));
        return;
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_out.isEmpty());
    if (written > 0)
        emit bytesWritten(written);
}

void SerialDevice::readAvailable()
{
    bool got = false;
    for (;;) {
        char buffer[4096];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_in.append(buffer, n);
            got = true;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // Readable yet nothing to read: the device hung up (an unplugged adapter, a far end
        // that closed). Without this the notifier would fire without end.
        if (got)
            emit readyRead();
        const int e = n < 0 ? errno : 0;
        lose(n == 0 || e == EIO || e == ENXIO || e == ENODEV ? QStringLiteral("устройство отключено") : systemText(e));
        return;
    }
    if (got)
        emit readyRead();
}

void SerialDevice::lose(const QString &reason)
{
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    m_error = Error::Lost;
    setErrorString(reason);
    emit errorOccurred(Error::Lost);
}

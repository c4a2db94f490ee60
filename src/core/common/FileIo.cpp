#include "core/common/FileIo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace FileIo {

namespace {

QString writeError(const QString &path, const QString &reason)
{
    return QStringLiteral("Ошибка записи в файл ") + path + QStringLiteral(": ") + reason;
}

QString readError(const QString &path, const QString &reason)
{
    return QStringLiteral("Ошибка чтения файла ") + path + QStringLiteral(": ") + reason;
}

QString notRegular(const QString &path)
{
    return QStringLiteral("Файл ") + path + QStringLiteral(" не является обычным файлом");
}

#ifdef Q_OS_UNIX

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

bool writeAll(int fd, const QByteArray &data, int &err)
{
    const char *p = data.constData();
    qint64 left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            err = errno;
            return false;
        }
        if (n == 0) { // no progress and no error: treat as a full device
            err = ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// A link is written through: its final target, even when that does not exist yet.
QString resolvedTarget(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink())
        return path;
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    return info.symLinkTarget(); // a dangling link: the file it names is created
}

bool writeInPlace(const QString &path, const QString &target, const QByteArray &data, QString &error)
{
    // Without waiting: a FIFO that nobody reads is an error, not a hang.
    const int fd = ::open(native(target).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = writeError(path, systemReason(errno));
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    int err = 0;
    const bool written = writeAll(fd, data, err);
    if (::close(fd) != 0 && written)
        err = errno;
    if (!written || err != 0) {
        error = writeError(path, systemReason(err));
        return false;
    }
    return true;
}

bool replaceRegular(const QString &path, const QString &target, const struct stat *existing, const QByteArray &data,
                    QString &error)
{
    const QFileInfo info(target);
    const QString folder = info.absolutePath();
    QString temp;
    int fd = -1;
    // O_EXCL with a fresh name: the mode follows the umask as a new file's would.
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder + QLatin1Char('/') + QLatin1Char('.') + info.fileName() + QLatin1Char('.')
               + QString::number(QRandomGenerator::global()->generate(), 36) + QStringLiteral(".tmp");
        fd = ::open(native(temp).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        error = writeError(path, systemReason(errno));
        return false;
    }
    int err = 0;
    bool ok = writeAll(fd, data, err);
    // Keeping the earlier permissions is a courtesy, not a condition of the write.
    if (ok && existing)
        [[maybe_unused]] const int kept = ::fchmod(fd, existing->st_mode & 07777);
    // The data must be on the disk before the name points at it.
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (ok && ::rename(native(temp).constData(), native(target).constData()) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok) {
        ::unlink(native(temp).constData());
        error = writeError(path, systemReason(err));
        return false;
    }
    // The rename itself reaches the disk with the folder; a failure here changes nothing written.
    const int dirFd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

#endif

} // namespace

QString systemReason(int errnoValue)
{
    switch (errnoValue) {
#ifdef Q_OS_UNIX
    case ENOSPC: return QStringLiteral("нет места на диске");
    case EDQUOT: return QStringLiteral("превышена дисковая квота");
    case EROFS: return QStringLiteral("файловая система только для чтения");
    case EISDIR: return QStringLiteral("это каталог");
    case ENOTDIR: return QStringLiteral("часть пути не является каталогом");
    case ENXIO: return QStringLiteral("канал никто не читает");
#endif
    case EACCES:
    case EPERM: return QStringLiteral("нет доступа");
    case ENOENT: return QStringLiteral("нет такого файла или каталога");
    case EIO: return QStringLiteral("ошибка ввода-вывода");
    default: return QString::fromLocal8Bit(std::strerror(errnoValue));
    }
}

bool checkRegular(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        error = QStringLiteral("Файл ") + path + QStringLiteral(" не найден");
        return false;
    }
    if (!info.isFile()) {
        error = notRegular(path);
        return false;
    }
    return true;
}

bool readRegular(const QString &path, QByteArray &data, QString &error, qint64 maxBytes)
{
    data.clear();
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO would wait for a writer), then checked on what was opened.
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENOENT ? QStringLiteral("Файл ") + path + QStringLiteral(" не найден")
                                : readError(path, systemReason(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = notRegular(path);
        return false;
    }
    const qint64 want = maxBytes < 0 ? qint64(st.st_size) : std::min<qint64>(maxBytes, st.st_size);
    data.resize(want);
    qint64 got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, data.data() + got, size_t(want - got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            data.clear();
            error = readError(path, systemReason(err));
            return false;
        }
        if (n == 0)
            break; // the file shrank meanwhile
        got += n;
    }
    ::close(fd);
    data.truncate(got);
    return true;
#else
    if (!checkRegular(path, error))
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        error = readError(path, f.errorString());
        return false;
    }
    data = maxBytes < 0 ? f.readAll() : f.read(maxBytes);
    if (f.error() != QFileDevice::NoError) {
        error = readError(path, f.errorString());
        data.clear();
        return false;
    }
    return true;
#endif
}

bool appendWhole(const QString &path, const QByteArray &data, QString &error)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = writeError(path, systemReason(errno));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = writeError(path, QStringLiteral("это не обычный файл"));
        return false;
    }
    int err = 0;
    bool ok = writeAll(fd, data, err);
    if (ok && ::fsync(fd) != 0) {
        err = errno;
        ok = false;
    }
    if (!ok)
        [[maybe_unused]] const int cut = ::ftruncate(fd, st.st_size);
    if (::close(fd) != 0 && ok) {
        err = errno;
        ok = false;
    }
    if (!ok)
        error = writeError(path, systemReason(err));
    return ok;
#else
    QFile f(path);
    if (QFileInfo(path).exists() && !QFileInfo(path).isFile()) {
        error = writeError(path, QStringLiteral("это не обычный файл"));
        return false;
    }
    if (!f.open(QIODevice::Append | QIODevice::Unbuffered)) {
        error = writeError(path, f.errorString());
        return false;
    }
    const qint64 before = f.size();
    if (f.write(data) != data.size() || !f.flush()) {
        error = writeError(path, f.errorString());
        f.resize(before);
        return false;
    }
    return true;
#endif
}

bool writeWhole(const QString &path, const QByteArray &data, QString &error)
{
#ifdef Q_OS_UNIX
    const QString target = resolvedTarget(path);
    struct stat st {};
    if (::stat(native(target).constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = writeError(path, systemReason(EISDIR));
            return false;
        }
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
            return writeInPlace(path, target, data, error);
        if (!S_ISREG(st.st_mode)) {
            error = writeError(path, QStringLiteral("это не обычный файл"));
            return false;
        }
        return replaceRegular(path, target, &st, data, error);
    }
    if (errno != ENOENT) {
        error = writeError(path, systemReason(errno));
        return false;
    }
    return replaceRegular(path, target, nullptr, data, error);
#else
    if (QFileInfo(path).isDir()) {
        error = writeError(path, systemReason(EISDIR));
        return false;
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || f.write(data) != data.size() || !f.commit()) {
        error = writeError(path, f.errorString());
        f.cancelWriting();
        return false;
    }
    return true;
#endif
}

} // namespace FileIo

#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// A tmpfs of a few pages mounted for one test, so that a full disk is the kernel's own ENOSPC and
// not a simulation of it. Mounting needs root (as the README's commands run); elsewhere mounted()
// is false and the test skips.
class SmallDisk
{
public:
    explicit SmallDisk(int kilobytes = 64)
    {
        if (!m_dir.isValid())
            return;
        m_mounted = run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                  QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), m_dir.path()});
    }
    ~SmallDisk()
    {
        if (m_mounted)
            run(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool mounted() const { return m_mounted; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Takes every free byte with a filler file; what was written before stays.
    bool fill()
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray chunk(4096, 'x');
        while (filler.write(chunk) > 0) {
        }
        return true;
    }
    // What was written stays, and nothing more can be: a read-only share, a file the user may not write.
    bool makeReadOnly()
    {
        return m_mounted
               && run(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"), m_dir.path()});
    }
    // Gives the space back.
    void free() { QFile::remove(filePath(QStringLiteral(".filler"))); }

    // The names in the folder other than the filler: a write that failed must leave no temporary behind.
    QStringList entries() const
    {
        QStringList names = QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        names.removeAll(QStringLiteral(".filler"));
        return names;
    }

private:
    static bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.start(program, args);
        return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    bool m_mounted = false;
};

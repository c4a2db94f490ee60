#pragma once

#include "TestFiles.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

// The build installed with "cmake --install <build> --prefix /usr" into a temporary DESTDIR, as the
// package and "make install" lay it out. Readable by everyone, so an ordinary user can run it.
class InstalledTree
{
public:
    // The install's output when it failed, otherwise empty.
    QString install()
    {
        if (!m_root.isValid())
            return QStringLiteral("no temporary folder");
        QFile::setPermissions(m_root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                                 | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), m_root.path());
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral(KVR_CMAKE_COMMAND),
                {QStringLiteral("--install"), QStringLiteral(KVR_BUILD_DIR), QStringLiteral("--prefix"), QStringLiteral("/usr")});
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return QStringLiteral("cmake --install failed: ") + QString::fromLocal8Bit(p.readAll());
        return QString();
    }
    QString root() const { return m_root.path(); }
    // "bin/kvrsetup-cli" -> <DESTDIR>/usr/bin/kvrsetup-cli
    QString path(const QString &underUsr) const { return m_root.path() + QStringLiteral("/usr/") + underUsr; }

private:
    QTemporaryDir m_root;
};

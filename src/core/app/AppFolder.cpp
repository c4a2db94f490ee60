#include "core/app/AppFolder.h"

#include "core/common/FileIo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

AppFolder::AppFolder(const QString &home, const QString &executableFolder, const QString &userDataFolder)
    : m_executableFolder(executableFolder)
{
    if (!home.isEmpty()) {
        m_kind = Kind::Home;
        m_path = home;
    } else if (isProgramFolder(executableFolder)) {
        m_kind = Kind::ProgramFolder;
        m_path = executableFolder;
    } else {
        m_kind = Kind::UserData;
        m_path = userDataFolder;
    }
}

AppFolder AppFolder::current()
{
    return AppFolder(qEnvironmentVariable("KVRSETUP_HOME"), QCoreApplication::applicationDirPath(),
                     QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString AppFolder::shippedFolder() const
{
    return QDir::cleanPath(m_executableFolder + QStringLiteral("/../share/kvrsetup"));
}

bool AppFolder::isProgramFolder(const QString &folder)
{
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable() && QFileInfo(QDir(folder).filePath(QStringLiteral("Data.ini"))).isFile();
}

bool AppFolder::isProgramPage(const QString &name)
{
    return name == QLatin1String("about.html") || name == QLatin1String("help.html");
}

bool AppFolder::prepare(QString &why) const
{
    if (m_kind != Kind::UserData)
        return true;
    if (m_path.isEmpty()) {
        why = QStringLiteral("не определена папка данных пользователя (не задана переменная HOME?)");
        return false;
    }
    const QDir target(m_path);
    if (!target.mkpath(QStringLiteral("."))) {
        why = QStringLiteral("не удалось создать папку ") + QDir::toNativeSeparators(m_path);
        return false;
    }
    const QDir shipped(shippedFolder());
    const QStringList names = shipped.entryList(QDir::Files | QDir::Readable);
    if (!shipped.exists() || names.isEmpty()) {
        why = QStringLiteral("не найдены файлы программы в ") + QDir::toNativeSeparators(shipped.path());
        return false;
    }
    QStringList failed;
    for (const QString &name : names) {
        const QString to = target.filePath(name);
        if (isProgramPage(name) && QFileInfo(to).isFile() && !QFileInfo(to).isSymLink()) {
            // The help pages are the program's, not the user's: an upgrade brings its own pages.
            QByteArray now;
            QByteArray shippedPage;
            QString error;
            if (FileIo::readRegular(to, now, error) && FileIo::readRegular(shipped.filePath(name), shippedPage, error)
                && now != shippedPage && !FileIo::writeWhole(to, shippedPage, error))
                failed << name + QStringLiteral(" (") + error + QLatin1Char(')');
            continue;
        }
        // The user's own copy stays as it is, changed or not.
        if (QFileInfo::exists(to) || QFileInfo(to).isSymLink())
            continue;
        QFile file(shipped.filePath(name));
        if (!file.copy(to)) {
            failed << name + QStringLiteral(" (") + file.errorString() + QLatin1Char(')');
            continue;
        }
        // The shipped files are read-only in the system; the user's copies are the user's to change.
        QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }
    if (!failed.isEmpty()) {
        why = QStringLiteral("не удалось скопировать в ") + QDir::toNativeSeparators(m_path) + QStringLiteral(": ")
              + failed.join(QStringLiteral(", "));
        return false;
    }
    return true;
}

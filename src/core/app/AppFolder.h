#pragma once

#include <QString>

// The folder where the program keeps its files (Data.db, Const.ini, Default.ini, Data.ini, ...).
// KVRSETUP_HOME when set; otherwise the executable's folder when it is a program folder of its own
// (the build folder, an unpacked copy: it holds Data.ini and can be written); otherwise, for a
// program installed in a system folder, the user's data folder, seeded from the shipped files in
// ../share/kvrsetup beside the executable's folder.
class AppFolder
{
public:
    enum class Kind { Home, ProgramFolder, UserData };

    AppFolder(const QString &home, const QString &executableFolder, const QString &userDataFolder);
    // From KVRSETUP_HOME, the running program and its application name's data location.
    static AppFolder current();

    Kind kind() const { return m_kind; }
    QString path() const { return m_path; }
    // Where an installed program's shipped files lie: <executable folder>/../share/kvrsetup.
    QString shippedFolder() const;

    // For the user's data folder: creates it and copies in the shipped files it lacks, never
    // replacing one it has, except the help pages, which follow the installed program. False, with the reason in why, when that could not be done; true with
    // nothing to do for the other kinds.
    bool prepare(QString &why) const;

    // Holds Data.ini and can be written.
    static bool isProgramFolder(const QString &folder);

private:
    static bool isProgramPage(const QString &name);

    QString m_executableFolder;
    Kind m_kind;
    QString m_path;
};

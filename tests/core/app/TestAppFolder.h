#pragma once
#include <QObject>

// Which folder keeps the program's files, and how an installed program's first start fills the
// user's folder from the shipped files.
class TestAppFolder : public QObject
{
    Q_OBJECT
private slots:
    void folderChoice();
    void unwritableProgramFolderGoesToUserData();
    void firstStartSeedsUserData();
    void userFilesAreNeverReplaced();
    void otherKindsAreLeftAlone();
    void failuresAreSaid();
};

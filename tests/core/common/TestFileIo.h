#pragma once
#include <QObject>

class TestFileIo : public QObject
{
    Q_OBJECT
private slots:
    void fullDiskKeepsEarlierFile();
    void devicesAndFifosWrittenInPlace();
    void linksAndFoldersAndPermissions();
    void inputsMustBeRegular();
};

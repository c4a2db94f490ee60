#pragma once
#include <QObject>

class TestFileIo : public QObject
{
    Q_OBJECT
private slots:
    void fullDiskKeepsEarlierFile();
    void deviceWrittenInPlace();
    void fifoWrittenInPlaceOrRefused();
    void linksAndFoldersAndPermissions();
    void inputsMustBeRegular();
};

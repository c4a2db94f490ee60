#pragma once
#include "InstalledTree.h"

#include <QObject>

// The installed programs at work: their files go to the user's data folder, never beside the
// executable, and an ordinary user of the dialout group runs the window and talks to a modem.
class TestInstalledRun : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void versionNamesTheUserFolder();
    void filesGoToTheUserFolder();
    void userFolderFailureIsSaid();
    void ordinaryUserTalksToAModem();
    void ordinaryUserStartsTheWindow();

private:
    InstalledTree m_tree;
};

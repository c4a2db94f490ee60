#pragma once
#include "InstalledTree.h"

#include <QObject>

// What "cmake --install" lays out: the programs, the shipped files, the menu entry, the AppStream
// record, the icon, the manual pages, the completion and the package's documents, each valid for
// the tool that reads it.
class TestInstallTree : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void layout();
    void onlyTheProgramsInBin();
    void shippedFiles();
    void desktopEntry();
    void metainfo();
    void manPages_data();
    void manPages();
    void versionOfEveryProgram_data();
    void versionOfEveryProgram();

private:
    InstalledTree m_tree;
};

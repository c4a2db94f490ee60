#pragma once
#include <QObject>

// What the command table makes of the tool: help and usage of every command, the README's
// command list, the manual page and the bash completion.
class TestCliTable : public QObject
{
    Q_OBJECT
private slots:
    void helpAndBadOptionOfEveryCommand();
    void withoutACommand();
    void strictOptions_data();
    void strictOptions();
    void renamedOption();
    void readmeListsTheCommands();
    void manPageIsTheTable();
    void versionAndFolder();
    void bashCompletes_data();
    void bashCompletes();
};

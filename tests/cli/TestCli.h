#pragma once
#include <QObject>

// The command-line tool, run as a separate process.
class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void usageErrors();
    void checkTable();
    void reportMatchesLibraryOutput();
    void reportAsHtml();
    void convertAddsHiddenDefaults();
    void outputsThatCannotBeWritten();
    void show();
    void shownTextIsInert_data();
    void shownTextIsInert();
};

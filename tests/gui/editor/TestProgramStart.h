#pragma once

#include <QObject>

// The program's start-up branches up to the main window, with scripted answers.
class TestProgramStart : public QObject
{
    Q_OBJECT

private slots:
    void missingConstIniFallsBackOnce();
    void constIniNamingMissingFileFallsBack();
    void missingTableEndsWithoutWindow();
    void tableThatDoesNotParseEndsWithItsError();
    void databaseErrorStartsWithoutTheBook();
    void startShowsDemoTableAndLastFile();
    void serviceSwitchReachesWindow();
    void qtTextsFollowTheLocaleRussianByDefault();
};

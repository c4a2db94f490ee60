#pragma once

#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/UserPrompts.h"

#include <QStringList>

// Start-up and shut-down of the program, and its configuration files.
class StartUp
{
public:
    StartUp(AppState &state, UserPrompts &prompts, Database &database)
        : m_state(state), m_prompts(prompts), m_db(database) {}

    // "/S" alone, in any case, after the program name.
    static bool serviceModeFromArguments(const QStringList &argumentsAfterProgram);

    // Runs the start-up steps up to showing the main window. False: the program must end.
    bool run(const QStringList &argumentsAfterProgram);

    bool OpenDatabase();
    void LoadDefaults();
    // False, after telling the operator why, when the file could not be written; the earlier one stays.
    bool WriteDefaultIni();
    // Save offer, Default.ini, database closed; the caller then ends the program. False when the operator
    // chose to save but nothing was written: nothing else is done and the program goes on.
    bool ShutDown();

private:
    // The data file named in Default.ini, or "new.bin" when it is missing.
    void loadLastDataFile();

    AppState &m_state;
    UserPrompts &m_prompts;
    Database &m_db;
};

#pragma once

#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "core/app/StartUp.h"
#include "core/app/UserPrompts.h"

#include <QStringList>
#include <memory>

class frmMain;

// The program's life: start-up, then the main window, which ends it through the shut-down.
class KvrProgram
{
public:
    KvrProgram(AppState &state, UserPrompts &prompts, Database &database);
    ~KvrProgram();

    // Runs the start-up and creates the main window (not yet shown). False: the program must end.
    bool start(const QStringList &argumentsAfterProgram);
    frmMain *window() const { return m_window.get(); }

private:
    AppState &m_state;
    UserPrompts &m_prompts;
    StartUp m_startUp;
    std::unique_ptr<frmMain> m_window;
};

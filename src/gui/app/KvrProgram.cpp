#include "gui/app/KvrProgram.h"

#include "gui/editor/frmMain.h"

KvrProgram::KvrProgram(AppState &state, UserPrompts &prompts, Database &database)
    : m_state(state), m_prompts(prompts), m_startUp(state, prompts, database)
{
}

KvrProgram::~KvrProgram() = default;

bool KvrProgram::start(const QStringList &argumentsAfterProgram)
{
    if (!m_startUp.run(argumentsAfterProgram))
        return false;
    m_window = std::make_unique<frmMain>(m_state, m_prompts);
    m_window->shutDown = [this] { return m_startUp.ShutDown(); };
    return true;
}

#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

class frmMain;

// The menu bar of the editor window and its commands. It belongs to the window: it refreshes the
// grid, runs the focus check and leaves the program through the window's own procedures.
class EditorMenus
{
public:
    EditorMenus(frmMain &window, AppState &state, UserPrompts &prompts);

    void mnuLoad_Click();
    void mnu_Export_Click();
    void mnuPrint_Click();
    void mnuExit_Click();
    void mnu_ChngTable_Click();
    void mnuCom_Click();
    void mnu_GPSLINK_Click();
    void mnuClear_Click();
    void mnu_about_Click();
    void mnu_HelpM_Click();

private:
    void build();

    frmMain &m_window;
    AppState &m_state;
    UserPrompts &m_prompts;
};

#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QDialog>
#include <functional>

// Shown after a new control table was taken: load a matching data file or start a new one.
class frmLoadFile : public QDialog
{
    Q_OBJECT

public:
    // refreshMain rebuilds the main window from the image.
    frmLoadFile(AppState &state, UserPrompts &prompts, std::function<void()> refreshMain, QWidget *parent = nullptr);

    void cmdLoad_Click();
    void cmdNew_Click();

private:
    AppState &m_state;
    UserPrompts &m_prompts;
    std::function<void()> m_refreshMain;
};

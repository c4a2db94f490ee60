#include "gui/linkwindow/LinkWindowLauncher.h"

#include "gui/linkwindow/frmLink.h"

void openLinkWindow(QWidget *parent, AppState &state, UserPrompts &prompts)
{
    frmLink window(state, prompts, parent);
    window.exec();
}

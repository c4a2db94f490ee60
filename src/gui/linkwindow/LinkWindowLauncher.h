#pragma once

class QWidget;
class AppState;
class UserPrompts;

// Shows the link window ("Удаленная загрузка ПО") modally over parent.
void openLinkWindow(QWidget *parent, AppState &state, UserPrompts &prompts);

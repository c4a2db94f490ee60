#pragma once

#include "core/app/AppState.h"
#include "core/app/UserPrompts.h"

#include <QString>

// "Сменить управляющую таблицу": choosing, checking and taking a new control table.
class TableChange
{
public:
    enum class Result { Cancelled, ReservedName, NotInFolder, NameNotKept, NotTable, Accepted };

    TableChange(AppState &state, UserPrompts &prompts) : m_state(state), m_prompts(prompts) {}

    // Asks for a .stp file in the application folder, then apply().
    Result run();
    // Takes the chosen file when it lies in the application folder, its name fits Const.ini, and it parses
    // (readable, at least one entry). Only then are the table in use, its path and Const.ini replaced.
    Result apply(const QString &chosenPath);

private:
    AppState &m_state;
    UserPrompts &m_prompts;
};

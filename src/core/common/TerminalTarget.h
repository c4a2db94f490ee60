#pragma once

#include <QString>

// A terminal a job is for, as the operator named it: the address book's name (the number
// itself when only a number was given) and its number.
struct TerminalTarget
{
    QString name;
    QString phone;
};

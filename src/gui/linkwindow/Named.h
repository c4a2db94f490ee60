#pragma once

#include <QString>

// Gives a new control its objectName, the name the program's vocabulary and the tests use.
template <typename W>
W *named(W *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

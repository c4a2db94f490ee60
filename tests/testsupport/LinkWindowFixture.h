#pragma once

#include "ControlLookup.h"
#include "ScriptedPrompts.h"
#include "core/app/AppState.h"
#include "gui/linkwindow/frmLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>

// A link window over a fresh application folder, with scripted prompts.
struct LinkWindowFixture
{
    QTemporaryDir dir;
    AppState state{dir.path()};
    ScriptedPrompts prompts;
    frmLink w{state, prompts};

    template <typename T>
    T *child(const QString &name, const char *file = __builtin_FILE(), int line = __builtin_LINE())
    {
        return findControl<T>(&w, name, file, line);
    }
    // Shows the window and waits for its modem check.
    bool runCheck()
    {
        QSignalSpy finished(&w, &frmLink::modemCheckFinished);
        w.show();
        return finished.wait(15000);
    }
};

#pragma once

#include "ControlLookup.h"
#include "ScriptedPrompts.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "gui/linkwindow/frmLink.h"

#include <QSignalSpy>
#include <QTemporaryDir>

// A link window over a fresh application folder, with scripted prompts.
struct LinkWindowFixture
{
    QTemporaryDir dir;
    AppState state{dir.path()};
    // The book of the folder, as the program opens it at start (loads keep their resume points there).
    Database book;
    bool bookOpen = openBook();
    ScriptedPrompts prompts;
    frmLink w{state, prompts};

    bool openBook()
    {
        QString error;
        if (!book.open(dir.filePath(QStringLiteral("Data.db")), error))
            return false;
        state.database = &book;
        return true;
    }

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

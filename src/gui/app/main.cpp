#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "gui/app/KvrProgram.h"
#include "gui/app/QtPrompts.h"
#include "gui/app/QtTranslations.h"
#include "gui/editor/frmMain.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjKVRSetup"));
    QtTranslations::install(app);

    AppState state;
    QtPrompts prompts;
    Database database;
    KvrProgram program(state, prompts, database);
    if (!program.start(QApplication::arguments().mid(1)))
        return 1;

    frmMain *window = program.window();
    prompts.setOwner(window);
    window->show();
    // The window's close request and "Выход" run the shut-down; the last window closed ends the program.
    return app.exec();
}

#include "app/AppState.h"
#include "app/Database.h"
#include "app/StartUp.h"
#include "editor/QtPrompts.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("prjKVRSetup"));

    AppState state;
    QtPrompts prompts;
    Database database;
    StartUp startUp(state, prompts, database);
    if (!startUp.run(QApplication::arguments().mid(1)))
        return 1;

    // The main window is not built yet: report that start-up succeeded and shut down.
    prompts.message(QStringLiteral("Управляющая таблица загружена: ") + state.ControlTablePath);
    startUp.ShutDown();
    return 0;
}

#include "core/app/AppFolder.h"
#include "core/app/AppState.h"
#include "core/app/Database.h"
#include "gui/app/KvrProgram.h"
#include "gui/app/QtPrompts.h"
#include "gui/app/QtTranslations.h"
#include "gui/editor/frmMain.h"

#include "KvrVersion.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    // Answered without a display: the version and the folder of the program's files.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kvrsetup"));
        std::printf("kvrsetup %s\n%s\n", KVR_VERSION,
                    QDir::toNativeSeparators(AppFolder::current().path()).toLocal8Bit().constData());
        return 0;
    }
    QApplication app(argc, argv);
    // The user's data folder is ~/.local/share/kvrsetup; window titles do not come from this name.
    QApplication::setApplicationName(QStringLiteral("kvrsetup"));
    QtTranslations::install(app);

    QtPrompts prompts;
    // An installed program's first start makes the user's folder from the shipped files.
    if (QString why; !AppFolder::current().prepare(why))
        prompts.message(QStringLiteral("Папка файлов программы не готова: ") + why, QString(),
                        UserPrompts::Icon::Warning);
    AppState state;
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

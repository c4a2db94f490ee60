#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

// kvr_grab_screen <file.png> [x y width height]: saves the whole primary screen, or that part of it
// (a dialog, for instance, placed by the window system where the command line cannot know beforehand).
int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2 && argc != 6)
        return 2;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    int area[4] = {0, 0, -1, -1};
    for (int i = 0; argc == 6 && i < 4; ++i)
        area[i] = QString::fromLocal8Bit(argv[i + 2]).toInt();
    return screen->grabWindow(0, area[0], area[1], area[2], area[3]).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}

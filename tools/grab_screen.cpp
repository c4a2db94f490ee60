#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

// kvr_grab_screen <file.png>: saves the whole primary screen.
int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 1;
    return screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}

#include "gui/common/ScreenFit.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ScreenFit {

QSize initialSize(const QWidget *window, QSize wanted)
{
    const QSize minimum = window->minimumSizeHint().expandedTo(window->minimumSize());
    const QScreen *screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        // The title bar and the frame take their share of the free area too; before the window is
        // shown they are unknown, so a usual title bar's height and a thin frame are kept free.
        const QSize frame = (window->frameGeometry().size() - window->geometry().size()).expandedTo(QSize(12, 40));
        wanted = wanted.boundedTo(screen->availableGeometry().size() - frame);
    }
    return wanted.expandedTo(minimum);
}

} // namespace ScreenFit

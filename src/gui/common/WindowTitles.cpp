#include "gui/common/WindowTitles.h"

#include <QFontMetrics>
#include <QWidget>

namespace WindowTitles {

namespace {
// Icon, minimise / maximise / close buttons and the frame of a usual title bar.
constexpr int kTitleBarExtras = 140;
} // namespace

int widthFor(const QWidget *window)
{
    return window->fontMetrics().horizontalAdvance(window->windowTitle()) + kTitleBarExtras;
}

void keepWhole(QWidget *window)
{
    window->setMinimumWidth(qMax(window->minimumWidth(), widthFor(window)));
}

} // namespace WindowTitles

#pragma once

class QWidget;

// Captions of dialogs at the default font: the title bar shows the caption beside its own buttons,
// and a dialog laid out only for its controls can be narrower than that.
namespace WindowTitles {
// Width that shows the window's caption whole, with room for the title bar's icon and buttons.
int widthFor(const QWidget *window);
// Makes the window at least that wide.
void keepWhole(QWidget *window);
} // namespace WindowTitles

#include "linkwindow/LinkWindowLauncher.h"

#include <QDialog>

void openLinkWindow(QWidget *parent, AppState &, UserPrompts &)
{
    // The link window is not built yet: an empty modal window with its caption.
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("frmLink"));
    dialog.setWindowTitle(QStringLiteral("Удаленная загрузка ПО"));
    dialog.resize(640, 480);
    dialog.exec();
}

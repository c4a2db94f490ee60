#include "gui/linkwindow/ModemCheckCover.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

ModemCheckCover::ModemCheckCover(QWidget *window) : QFrame(window)
{
    setObjectName(QStringLiteral("Frawait"));
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    auto *waitLabel = new QLabel(QStringLiteral("Ждите. Проверка модема."), this);
    QFont big = waitLabel->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    waitLabel->setFont(big);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(waitLabel, 0, Qt::AlignCenter);
    window->installEventFilter(this);
    raise();
}

void ModemCheckCover::cover()
{
    setGeometry(parentWidget()->rect());
    show();
    raise();
}

bool ModemCheckCover::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    return QFrame::eventFilter(watched, event);
}

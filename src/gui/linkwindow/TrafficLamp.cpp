#include "gui/linkwindow/TrafficLamp.h"

#include <QPalette>

TrafficLamp::TrafficLamp(const QString &caption, QWidget *parent) : QLineEdit(caption, parent)
{
    setReadOnly(true);
    setFocusPolicy(Qt::NoFocus);
    setAlignment(Qt::AlignCenter);
    // Both lamps the same width, whatever their captions.
    setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("Rx")) * 2 + 16);
    setAutoFillBackground(true);
    setLit(false);
}

void TrafficLamp::setLit(bool on)
{
    QPalette p = palette();
    p.setColor(QPalette::Base, on ? QColor(0, 255, 0) : QColor(Qt::white));
    setPalette(p);
}

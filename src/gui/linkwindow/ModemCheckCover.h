#pragma once

#include <QFrame>

// Frawait: "Ждите. Проверка модема." over the whole window while the modem is checked. It
// follows the window's size, so whenever shown it covers all of it.
class ModemCheckCover : public QFrame
{
    Q_OBJECT
public:
    explicit ModemCheckCover(QWidget *window);

    // Over the window, on top of everything in it.
    void cover();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};

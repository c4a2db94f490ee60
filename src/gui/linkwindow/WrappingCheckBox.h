#pragma once

#include <QCheckBox>
#include <QStyle>

// A check box whose caption wraps onto further lines when the box is narrow, so long
// captions do not set the width of the panel they sit in. text() stays the whole caption.
class WrappingCheckBox : public QCheckBox
{
    Q_OBJECT
public:
    explicit WrappingCheckBox(const QString &text, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;

private:
    int metric(QStyle::PixelMetric which) const;
    int indicatorWidth() const;
    // The box's size when its caption may take up to textWidth pixels a line.
    QSize sizeForTextWidth(int textWidth) const;
};

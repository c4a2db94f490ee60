#include "gui/linkwindow/WrappingCheckBox.h"

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

// The narrowest a caption is wrapped to: a few words a line stay readable.
constexpr int MinimumTextWidth = 160;

} // namespace

WrappingCheckBox::WrappingCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingCheckBox::metric(QStyle::PixelMetric which) const
{
    QStyleOptionButton option;
    option.initFrom(this);
    return style()->pixelMetric(which, &option, this);
}

int WrappingCheckBox::indicatorWidth() const
{
    return metric(QStyle::PM_IndicatorWidth) + metric(QStyle::PM_CheckBoxLabelSpacing);
}

QSize WrappingCheckBox::sizeForTextWidth(int textWidth) const
{
    const int width = indicatorWidth() + qMin(textWidth, fontMetrics().horizontalAdvance(text()) + 2);
    return {width, heightForWidth(width)};
}

QSize WrappingCheckBox::sizeHint() const
{
    // One line when there is room for it.
    return sizeForTextWidth(QWIDGETSIZE_MAX);
}

QSize WrappingCheckBox::minimumSizeHint() const
{
    return sizeForTextWidth(MinimumTextWidth);
}

bool WrappingCheckBox::hasHeightForWidth() const
{
    return true;
}

int WrappingCheckBox::heightForWidth(int width) const
{
    const int textWidth = qMax(1, width - indicatorWidth());
    const int textHeight =
        fontMetrics().boundingRect(QRect(0, 0, textWidth, QWIDGETSIZE_MAX), Qt::TextWordWrap, text()).height();
    return qMax(textHeight, metric(QStyle::PM_IndicatorHeight)) + 2;
}

void WrappingCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // The indicator at the top of the first line; the caption wrapped beside it.
    const int lineHeight = fontMetrics().height() + 2;
    QStyleOptionButton indicator = option;
    indicator.text.clear();
    indicator.rect.setHeight(qMin(lineHeight, option.rect.height()));
    indicator.state &= ~QStyle::State_HasFocus;
    painter.drawControl(QStyle::CE_CheckBox, indicator);

    const QRect captionRect(indicatorWidth(), 0, qMax(1, width() - indicatorWidth()), height());
    painter.drawItemText(captionRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, option.palette,
                         isEnabled(), text(), QPalette::WindowText);
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = fontMetrics().boundingRect(captionRect, Qt::TextWordWrap, text()).adjusted(-1, 0, 1, 0);
        painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

bool WrappingCheckBox::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

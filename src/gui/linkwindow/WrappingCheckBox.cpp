#include "gui/linkwindow/WrappingCheckBox.h"

#include <QFontMetrics>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {

// The narrowest a caption is wrapped to: a few words a line stay readable.
constexpr int MinimumTextWidth = 160;

int wrappedHeight(const QFontMetrics &fm, int width, const QString &text)
{
    return fm.boundingRect(QRect(0, 0, qMax(1, width), 100000), Qt::TextWordWrap, text).height();
}

} // namespace

WrappingCheckBox::WrappingCheckBox(const QString &text, QWidget *parent) : QCheckBox(text, parent)
{
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

int WrappingCheckBox::indicatorWidth() const
{
    QStyleOptionButton option;
    option.initFrom(this);
    return style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, this) +
           style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, this);
}

QRect WrappingCheckBox::textRect(int width) const
{
    const int left = indicatorWidth();
    return QRect(left, 0, qMax(1, width - left), heightForWidth(width));
}

QSize WrappingCheckBox::sizeHint() const
{
    // One line when there is room for it.
    const QFontMetrics fm = fontMetrics();
    const int width = indicatorWidth() + fm.horizontalAdvance(text()) + 2;
    return {width, heightForWidth(width)};
}

QSize WrappingCheckBox::minimumSizeHint() const
{
    const int width = indicatorWidth() + qMin(MinimumTextWidth, fontMetrics().horizontalAdvance(text()) + 2);
    return {width, heightForWidth(width)};
}

bool WrappingCheckBox::hasHeightForWidth() const
{
    return true;
}

int WrappingCheckBox::heightForWidth(int width) const
{
    const int textHeight = wrappedHeight(fontMetrics(), width - indicatorWidth(), text());
    QStyleOptionButton option;
    option.initFrom(this);
    const int indicator = style()->pixelMetric(QStyle::PM_IndicatorHeight, &option, this);
    return qMax(textHeight, indicator) + 2;
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

    const QRect captionRect = textRect(width());
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

#include "gui/editor/EventGridView.h"

#include "gui/editor/EventGridModel.h"

#include <QHeaderView>
#include <QStyle>

namespace {
// Layout measures are given in twips; 15 twips make one pixel at 96 dpi.
constexpr int px(int twips) { return twips / 15; }
} // namespace

EventGridView::EventGridView(EventGridModel *model, QWidget *parent) : QTableView(parent), m_model(model)
{
    setObjectName(QStringLiteral("flexmain"));
    setModel(m_model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Whole rows are chosen with the arrow keys; Tab moves on to the next control.
    setTabKeyNavigation(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setWordWrap(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(EventGridModel::ColEvent, QHeaderView::Stretch);
    setColumnHidden(EventGridModel::ColEntry, true);
    setColumnHidden(EventGridModel::ColEventNo, true);
    setMinimumSize(360, 160);
}

void EventGridView::applyColumnWidths(bool serviceMode)
{
    setColumnHidden(EventGridModel::ColMark, !serviceMode);
    setColumnWidth(EventGridModel::ColMark, qMax(px(200), 18));
    for (int k = 0; k < 4; ++k)
        setColumnWidth(EventGridModel::ColFirstFlag + k, flagColumnWidth());
}

int EventGridView::flagColumnWidth() const
{
    const QFontMetrics fm = horizontalHeader()->fontMetrics();
    int width = px(600);
    for (int k = 0; k < 4; ++k) {
        const QString header = m_model->headerData(EventGridModel::ColFirstFlag + k, Qt::Horizontal).toString();
        width = qMax(width, fm.horizontalAdvance(header) + 16);
    }
    return width;
}

void EventGridView::updateMinimumWidth(bool serviceMode)
{
    const QFontMetrics fm = fontMetrics();
    int caption = 160;
    for (int r = 0; r < m_model->rowCount(); ++r) {
        const QString text = m_model->index(r, EventGridModel::ColEvent).data().toString();
        caption = qMax(caption, fm.horizontalAdvance(text) + 16);
    }
    caption = qMin(caption, 420);
    const int mark = serviceMode ? columnWidth(EventGridModel::ColMark) : 0;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2;
    setMinimumWidth(mark + caption + 4 * flagColumnWidth() + scrollBar + 2 * frameWidth());
}

void EventGridView::setCurrentRow(int row)
{
    if (row >= 0 && row < m_model->rowCount())
        setCurrentIndex(m_model->index(row, EventGridModel::ColEvent));
}

int EventGridView::currentRow() const
{
    return currentIndex().row();
}

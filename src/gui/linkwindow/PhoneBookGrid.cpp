#include "gui/linkwindow/PhoneBookGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kNumberColumn = 1;
constexpr int kNameColumn = 3;
} // namespace

PhoneBookGrid::PhoneBookGrid(QWidget *parent) : QWidget(parent)
{
    m_flexPB = new QTableWidget(Rows, 4, this);
    m_flexPB->setObjectName(QStringLiteral("FlexPB"));
    m_flexPB->verticalHeader()->setVisible(false);
    m_flexPB->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_flexPB->setSelectionMode(QAbstractItemView::SingleSelection);
    m_flexPB->setColumnHidden(2, true);
    // The editor lies over the cells, inside the grid's viewport.
    m_txtTemp = new QLineEdit(m_flexPB->viewport());
    m_txtTemp->setObjectName(QStringLiteral("txtTemp"));
    m_txtTemp->setFrame(false);
    m_txtTemp->hide();
    m_txtTemp->installEventFilter(this);
    m_flexPB->viewport()->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_flexPB);
    prepare();
    connect(m_flexPB, &QTableWidget::currentCellChanged, this, &PhoneBookGrid::FlexPB_RowColChange);
}

void PhoneBookGrid::prepare()
{
    m_flexPB->setHorizontalHeaderLabels(
        {QStringLiteral("Ячейка"), QStringLiteral("Номер"), QStringLiteral("Тип"), QStringLiteral("Название")});
    for (int r = 0; r < Rows; ++r) {
        for (int c = 0; c < 4; ++c) {
            if (!m_flexPB->item(r, c))
                m_flexPB->setItem(r, c, new QTableWidgetItem);
        }
        m_flexPB->item(r, 0)->setText(QString::number(r + 1));
    }
}

void PhoneBookGrid::FlexPB_RowColChange()
{
    const int row = m_flexPB->currentRow();
    const int column = m_flexPB->currentColumn();
    if (row < 0 || (column != kNumberColumn && column != kNameColumn)) {
        // Hand the focus to the grid first: a focused editor that vanishes passes the focus
        // on as a Tab, and the grid would take that as a move to the next cell.
        if (m_txtTemp->hasFocus())
            m_flexPB->setFocus();
        m_txtTemp->hide();
        return;
    }
    m_txtTemp->setGeometry(m_flexPB->visualItemRect(m_flexPB->item(row, column)));
    m_txtTemp->setText(m_flexPB->item(row, column)->text());
    m_txtTemp->show();
    m_txtTemp->setFocus();
}

void PhoneBookGrid::moveTo(int row, int column)
{
    m_flexPB->setFocus();
    // The move runs FlexPB_RowColChange, which brings the editor over the new cell.
    m_flexPB->setCurrentCell(row, column);
}

bool PhoneBookGrid::txtTemp_KeyDown(int key)
{
    const int row = m_flexPB->currentRow();
    const int column = m_flexPB->currentColumn();
    bool consumed = false;
    switch (key) {
    case Qt::Key_Up:
        consumed = true;
        if (row > 0)
            moveTo(row - 1, column);
        break;
    case Qt::Key_Down:
        consumed = true;
        if (row < Rows - 1)
            moveTo(row + 1, column);
        break;
    case Qt::Key_Left:
        if (m_txtTemp->cursorPosition() == 0 && column == kNameColumn) {
            consumed = true;
            moveTo(row, kNumberColumn);
        }
        break;
    case Qt::Key_Right:
        if (m_txtTemp->cursorPosition() >= m_txtTemp->text().size() && column == kNumberColumn) {
            consumed = true;
            moveTo(row, kNameColumn);
        }
        break;
    default:
        break;
    }
    return consumed;
}

void PhoneBookGrid::txtTemp_KeyUp()
{
    if (QTableWidgetItem *item = m_flexPB->currentItem())
        item->setText(m_txtTemp->text());
}

bool PhoneBookGrid::eventFilter(QObject *watched, QEvent *event)
{
    // The viewport's own size is the one the columns share (a hidden grid learns it late).
    if (watched == m_flexPB->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    if (watched == m_txtTemp) {
        if (event->type() == QEvent::KeyPress)
            return txtTemp_KeyDown(static_cast<QKeyEvent *>(event)->key());
        if (event->type() == QEvent::KeyRelease)
            txtTemp_KeyUp();
    }
    return QWidget::eventFilter(watched, event);
}

void PhoneBookGrid::fitColumns()
{
    // "Ячейка" 1/11 (at least its caption), "Номер" 4/11, "Название" the rest of the width.
    const int width = m_flexPB->viewport()->width();
    const int caption = m_flexPB->fontMetrics().horizontalAdvance(QStringLiteral("Ячейка")) + 16;
    const int cell = qMax(width / 11, caption);
    const int number = (width - cell) * 4 / 9;
    m_flexPB->setColumnWidth(0, cell);
    m_flexPB->setColumnWidth(1, number);
    m_flexPB->setColumnWidth(3, width - cell - number);
    if (m_txtTemp->isVisible() && m_flexPB->currentItem())
        m_txtTemp->setGeometry(m_flexPB->visualItemRect(m_flexPB->currentItem()));
}

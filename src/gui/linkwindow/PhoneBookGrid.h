#pragma once

#include <QWidget>

class QLineEdit;
class QTableWidget;

// The phone-book grid of mode "Адресеная книга": FlexPB with ten numbered rows and the
// columns "Ячейка", "Номер", "Тип" (hidden), "Название". Number and name are edited in
// place by txtTemp, which the arrow keys move between cells. Edits stay in the grid.
class PhoneBookGrid : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Rows = 10;

    explicit PhoneBookGrid(QWidget *parent = nullptr);

    // The header texts and the row numbers (each activation of the window).
    void prepare();

    void FlexPB_RowColChange();
    // Key rules of the editor: true when the key was consumed.
    bool txtTemp_KeyDown(int key);
    void txtTemp_KeyUp();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void moveTo(int row, int column);
    void fitColumns();

    QTableWidget *m_flexPB = nullptr;
    QLineEdit *m_txtTemp = nullptr;
};

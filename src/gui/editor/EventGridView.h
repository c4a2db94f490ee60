#pragma once

#include <QTableView>

class EventGridModel;

// The event grid `flexmain`: whole-row single selection, read-only, the identity columns hidden.
class EventGridView : public QTableView
{
    Q_OBJECT

public:
    EventGridView(EventGridModel *model, QWidget *parent = nullptr);

    // Column widths of the layout rules; the mark column "F" only in service mode.
    void applyColumnWidths(bool serviceMode);
    // Shrinking the window must leave the event captions readable (long ones up to a limit).
    void updateMinimumWidth(bool serviceMode);
    // Makes row the current and selected row (no change for a row outside the grid).
    void setCurrentRow(int row);
    // The current row, or -1 when none.
    int currentRow() const;

private:
    // The flag column width of the layout rules, and never narrower than its header.
    int flagColumnWidth() const;

    EventGridModel *m_model;
};

#pragma once

#include "core/editor/EventGrid.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QVector>
#include <array>

// The rows of the event grid `flexmain`: one per event, built by the EventGrid rules.
// Every cell of a row answers EventNoRole and EntryRole with the row's identity; the hidden
// columns 6 and 7 of the grid's layout show the same two numbers as text.
class EventGridModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { ColMark = 0, ColEvent = 1, ColFirstFlag = 2, ColEntry = 6, ColEventNo = 7, ColumnCount = 8 };
    enum Role { EventNoRole = Qt::UserRole + 1, EntryRole };

    explicit EventGridModel(QObject *parent = nullptr);

    // Replaces every row; clear flags show "-".
    void setRows(const QVector<EventGrid::Row> &rows);
    // The flags of a row after a change through the event-mask boxes.
    void setFlags(int row, const std::array<bool, 4> &flags);
    // Column 0 shows icon for rows whose entry is visible, and only when show is true.
    void setMark(const QIcon &icon, bool show);

    // Identity of a row; -1 outside the rows.
    int eventNo(int row) const;
    int entry(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Line
    {
        EventGrid::Row row;
    };

    QVariant displayText(const Line &line, int column) const;

    QVector<Line> m_lines;
    QIcon m_mark;
    bool m_showMark = false;
};
